// The off-screen OpenGL surface: a real context, a framebuffer of any size,
// drawing and read-back of colour and depth.

#include "platform/HeadlessGlSurface.h"
#include "support/GlTestContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>

using namespace velmora;

namespace {

// RGBA at (x, y), y counted from the bottom row.
std::array<int, 4> pixel(const std::vector<std::uint8_t>& rgba, int width, int x, int y) {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

}  // namespace

TEST(HeadlessGlSurface, ClearDrawAndReadBack) {
    auto gl = velmora::testing::makeHeadlessSurface(64, 48);
    ASSERT_TRUE(gl);
    EXPECT_EQ(gl->width(), 64);
    EXPECT_EQ(gl->height(), 48);
    EXPECT_GE(gl->colourBits(), 16);
    EXPECT_NE(gl->description().find("OpenGL"), std::string::npos);

    glViewport(0, 0, 64, 48);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    // A red quad over the left half at depth 0 (window depth 0.5).
    glColor3f(1, 0, 0);
    glBegin(GL_QUADS);
    glVertex3f(-1, -1, 0);
    glVertex3f(0, -1, 0);
    glVertex3f(0, 1, 0);
    glVertex3f(-1, 1, 0);
    glEnd();
    gl->swapBuffers();
    ASSERT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const auto rgba = gl->readRgba();
    const auto depth = gl->readDepth();
    ASSERT_EQ(rgba.size(), 64u * 48u * 4u);
    ASSERT_EQ(depth.size(), 64u * 48u);
    EXPECT_EQ(pixel(rgba, 64, 10, 10), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rgba, 64, 31, 47), (std::array<int, 4>{255, 0, 0, 255}));
    // 0.25 * 255 = 63.75 and 0.75 * 255 = 191.25 round to 64 and 191.
    EXPECT_EQ(pixel(rgba, 64, 40, 20), (std::array<int, 4>{64, 128, 191, 255}));
    EXPECT_NEAR(depth[10 * 64 + 10], 0.5f, 1.0f / (1 << 23));
    EXPECT_EQ(depth[10 * 64 + 40], 1.0f);
}

TEST(HeadlessGlSurface, ResizeKeepsTheContextAndRefusesImpossibleSizes) {
    auto gl = velmora::testing::makeHeadlessSurface(16, 16);
    ASSERT_TRUE(gl);
    std::string error;
    ASSERT_TRUE(gl->resize(1027, 3, error)) << error;
    EXPECT_EQ(gl->width(), 1027);
    glViewport(0, 0, 1027, 3);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const auto rgba = gl->readRgba();
    EXPECT_EQ(pixel(rgba, 1027, 1026, 2), (std::array<int, 4>{0, 255, 0, 255}));

    EXPECT_FALSE(gl->resize(gl->maxSize() + 1, 10, error));
    EXPECT_NE(error.find("outside"), std::string::npos) << error;
    EXPECT_FALSE(gl->resize(0, 10, error));
    // The old framebuffer is still in use after a refused resize.
    EXPECT_EQ(gl->width(), 1027);
    EXPECT_TRUE(gl->makeCurrent());
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(HeadlessGlSurface, TwoSurfacesEachKeepTheirOwnPixels) {
    auto a = velmora::testing::makeHeadlessSurface(8, 8);
    auto b = velmora::testing::makeHeadlessSurface(8, 8);
    ASSERT_TRUE(a && b);
    ASSERT_TRUE(a->makeCurrent());
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(b->makeCurrent());
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    b.reset();  // one going away leaves the other working
    ASSERT_TRUE(a->makeCurrent());
    EXPECT_EQ(pixel(a->readRgba(), 8, 3, 3), (std::array<int, 4>{255, 0, 0, 255}));
}
