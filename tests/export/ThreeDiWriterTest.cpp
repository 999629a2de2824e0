// The 3di grid file: its size for any coverage, the scaled records, the
// grey level as a float, zero records for empty pixels, and the generator
// left untouched.

#include "export/ThreeDiWriter.h"

#include "export/ExportTestSupport.h"
#include "support/TempDir.h"
#include "view/ViewerState.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora {
namespace {

using testing::FrameBuilder;
using testing::readAll;

struct Record {
    double x, y, z;
    float grey;
};

Record recordAt(const std::string& bytes, std::size_t index) {
    Record r{};
    const char* p = bytes.data() + 8 + 28 * index;
    std::memcpy(&r.x, p, 8);
    std::memcpy(&r.y, p + 8, 8);
    std::memcpy(&r.z, p + 16, 8);
    std::memcpy(&r.grey, p + 24, 4);
    return r;
}

std::int32_t intAt(const std::string& bytes, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

TEST(ThreeDiWriterTest, FileSizeDependsOnlyOnTheSampledGrid) {
    testing::TempDir dir;
    ViewerState state;
    FrameBuilder empty(802, 600);
    ASSERT_TRUE(write3di(empty.frame(), dir.file("empty.3di"), state).ok);
    FrameBuilder full(802, 600);
    for (int row = 0; row < 600; ++row)
        for (int column = 0; column < 800; ++column) full.set(column, row, 9, 9, 9, 0.5f);
    const WriteResult result = write3di(full.frame(), dir.file("full.3di"), state);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.summary.pointCount, 480000);
    for (const char* name : {"empty.3di", "full.3di"}) {
        const std::string bytes = readAll(dir.file(name));
        EXPECT_EQ(bytes.size(), 13440008u) << name;
        EXPECT_EQ(intAt(bytes, 0), 600) << name;
        EXPECT_EQ(intAt(bytes, 4), 800) << name;
    }
}

TEST(ThreeDiWriterTest, RecordsAreScaledInPassOrderAndEmptyPixelsAreZero) {
    testing::TempDir dir;
    ViewerState state;
    state.Output_Scalxy = 10.0f;
    state.Output_Scalz = 2.0f;
    state.random.seed(5);
    const auto generatorBefore = state.random.state();

    FrameBuilder b(4, 2);
    b.viewport = {-2, -2, 4, 2};     // x = (c + 2.5) / 2 - 1, y = r + 1.5, z = 2 d - 1
    b.set(1, 1, 0, 0, 255, -1.5f);   // (0.75, 2.5, -4)
    b.set(2, 0, 0, 0, 0, 0.5f);      // black: empty
    const WriteResult result = write3di(b.frame(), dir.file("grid.3di"), state);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(state.random.state(), generatorBefore);

    const std::string bytes = readAll(dir.file("grid.3di"));
    ASSERT_EQ(bytes.size(), 8u + 28u * 8u);
    EXPECT_EQ(intAt(bytes, 0), 2);
    EXPECT_EQ(intAt(bytes, 4), 4);
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 5) continue;  // row 1, column 1
        EXPECT_EQ(bytes.substr(8 + 28 * i, 28), std::string(28, '\0')) << i;
    }
    const Record r = recordAt(bytes, 5);
    EXPECT_EQ(r.x, -7.5);  // -(10 × 0.75)
    EXPECT_EQ(r.y, 25.0);  // 10 × 2.5
    EXPECT_EQ(r.z, -8.0);  // 2 × -4
    // Pure blue: 0.1 × 255 / 255, about 0.1, stored as a float.
    EXPECT_NEAR(r.grey, 0.1f, 1e-6f);
    EXPECT_GT(r.grey, 0.0f);
}

}  // namespace
}  // namespace velmora
