// Headless renders of the view checked against hand computation: the
// welcome cross, the footprint and lit colour of a square, the order of the
// model transform and the camera matrix left behind by every redraw.

#include "support/Prompts.h"
#include "view/ViewTestSupport.h"
#include "view/WelcomePicture.h"

#include <cmath>
#include <ctime>

#include <GL/gl.h>

namespace velmora {
namespace {

using namespace testing;

// One channel of the view's fixed-function lighting at a vertex whose normal
// makes `cosine` with the direction to a light sitting at the eye: emission
// 0.1, global ambient 0.1, light ambient 0.3, diffuse 0.5, specular 0.6,
// shininess 128 and a local viewer, so the half vector is the light direction.
double litChannel(double reflectance, double cosine) {
    return std::min(1.0, 0.1 + reflectance * (0.1 + 0.3 + 0.5 * cosine + 0.6 * std::pow(cosine, 128.0)));
}

// An axis-aligned cube of half side `h`, faces outwards.
std::vector<Vec3> cube(Vec3 c, float h) {
    const auto p = [&](int i) { return Vec3{c.x + (i & 1 ? h : -h), c.y + (i & 2 ? h : -h), c.z + (i & 4 ? h : -h)}; };
    std::vector<Vec3> corners;
    for (const auto& q : {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}})
        corners.insert(corners.end(), {p(q[0]), p(q[1]), p(q[2]), p(q[0]), p(q[2]), p(q[3])});
    return corners;
}

// cot(9 degrees): the projection's scale for an 18-degree field of view.
const double kFocal = 1.0 / std::tan(9.0 * 3.14159265358979323846 / 180.0);

TEST_F(ViewFixture, WelcomePictureIsARedRowAndGreenColumnCrossOnTheClearColour) {
    surface = makeHeadlessSurface(65, 49);
    ASSERT_TRUE(surface);
    WelcomePicture picture(*surface, prompt, state);
    picture.draw();
    picture.draw();  // later paints reuse the set-up
    const Frame f(*surface);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const Pixel p = f.at(x, y);
            // Where they cross, the blue axis is seen end-on: green drawn over red, or blue.
            const bool ok = x == 32 && y == 24 ? near(p, 0, 255, 0) || near(p, 0, 0, 255)
                            : y == 24          ? near(p, 255, 0, 0)
                            : x == 32          ? near(p, 0, 255, 0)
                                               : isClearColour(p);
            ASSERT_TRUE(ok) << x << "," << y << ": " << p.r << "," << p.g << "," << p.b;
        }
    }
    EXPECT_TRUE(prompt.messages().empty());
}

void expectMatrix(GLenum which, const std::array<double, 16>& expected, const char* after) {
    float m[16];
    glGetFloatv(which, m);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m[i], expected[i], 1e-5) << after << " element " << i;
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW) << after;
}

TEST_F(ViewFixture, SquareFacingTheCameraCoversItsProjectedFootprintInItsLitColourAndRedrawsLeaveTheCamera) {
    open(200, 160);
    const float half = 3.0f;
    load(square({0.2f, 0.4f, 0.6f}, half));
    // Before building, the loader shows the extent in the file's axes (x
    // mirrored, y and z exchanged): the square spans file x and z.
    expectBox(prompt, "ok", "maxx:3.000000 minx:-3.000000\r\nmaxy:0.000000 miny:0.000000\r\nmaxz:3.000000 minz:-3.000000");
    EXPECT_EQ(std::pair(prompt.messages()[0].frameworkBox, prompt.messages()[0].buttons), std::pair(false, PromptButtons::Ok));
    view->drawFrame();
    const Frame f(*surface);
    // Eye 30 units in front: corners at distance sqrt(30² + 2·3²) off the axis
    // of the light, which also lights them (Gouraud) with that cosine.
    const double cosine = 30.0 / std::sqrt(900.0 + 2.0 * half * half);
    int expected[3];
    for (int c = 0; c < 3; ++c) expected[c] = static_cast<int>(std::lround(255 * litChannel(0.2 * (c + 1), cosine)));
    // Half extent in pixels: half · cot(9°) / 30 in NDC, times half the window,
    // divided across by the aspect ratio.
    const double halfX = half * kFocal / 30.0 / (200.0 / 160.0) * 100.0, halfY = half * kFocal / 30.0 * 80.0;
    int inside = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const double dx = std::abs(x + 0.5 - 100.0), dy = std::abs(y + 0.5 - 80.0);
            const Pixel p = f.at(x, y);
            if (dx < halfX - 0.5 && dy < halfY - 0.5 && ++inside) {
                ASSERT_TRUE(near(p, expected[0], expected[1], expected[2])) << x << "," << y << ": " << p.r << "," << p.g;
            } else if (dx > halfX + 0.5 || dy > halfY + 0.5) {
                ASSERT_TRUE(isClearColour(p)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(inside, 95 * 95);

    // The projection and camera that resize set; no redraw, rescale or later resize moves the camera.
    EXPECT_FLOAT_EQ(view->aspectRatio(), 1.25f);
    expectMatrix(GL_PROJECTION_MATRIX,
                 {kFocal * 0.8, 0, 0, 0, 0, kFocal, 0, 0, 0, 0, -1001.0 / 999.0, -1, 0, 0, -2000.0 / 999.0, 0}, "resize");
    expectMatrix(GL_MODELVIEW_MATRIX, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, -30, 1}, "first frame");
    // gluLookAt from (0, 4, 3) to the origin, up y, by hand: the forward axis
    // f = (0, -0.8, -0.6), side s = f × y = (1, 0, 0), up u = s × f = (0, 0.6, -0.8);
    // rows s, u, -f (column-major below) and the eye 5 units down the view axis.
    const std::array<double, 16> camera{1, 0, 0, 0, 0, 0.6, 0.8, 0, 0, -0.8, 0.6, 0, 0, 0, -5, 1};
    state.modelScale = 1.7f, state.modelOffsetX = 2.0f, state.modelRotX = 33.0f, state.modelRotY = -12.0f;
    view->setEye(0.0f, 4.0f, 3.0f);
    view->drawFrame();
    expectMatrix(GL_MODELVIEW_MATRIX, camera, "drawFrame");
    view->rescaleModel(2.0f);
    view->drawFrame();
    expectMatrix(GL_MODELVIEW_MATRIX, camera, "rescale and drawFrame");
    view->resize(0, 0, 200, 160);
    expectMatrix(GL_MODELVIEW_MATRIX, camera, "a second resize");
}

TEST_F(ViewFixture, ModelTransformScalesThenTranslatesThenRotatesAboutXThenY) {
    open(160, 120);
    // A red marker cube at (3, 0, 0); a green one at (-3, 0, 0) keeps the bounds centred.
    load({{{1, 0, 0}, cube({3, 0, 0}, 0.4f)}, {{0, 1, 0}, cube({-3, 0, 0}, 0.4f)}});
    // scale, offset x and y, rotation about x and y; then by hand: scale · (offset + Rx(Ry(marker))).
    const std::array<double, 7> cases[] = {
        {1, 0, 0, 0, 0, 3.0, 0.0},
        {0.5, 2, 1, 0, 0, 2.5, 0.5},    // the offset is scaled too: 0.5 · ((3, 0) + (2, 1))
        {1, 0, 0, 90, 90, 0.0, 3.0},    // Ry(90) takes (3, 0, 0) to (0, 0, -3), then Rx(90) to (0, 3, 0)
        {0.5, 2, 1, 90, 90, 1.0, 2.0},
        {1, 0, 0, 90, 0, 3.0, 0.0},     // Rx alone leaves a point on the x axis where it is
    };
    for (const auto& [scale, offsetX, offsetY, rotX, rotY, worldX, worldY] : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << scale << " rot " << rotX << "," << rotY);
        state.modelScale = float(scale), state.modelOffsetX = float(offsetX), state.modelOffsetY = float(offsetY);
        state.modelRotX = float(rotX), state.modelRotY = float(rotY);
        view->drawFrame();
        const Frame f(*surface);
        double sumX = 0, sumY = 0;
        int count = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                if (const Pixel p = f.at(x, y); p.r > 100 && p.g < 60) sumX += x + 0.5, sumY += y + 0.5, ++count;
        ASSERT_GT(count, 10) << "marker not seen";
        EXPECT_NEAR(sumX / count, 80.0 + 60.0 * kFocal * worldX / 30.0, 1.5);  // 80 · f/aspect · x/30
        EXPECT_NEAR(sumY / count, 60.0 + 60.0 * kFocal * worldY / 30.0, 1.5);
    }
}

// Without it two runs a second apart would export the same phases.
TEST_F(ViewFixture, SettingUpTheSurfaceSeedsThePhasesFromTheClock) {
    state.random.seed(12345);
    const std::time_t before = std::time(nullptr);
    open(8, 8);
    const std::time_t after = std::time(nullptr);
    const int first = state.random.next();
    bool fromClock = false;
    for (std::time_t t = before; t <= after; ++t) {
        RandomGenerator clock;
        clock.seed(static_cast<std::uint32_t>(t));
        fromClock = fromClock || clock.next() == first;
    }
    EXPECT_TRUE(fromClock);
}

}  // namespace
}  // namespace velmora
