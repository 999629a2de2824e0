// The sampling pass: pixel order, the pixel test, the z cut-off, the sign of
// x, the bounds and the indices, first over hand-made buffers, then over
// frames drawn and read back in a headless OpenGL context.

#include "export/SampledFrame.h"
#include "export/SurfaceSampler.h"

#include "export/ExportTestSupport.h"
#include "platform/RecordingPrompt.h"
#include "model/GlErrorReporter.h"
#include "support/GlTestContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

using testing::FrameBuilder;

struct Seen {
    std::vector<SurfacePoint> points;
    std::vector<int> indices;
    std::vector<std::pair<int, int>> empties;
};

SampleSummary walkAll(const SampledFrame& frame, Seen& seen) {
    return frame.walk(
        [&](const SurfacePoint& p, int index) {
            seen.points.push_back(p);
            seen.indices.push_back(index);
        },
        [&](int column, int row) { seen.empties.push_back({column, row}); });
}

TEST(SampledFrameTest, BottomRowFirstConsecutiveIndicesAndEveryPixelPresentedOnce) {
    FrameBuilder b(8, 3);  // x = (c + 0.5) / 4 - 1, y = 2 (r + 0.5) / 3 - 1, z = 2 d - 1
    b.set(5, 2, 1, 0, 0, 0.5f);
    b.set(2, 0, 0, 1, 0, 0.5f);
    b.set(7, 0, 0, 0, 1, 0.5f);   // blue alone is enough
    b.set(3, 1, 0, 0, 0, 0.75f);  // black with depth: still background
    Seen seen;
    const SampleSummary summary = walkAll(b.frame(), seen);
    ASSERT_EQ(summary.pointCount, 3);
    EXPECT_EQ(seen.indices, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ((std::array<int, 4>{seen.points[0].column, seen.points[0].row, seen.points[1].column,
                                  seen.points[2].row}),
              (std::array<int, 4>{2, 0, 7, 2}));
    EXPECT_EQ(seen.empties.size(), 8u * 3u - 3u);
    EXPECT_EQ(seen.empties.front(), std::make_pair(0, 0));
    EXPECT_EQ(seen.points[1].blue, 1);
    // Column 2: world x = 2.5 / 4 - 1 = -0.375, delivered as 0.375.
    EXPECT_EQ(seen.points[0].x, 0.375);
    EXPECT_EQ(seen.points[0].y, 2.0 * 0.5 / 3.0 - 1.0);
    EXPECT_EQ(seen.points[0].z, 0.0);
}

TEST(SampledFrameTest, PointsAtOrBelowTheCutoffAreDropped) {
    FrameBuilder b(4, 1);
    b.set(0, 0, 9, 9, 9, -24.5f);    // z = -50 exactly
    b.set(1, 0, 9, 9, 9, -24.495f);  // z ≈ -49.99
    b.set(2, 0, 9, 9, 9, -30.0f);    // z = -61
    Seen seen;
    EXPECT_EQ(walkAll(b.frame(), seen).pointCount, 1);
    EXPECT_EQ(seen.points[0].column, 1);
    EXPECT_NEAR(seen.points[0].z, -49.99, 1e-5);
    EXPECT_EQ(seen.empties.size(), 3u);
}

TEST(SampledFrameTest, FirstPointSetsAllBoundsThenMaximaAndMinimaWiden) {
    FrameBuilder one(4, 1);
    one.viewport = {0, 0, 4, 1};
    one.set(1, 0, 1, 1, 1, 0.3f);
    const SampleSummary single = one.frame().summarize();
    EXPECT_EQ(single.pointCount, 1);
    EXPECT_EQ(single.bounds.maxX, single.bounds.minX);
    EXPECT_EQ(single.bounds.maxY, single.bounds.minY);
    EXPECT_EQ(single.bounds.maxZ, single.bounds.minZ);
    EXPECT_EQ(single.bounds.maxZ, static_cast<float>(2.0 * static_cast<double>(0.3f) - 1.0));

    SampleSummary s;
    s.add(1.0, 2.0, 3.0);
    s.add(-1.0, 5.0, 0.1);
    s.add(4.0, -2.0, 7.0);
    EXPECT_EQ(s.pointCount, 3);
    const auto& b = s.bounds;
    // minZ is stored in single precision.
    EXPECT_EQ((std::array<float, 6>{b.maxX, b.minX, b.maxY, b.minY, b.maxZ, b.minZ}),
              (std::array<float, 6>{4, -1, 5, -2, 7, 0.1f}));
}

TEST(SampledFrameTest, OnlyWholeGroupsOfFourColumnsAreSampled) {
    FrameBuilder narrow(3, 2);
    EXPECT_EQ(narrow.frame().columns(), 0);
    EXPECT_EQ(narrow.frame().summarize().pointCount, 0);
    EXPECT_EQ(ClientRect::ofSize(1027, 10).sampledWidth(), 1024);
    EXPECT_EQ((ClientRect{5, 7, 15, 9}).sampledWidth(), 8);
}

// Draws with the test's own matrices: an orthographic view where pixel (c, r)
// is world (c + 0.5, r + 0.5) and depth spans z from 100 (near) to -100.
void drawOrthoScene(int width, int height) {
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const auto quad = [](float x0, float y0, float x1, float y1, float z) {
        glBegin(GL_QUADS);
        glVertex3f(x0, y0, z);
        glVertex3f(x1, y0, z);
        glVertex3f(x1, y1, z);
        glVertex3f(x0, y1, z);
        glEnd();
    };
    glColor3ub(0, 0, 1);
    quad(0, 0, 8, 4, -2.0f);  // the faintest blue: points at z = -2
    glColor3ub(200, 10, 10);
    quad(8, 0, 12, 4, -60.0f);  // beyond the cut-off
    glColor3ub(0, 0, 0);
    quad(12, 0, 16, 4, 5.0f);  // drawn black: background
    glFinish();
}

TEST(SurfaceSamplerTest, ReadsTheDrawnFrameWithTheContextsMatrices) {
    auto gl = testing::makeHeadlessSurface(18, 4);  // 18 columns: 16 sampled
    ASSERT_TRUE(gl);
    drawOrthoScene(18, 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    RecordingPrompt prompt;
    const SampledFrame frame = SurfaceSampler::sample(ClientRect::ofSize(18, 4), prompt);
    EXPECT_TRUE(prompt.messages().empty());
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    EXPECT_EQ(frame.columns(), 16);
    EXPECT_EQ(frame.rows(), 4);

    // 24-bit depth over 200 units: a step is 200 / 2^24.
    const double tolerance = 2.0 * 200.0 / 16777216.0;
    Seen seen;
    const SampleSummary summary = walkAll(frame, seen);
    ASSERT_EQ(summary.pointCount, 8 * 4);
    for (std::size_t i = 0; i < seen.points.size(); ++i) {
        const SurfacePoint& p = seen.points[i];
        EXPECT_EQ(p.row, static_cast<int>(i) / 8);
        EXPECT_EQ(p.column, static_cast<int>(i) % 8);
        EXPECT_NEAR(p.x, -(p.column + 0.5), 1e-6);  // GL keeps matrices in floats
        EXPECT_NEAR(p.y, p.row + 0.5, 1e-6);
        EXPECT_NEAR(p.z, -2.0, tolerance);
        EXPECT_EQ(p.blue, 1);
    }
    EXPECT_EQ(summary.bounds.maxX, -0.5f);
    EXPECT_EQ(summary.bounds.minX, -7.5f);
    EXPECT_EQ(summary.bounds.maxY, 3.5f);
    EXPECT_EQ(summary.bounds.minY, 0.5f);
}

TEST(SurfaceSamplerTest, PendingOpenGlErrorsAreReportedAndThePassGoesOn) {
    auto gl = testing::makeHeadlessSurface(8, 4);
    ASSERT_TRUE(gl);
    drawOrthoScene(8, 4);
    glEnable(0x7FFF);  // not a capability: raises GL_INVALID_ENUM
    RecordingPrompt prompt;
    const SampledFrame frame = SurfaceSampler::sample(ClientRect::ofSize(8, 4), prompt);
    ASSERT_EQ(prompt.messages().size(), 1u);
    EXPECT_EQ(prompt.messages()[0].text, glErrorText(GL_INVALID_ENUM));
    EXPECT_EQ(frame.summarize().pointCount, 8 * 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace velmora
