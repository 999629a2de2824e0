// The request runner in a headless OpenGL context; below it, the naming and range checks.
// What users rely on: a series numbers its files from 1 and draws each view from its own eye; a PLY series is
// refused with its message alone and an empty one completes; endings are added unless present; view offsets
// accumulate in single precision and a series without end is refused.

#include "export/ExportCommands.h"
#include "export/ExportNaming.h"
#include "support/PointFiles.h"
#include "support/Prompts.h"
#include "view/ViewTestSupport.h"

namespace velmora::testing {
namespace {

const std::vector<std::string> kCompletion{"message 完成!: 导出完成!"};

struct ExportFixture : ViewFixture {
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(open(40, 32));
        ASSERT_NO_FATAL_FAILURE(load(square({0.2f, 0.4f, 0.6f}, 3)));
        prompt.clear();
    }
    ExportOutcome run(ExportKind kind, const std::string& name, ViewRange views, const ViewProgress& progress = {}) {
        return runExport(*view, prompt, ClientRect::ofSize(40, 32), {kind, dir.file(name), views, PlyLayout::Ascii, {}, at, &random, {}}, progress);
    }
    Viewpoint at{0.0f, 0.0f, 30.0f};
    RandomGenerator random;
};

TEST_F(ExportFixture, SeriesNumbersItsFilesAndWritesEachViewFromItsOwnEye) {
    at = {0.5f, 0.0f, 40.0f};
    std::vector<float> eyes;
    const ExportOutcome outcome = run(ExportKind::Colour, "obj.CGH", {-1, 1, 0.5f}, [&](int number, int count, float x, float y, float z) {
        EXPECT_EQ(std::make_tuple(number, count, y, z), std::make_tuple(int(eyes.size()) + 1, 5, 0.0f, 40.0f));
        eyes.push_back(x);
    });
    EXPECT_EQ(std::pair(eyes, prompt.transcript()), std::pair(std::vector<float>{-0.5f, 0.0f, 0.5f, 1.0f, 1.5f}, kCompletion));
    ASSERT_TRUE(outcome.ok() && outcome.files.size() == 5u);
    const char* expectedX[5] = {"-0.500000", "0.000000", "0.500000", "1.000000", "1.500000"};
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(outcome.files[n - 1].path, dir.file("obj" + std::to_string(n) + ".CGH"));
        EXPECT_EQ(readCgh(outcome.files[n - 1].path).lines.back(), std::string("ViewPoint: x=") + expectedX[n - 1] + "  y=0.000000 z=40.000000");
    }
    EXPECT_EQ(std::make_pair(view->eyeX(), view->eyeZ()), std::make_pair(1.5f, 40.0f));
    EXPECT_TRUE(isClearColour(Frame(*surface).at(39, 31)));  // the viewing frame is back
    const ExportOutcome channels = run(ExportKind::Channels, "scan", {0, 0, 1});
    ASSERT_EQ(channels.files.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(channels.files[i].path, dir.file(std::string("scan") + "rgb"[i] + "1.CGH"));
}

TEST_F(ExportFixture, APlySeriesIsRefusedWithTheMessageAloneAndAnEmptyOneCompletes) {
    const float eye = view->eyeX();
    EXPECT_EQ(run(ExportKind::Ply, "never", {1, 2, 0}).status, ExportStatus::Refused);
    expectBox(prompt, "velmora", "Delta must be nonzero!");  // the framework's box, with the program's title
    prompt.clear();
    const ExportOutcome none = run(ExportKind::Ply, "none", {2, 1, -0.5f});
    EXPECT_TRUE(none.status == ExportStatus::Done && none.files.empty());
    EXPECT_EQ(std::pair(prompt.transcript(), view->eyeX()), std::pair(kCompletion, eye));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // the model alone
}

TEST(ExportNamingTest, EndingsAreAddedUnlessPresentAndSeriesNamesNumberTheViews) {  // the table shows the plain cases
    const std::pair<std::string, std::string> cases[] = {
        {withCghExtension("scan.txt"), "scan.txt.CGH"}, {withCghExtension(""), ".CGH"},
        {with3diExtension("3di"), "3di.3di"},           {withPlyExtension("scan.txt"), "scan.txt.ply"},
        {multiViewFileName("obj.cgh", 10), "obj10.CGH"}, {multiViewPlyFileName("obj.PLY", 12), "obj12.ply"},
    };
    for (const auto& [made, expected] : cases) EXPECT_EQ(made, expected);
}

TEST(ViewSeriesTest, OffsetsAccumulateInSinglePrecisionAndEndlessSeriesAreRefused) {
    EXPECT_EQ(viewOffsets({0.0f, 1.0f, 0.1f}).size(), 10u);  // 0.1 summed in floats passes 1 before reaching it
    const std::pair<ViewRange, std::string> ranges[] = {
        {{0, 1, 0}, "Delta must be nonzero!"},   {{0, 1, -0.5f}, "Delta must be positive!"},
        {{1, 2, 1e-8f}, "Delta is too small!"},  // below half an ulp of 1: the offset would stay
        {{0, 1e6f, 1}, "Too many views!"},       {{0, 99999, 1}, ""},  // 100,000 views, the most allowed
        {{2, 1, 0.5f}, ""},                      {{2, 1, -0.5f}, ""},  // left beyond right: no view
    };
    for (const auto& [range, refusal] : ranges) EXPECT_EQ(checkViewRange(range).error(), refusal) << range.right;
}

}  // namespace
}  // namespace velmora::testing
