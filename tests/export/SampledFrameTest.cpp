// The sampling pass over hand-made buffers: pixel order, the pixel test, the z cut-off, the sign of x
// and the bounds; then what the read-back leaves behind in a headless OpenGL context.

#include "export/ExportTestSupport.h"
#include "export/SurfaceSampler.h"
#include "model/GlErrorReporter.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"

#include <GL/gl.h>

namespace velmora::testing {
namespace {

TEST(SampledFrameTest, BottomRowFirstEveryPixelOnceAndTheCutoffExclusive) {
    FrameBuilder b{8, 3};  // x = (c + 0.5) / 4 - 1, y = 2 (r + 0.5) / 3 - 1, z = 2 d - 1
    b.set(5, 2, 1, 0, 0, 0.5f);
    b.set(2, 0, 0, 1, 0, 0.5f);
    b.set(7, 0, 0, 0, 1, 0.5f);      // blue alone is enough
    b.set(3, 1, 0, 0, 0, 0.75f);     // black with depth: background
    b.set(0, 1, 9, 9, 9, -24.5f);    // z = -50 exactly: dropped
    b.set(1, 1, 9, 9, 9, -24.495f);  // z = -49.99: kept
    std::vector<SurfacePoint> points;
    std::vector<std::pair<int, int>> empties;
    const SampleSummary summary = b.frame().walk(
        [&](const SurfacePoint& p, int index) { EXPECT_EQ(index, int(points.size())); points.push_back(p); },
        [&](int column, int row) { empties.push_back({column, row}); });
    ASSERT_EQ(summary.pointCount, 4);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(empties.size(), 8u * 3u - 4u);
    EXPECT_EQ(empties.front(), std::make_pair(0, 0));
    const std::pair<int, int> order[] = {{2, 0}, {7, 0}, {1, 1}, {5, 2}};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(points[i].column, points[i].row), order[i]) << i;
    const SurfacePoint& p = points[0];  // world x = 2.5 / 4 - 1 = -0.375, delivered inverted
    EXPECT_EQ((std::array<double, 3>{p.x, p.y, p.z}), (std::array<double, 3>{0.375, 1.0 / 3.0 - 1.0, 0.0}));
    EXPECT_NEAR(points[2].z, -49.99, 1e-5);
    EXPECT_EQ((FrameBuilder{3, 5}).frame().summarize().pointCount, 0);  // narrower than 4 columns
    EXPECT_EQ((ClientRect{5, 7, 15, 9}).sampledWidth(), 8);
}

TEST(SampledFrameTest, FirstPointSetsAllBoundsThenMaximaAndMinimaWiden) {
    SampleSummary s;
    const SampleBounds& b = s.bounds;
    const auto bounds = [&b] { return std::array<float, 6>{b.maxX, b.minX, b.maxY, b.minY, b.maxZ, b.minZ}; };
    EXPECT_EQ(bounds(), (std::array<float, 6>{}));
    s.add(1.0, 2.0, 3.0);
    EXPECT_EQ(bounds(), (std::array<float, 6>{1, 1, 2, 2, 3, 3}));
    s.add(-1.0, 5.0, 0.1);
    s.add(4.0, -2.0, 7.0);
    EXPECT_EQ(bounds(), (std::array<float, 6>{4, -1, 5, -2, 7, 0.1f}));
}

TEST(SurfaceSamplerTest, PendingOpenGlErrorsAreReportedAndThePixelStoreIsLeftAsItWas) {
    auto gl = makeHeadlessSurface(8, 4);
    ASSERT_TRUE(gl);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM
    RecordingPrompt prompt;
    EXPECT_EQ(SurfaceSampler::sample(ClientRect::ofSize(8, 4), prompt).rows(), 4);
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{glErrorText(GL_INVALID_ENUM)});
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
}

}  // namespace
}  // namespace velmora::testing
