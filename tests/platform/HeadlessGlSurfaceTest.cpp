#include "support/GlTestContext.h"

#include <GL/gl.h>

using namespace velmora;

TEST(HeadlessGlSurface, DrawReadBackAndResize) {
    auto gl = velmora::testing::makeHeadlessSurface(64, 48);
    ASSERT_TRUE(gl);
    const auto pixel = [&](int x, int y) {
        const auto rgba = gl->readRgba();
        const std::size_t i = (static_cast<std::size_t>(y) * gl->width() + x) * 4;
        return std::array<int, 4>{rgba.at(i), rgba.at(i + 1), rgba.at(i + 2), rgba.at(i + 3)};
    };
    EXPECT_GE(gl->colourBits(), 16);
    EXPECT_NE(gl->description().find("OpenGL"), std::string::npos);
    glViewport(0, 0, 64, 48), glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glEnable(GL_DEPTH_TEST);
    glColor3f(1, 0, 0);
    glRectf(-1, -1, 0, 1);  // the left half at depth 0: window depth 0.5
    gl->swapBuffers();
    const auto depth = gl->readDepth();
    ASSERT_EQ(gl->readRgba().size(), 64u * 48u * 4u);
    ASSERT_EQ(depth.size(), 64u * 48u);
    EXPECT_EQ(pixel(31, 47), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(pixel(40, 20), (std::array<int, 4>{64, 128, 191, 255}));  // 63.75 and 191.25 rounded
    EXPECT_NEAR(depth[10 * 64 + 31], 0.5f, 1.0f / (1 << 23));  // either side of the edge
    EXPECT_EQ(depth[10 * 64 + 32], 1.0f);
    const auto resized = gl->resize(1027, 3);
    ASSERT_TRUE(resized) << resized.error();
    glViewport(0, 0, 1027, 3);
    glClearColor(0, 1, 0, 1), glClear(GL_COLOR_BUFFER_BIT);
    const std::array<int, 4> green{0, 255, 0, 255};
    EXPECT_EQ(pixel(1026, 2), green);
    const auto tooLarge = gl->resize(gl->maxSize() + 1, 10);
    EXPECT_FALSE(tooLarge);
    EXPECT_NE(tooLarge.error().find("outside"), std::string::npos) << tooLarge.error();
    EXPECT_FALSE(gl->resize(0, 10));
    // The old framebuffer is still in use after a refused resize.
    EXPECT_EQ((std::array{gl->width(), gl->height()}), (std::array{1027, 3}));
    EXPECT_EQ(pixel(1026, 2), green);
    // A second surface keeps its own pixels, and going away leaves the first working.
    auto other = velmora::testing::makeHeadlessSurface(8, 8);
    ASSERT_TRUE(other && other->makeCurrent());
    glClearColor(0, 0, 1, 1), glClear(GL_COLOR_BUFFER_BIT);
    other.reset();
    ASSERT_TRUE(gl->makeCurrent());
    EXPECT_EQ(pixel(1026, 2), green);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
