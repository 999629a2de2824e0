// The sampling pass: pixel order, the pixel test, the z cut-off, the sign of
// x and the bounds over hand-made buffers, then a frame drawn and read back
// in a headless OpenGL context.

#include "export/ExportTestSupport.h"
#include "export/SurfaceSampler.h"
#include "model/GlErrorReporter.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <tuple>

namespace velmora::testing {
namespace {

struct Seen {
    std::vector<SurfacePoint> points;
    std::vector<std::pair<int, int>> empties;
    SampleSummary summary;
    explicit Seen(const SampledFrame& frame) {
        const auto onPoint = [&](const SurfacePoint& p, int index) {
            EXPECT_EQ(index, int(points.size()));
            points.push_back(p);
        };
        summary = frame.walk(onPoint, [&](int column, int row) { empties.push_back({column, row}); });
    }
};

std::array<float, 6> bounds(const SampleSummary& s) {
    return {s.bounds.maxX, s.bounds.minX, s.bounds.maxY, s.bounds.minY, s.bounds.maxZ, s.bounds.minZ};
}

TEST(SampledFrameTest, BottomRowFirstEveryPixelOnceAndTheCutoffExclusive) {
    FrameBuilder b{8, 3};  // x = (c + 0.5) / 4 - 1, y = 2 (r + 0.5) / 3 - 1, z = 2 d - 1
    b.set(5, 2, 1, 0, 0, 0.5f);
    b.set(2, 0, 0, 1, 0, 0.5f);
    b.set(7, 0, 0, 0, 1, 0.5f);      // blue alone is enough
    b.set(3, 1, 0, 0, 0, 0.75f);     // black with depth: background
    b.set(0, 1, 9, 9, 9, -24.5f);    // z = -50 exactly: dropped
    b.set(1, 1, 9, 9, 9, -24.495f);  // z = -49.99: kept
    const Seen seen(b.frame());
    ASSERT_EQ(seen.summary.pointCount, 4);
    ASSERT_EQ(seen.points.size(), 4u);
    EXPECT_EQ(seen.empties.size(), 8u * 3u - 4u);
    EXPECT_EQ(seen.empties.front(), std::make_pair(0, 0));
    const std::pair<int, int> order[] = {{2, 0}, {7, 0}, {1, 1}, {5, 2}};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(seen.points[i].column, seen.points[i].row), order[i]) << i;
    const SurfacePoint& p = seen.points[0];  // world x = 2.5 / 4 - 1 = -0.375, delivered inverted
    EXPECT_EQ((std::array<double, 3>{p.x, p.y, p.z}), (std::array<double, 3>{0.375, 1.0 / 3.0 - 1.0, 0.0}));
    EXPECT_EQ((std::array<int, 3>{seen.points[1].red, seen.points[1].green, seen.points[1].blue}), (std::array<int, 3>{0, 0, 1}));
    EXPECT_NEAR(seen.points[2].z, -49.99, 1e-5);
    EXPECT_EQ((FrameBuilder{3, 5}).frame().summarize().pointCount, 0);  // narrower than 4 columns
    EXPECT_EQ((ClientRect{5, 7, 15, 9}).sampledWidth(), 8);
}

TEST(SampledFrameTest, FirstPointSetsAllBoundsThenMaximaAndMinimaWiden) {
    SampleSummary s;
    EXPECT_EQ(bounds(s), (std::array<float, 6>{}));
    s.add(1.0, 2.0, 3.0);
    EXPECT_EQ(bounds(s), (std::array<float, 6>{1, 1, 2, 2, 3, 3}));
    s.add(-1.0, 5.0, 0.1);
    s.add(4.0, -2.0, 7.0);
    EXPECT_EQ(s.pointCount, 3);
    EXPECT_EQ(bounds(s), (std::array<float, 6>{4, -1, 5, -2, 7, 0.1f}));
}

// An orthographic view where pixel (c, r) is world (c + 0.5, r + 0.5) and
// depth spans z 100 (near) to -100: the faintest blue at z = -2 over
// columns 0-7, red beyond the cut-off over 8-11, black over 12-15.
TEST(SurfaceSamplerTest, ReadsTheDrawnFrameWithTheContextsMatricesAndReportsPendingErrors) {
    auto gl = makeHeadlessSurface(18, 4);  // 16 columns sampled
    ASSERT_TRUE(gl);
    glViewport(0, 0, 18, 4);
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 18, 0, 4, -100, 100);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const auto& [x0, x1, z, red, blue] : {std::tuple{0.f, 8.f, -2.f, 0, 1}, {8.f, 12.f, -60.f, 200, 0}, {12.f, 16.f, 5.f, 0, 0}}) {
        glColor3ub(GLubyte(red), 0, GLubyte(blue));
        glBegin(GL_QUADS);
        for (const auto& [x, y] : {std::pair{x0, 0.f}, {x1, 0.f}, {x1, 4.f}, {x0, 4.f}}) glVertex3f(x, y, z);
        glEnd();
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM is pending
    RecordingPrompt prompt;
    const SampledFrame frame = SurfaceSampler::sample(ClientRect::ofSize(18, 4), prompt);
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{glErrorText(GL_INVALID_ENUM)});
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    const Seen seen(frame);
    ASSERT_EQ(seen.points.size(), 8u * 4u);
    const double depthStep = 200.0 / 16777216.0;
    for (std::size_t i = 0; i < seen.points.size(); ++i) {
        const SurfacePoint& p = seen.points[i];
        ASSERT_EQ(std::make_pair(p.column, p.row), std::make_pair(int(i % 8), int(i / 8)));
        EXPECT_NEAR(p.x, -(p.column + 0.5), 1e-6);  // GL keeps matrices in floats
        EXPECT_NEAR(p.y, p.row + 0.5, 1e-6);
        EXPECT_NEAR(p.z, -2.0, 2 * depthStep);
    }
}

}  // namespace
}  // namespace velmora::testing
