// Navigation keys, drag rotation and the fly-by over a real view on a
// headless surface.

#include "view/Navigation.h"

#include "model/MeshModel.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "view/GlView.h"
#include "view/ModelFit.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace velmora {
namespace {

using testing::makeHeadlessSurface;

class NavigationTest : public ::testing::Test {
protected:
    void SetUp() override {
        surface_ = makeHeadlessSurface(64, 48);
        ASSERT_TRUE(surface_);
        view_ = std::make_unique<GlView>(*surface_, prompt_, state_);
        view_->resize(0, 0, 64, 48);
    }

    // Each call is one key-down message, as auto-repeat sends them.
    void press(int key, int times = 1, bool withView = true) {
        for (int i = 0; i < times; ++i)
            EXPECT_EQ(nav_.onKeyDown(withView ? view_.get() : nullptr, key), Navigation::KeyResult::Handled);
    }
    // The six transform values: scale, offsets x y z, rotations x y.
    std::array<float, 6> transform() const {
        return {state_.modelScale,   state_.modelOffsetX, state_.modelOffsetY,
                state_.modelOffsetZ, state_.modelRotX,    state_.modelRotY};
    }
    void expectEye(float x, float y, float z) const {
        EXPECT_FLOAT_EQ(view_->eyeX(), x);
        EXPECT_FLOAT_EQ(view_->eyeY(), y);
        EXPECT_FLOAT_EQ(view_->eyeZ(), z);
    }
    void loadSample() { ASSERT_EQ(view_->loadModel(VELMORA_SOURCE_DIR "/samples/sample.3ds", 0), ModelLoad::Loaded); }
    std::vector<float> positions() const {
        std::vector<float> out;
        for (const auto& v : view_->model()->vertices()) out.insert(out.end(), {v.x, v.y, v.z});
        return out;
    }

    RecordingPrompt prompt_;
    ViewerState state_;
    Navigation nav_{state_};
    std::unique_ptr<HeadlessGlSurface> surface_;
    std::unique_ptr<GlView> view_;
};

TEST_F(NavigationTest, ArrowAndPageKeysMoveTheEyeOneUnitPerMessage) {
    press(VirtualKey::Left, 3);  // a held key: three repeats, three steps
    expectEye(-3, 0, 30);
    press(VirtualKey::Right);
    press(VirtualKey::PageUp, 2);
    press(VirtualKey::PageDown);
    press(VirtualKey::Up, 5);
    press(VirtualKey::Down, 2);
    expectEye(-2, 1, 33);

    // The eye moves along the world axes and the camera still aims at the
    // origin: its eye-space x and y are 0.
    std::array<double, 16> modelview{};
    surface_->makeCurrent();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    EXPECT_NEAR(modelview[12], 0.0, 1e-5);
    EXPECT_NEAR(modelview[13], 0.0, 1e-5);

    press(VirtualKey::Home);
    expectEye(0, 0, 30);
}

TEST_F(NavigationTest, TransformKeysChangeTheirValuesEvenWithoutAView) {
    press('B', 3, false);
    press('N', 1, false);
    press('I', 2, false);
    press('M', 5, false);
    press('L', 1, false);
    press('J', 4, false);
    // Products in double precision, stored as float: 1.1, 1.21, 1.331 and back.
    press('W', 3, false);
    EXPECT_EQ(state_.modelScale, 1.3310000896453857f);
    press('S', 1, false);
    // Keys that need a view do nothing without one.
    for (int k : {int(VirtualKey::Left), int('D'), int(VirtualKey::Add)}) press(k, 1, false);
    EXPECT_EQ(transform(), (std::array<float, 6>{1.2100000381469727f, -3, -3, 2, 0, 0}));

    // A resets all six values but leaves the fly-by alone.
    state_.modelRotX = 12.0f;
    state_.modelRotY = -40.0f;
    state_.flyByStep = 17;
    press('A', 1, false);
    EXPECT_EQ(transform(), (std::array<float, 6>{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(state_.flyByStep, 17);
}

TEST_F(NavigationTest, KeyAAndHomeResetTheEyeDifferently) {
    press(VirtualKey::Right, 2);
    press('L');
    state_.modelRotY = 30.0f;
    state_.flyByStep = 50;

    press(VirtualKey::Home);  // eye and fly-by only
    expectEye(0, 0, 30);
    EXPECT_EQ(state_.flyByStep, Navigation::kFlyByIdle);
    EXPECT_EQ(transform(), (std::array<float, 6>{1, 1, 0, 0, 0, 30}));

    press(VirtualKey::Up);
    press('A');  // eye and transform
    expectEye(0, 0, 30);
    EXPECT_EQ(transform(), (std::array<float, 6>{1, 0, 0, 0, 0, 0}));
}

TEST_F(NavigationTest, OnlyTheBoundKeysAct) {
    EXPECT_EQ(nav_.onKeyDown(view_.get(), VirtualKey::Escape), Navigation::KeyResult::Quit);
    EXPECT_EQ(nav_.onKeyDown(nullptr, VirtualKey::Escape), Navigation::KeyResult::Quit);
    // H is named by the key-help box but has no binding; the main keyboard's
    // plus and minus (VK_OEM_PLUS, VK_OEM_MINUS) are not the keypad's.
    for (int key : {72, 67, 90, 187, 189, 35, 97})
        EXPECT_EQ(nav_.onKeyDown(view_.get(), key), Navigation::KeyResult::Ignored) << key;
    expectEye(0, 0, 30);
    EXPECT_EQ(state_.modelScale, 1.0f);
}

TEST_F(NavigationTest, RescaleKeysMultiplyTheGeometry) {
    loadSample();
    const std::vector<float> before = positions();
    ASSERT_FALSE(before.empty());

    press('D');
    std::vector<float> halved = positions();
    for (std::size_t i = 0; i < before.size(); ++i) ASSERT_EQ(halved[i], before[i] * 0.5f) << i;
    press('E');
    EXPECT_EQ(positions(), before);  // powers of two come back exactly

    press(VirtualKey::Add);
    press(VirtualKey::Subtract);
    const std::vector<float> after = positions();
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == 0.0f) continue;
        // 1.1f * 0.9f: about 0.99, not 1.
        EXPECT_NEAR(after[i] / before[i], 0.99, 1e-6) << i;
    }
    EXPECT_EQ(state_.modelScale, 1.0f);  // the transform scale is untouched

    // Rescaling lasts until the file is read again.
    loadSample();
    EXPECT_EQ(positions(), before);
}

TEST_F(NavigationTest, DraggingRotatesByThreeTenthsOfADegreePerPixel) {
    nav_.onLButtonDown(100, 100);
    EXPECT_TRUE(nav_.dragging());
    nav_.onMouseMove(view_.get(), 110, 100);  // right 10 pixels
    EXPECT_FLOAT_EQ(state_.modelRotY, 3.0f);
    EXPECT_EQ(state_.modelRotX, 0.0f);
    nav_.onMouseMove(view_.get(), 110, 80);  // up 20 pixels
    EXPECT_FLOAT_EQ(state_.modelRotX, -6.0f);
    EXPECT_EQ(nav_.lastMouseX(), 110);
    EXPECT_EQ(nav_.lastMouseY(), 80);

    nav_.onLButtonUp();
    nav_.onMouseMove(view_.get(), 300, 300);  // not dragging: nothing at all
    EXPECT_FLOAT_EQ(state_.modelRotY, 3.0f);
    EXPECT_EQ(nav_.lastMouseX(), 110);

    // Without a view a drag changes nothing, not even the last position.
    nav_.onLButtonDown(0, 0);
    nav_.onMouseMove(nullptr, 50, 50);
    EXPECT_EQ(nav_.lastMouseX(), 0);
    EXPECT_FLOAT_EQ(state_.modelRotY, 3.0f);
}

TEST_F(NavigationTest, RotationWrapsOnceAndKeepsPlusMinus360) {
    EXPECT_EQ(Navigation::dragRotation(359.0f, 10), 2.0f);     // 362 -> 2
    EXPECT_EQ(Navigation::dragRotation(357.0f, 10), 360.0f);   // exactly 360 stays
    EXPECT_EQ(Navigation::dragRotation(-359.0f, -10), -2.0f);  // -362 -> -2
    EXPECT_EQ(Navigation::dragRotation(-357.0f, -10), -360.0f);
    EXPECT_EQ(Navigation::dragRotation(0.0f, 2000), 240.0f);  // 600 wraps only once

    state_.modelRotY = 359.0f;
    nav_.onLButtonDown(5, 5);
    nav_.onMouseMove(view_.get(), 15, 5);
    EXPECT_EQ(state_.modelRotY, 2.0f);
}

TEST_F(NavigationTest, FlyByFollowsItsPathAndReturnsHome) {
    struct Expected {
        int step;
        float x, y, z;
    };
    // The path's table: an ellipsoid with semi-axes 50, 50 and 400.
    const Expected table[] = {
        {0, 0.0f, 0.0f, -400.0f},
        {1, -0.78498f, -0.024669f, -399.95065f},
        {50, 0.0f, -35.355339f, -282.84271f},
        {100, 50.0f, 0.0f, 0.0000175f},
        {150, 0.0f, 35.355339f, 282.84271f},
        {198, -1.5674351f, 0.098614663f, 399.80261f},
        {199, 0.0f, 0.0f, 30.0f},
    };

    nav_.startFlyBy();
    EXPECT_TRUE(nav_.flyByRunning());
    const Expected* next = table;
    for (int step = 0; step < 200; ++step) {
        ASSERT_EQ(state_.flyByStep, step);
        nav_.stepFlyBy(view_.get());
        if (next != std::end(table) && next->step == step) {
            EXPECT_NEAR(view_->eyeX(), next->x, 2e-5 + 1e-5 * std::abs(next->x)) << "step " << step;
            EXPECT_NEAR(view_->eyeY(), next->y, 2e-5 + 1e-5 * std::abs(next->y)) << "step " << step;
            EXPECT_NEAR(view_->eyeZ(), next->z, 2e-5 + 1e-6 * std::abs(next->z)) << "step " << step;
            ++next;
        }
    }
    EXPECT_EQ(next, std::end(table));
    EXPECT_EQ(state_.flyByStep, 200);
    EXPECT_FALSE(nav_.flyByRunning());

    // Idle: further timer messages change nothing.
    press(VirtualKey::Left);
    nav_.stepFlyBy(view_.get());
    expectEye(-1, 0, 30);
    EXPECT_EQ(state_.flyByStep, 200);
}

TEST_F(NavigationTest, HomeStopsARunningFlyBy) {
    nav_.startFlyBy();
    for (int i = 0; i < 30; ++i) nav_.stepFlyBy(view_.get());
    EXPECT_NE(view_->eyeZ(), 30.0f);
    press(VirtualKey::Home);
    EXPECT_FALSE(nav_.flyByRunning());
    nav_.stepFlyBy(view_.get());
    expectEye(0, 0, 30);

    // Starting again while running restarts from step 0.
    nav_.startFlyBy();
    nav_.stepFlyBy(view_.get());
    nav_.stepFlyBy(view_.get());
    nav_.startFlyBy();
    nav_.stepFlyBy(view_.get());
    EXPECT_EQ(state_.flyByStep, 1);
    EXPECT_FLOAT_EQ(view_->eyeZ(), -400.0f);
}

TEST_F(NavigationTest, FlyByWithoutAViewOnlyCounts) {
    nav_.startFlyBy();
    int messages = 0;
    while (nav_.flyByRunning() && messages < 1000) {
        nav_.stepFlyBy(nullptr);
        ++messages;
    }
    EXPECT_EQ(messages, 200);
    EXPECT_EQ(state_.flyByStep, 200);
    expectEye(0, 0, 30);  // the view was never handed over
}

// Worked by hand: the distance is 1.05 R / sin(half the smaller field of
// view), R the reach of the placed bounding sphere from the origin.
TEST(ModelFitTest, TheEyeMovesAlongItsDirectionUntilTheSphereFits) {
    const std::vector<ModelVertex> cube{{0, 0, 0, 0, 0, -1, -1, -1}, {0, 0, 0, 0, 0, 1, 1, 1}};
    ViewerState scaled;
    scaled.modelScale = 2.0f;  // R = 2 sqrt(3); wide frame: half of 18 degrees
    auto eye = fittedEye(cube, scaled, {3, 0, 4}, 4.0f / 3.0f);
    EXPECT_NEAR(eye[0], 13.950788f, 1e-4);
    EXPECT_NEAR(eye[1], 0.0f, 1e-6);
    EXPECT_NEAR(eye[2], 18.601050f, 1e-4);
    // A tall frame: the horizontal half angle atan(0.5 tan 9 degrees) is the smaller.
    EXPECT_NEAR(fittedEye(cube, scaled, {0, 0, 30}, 0.5f)[2], 46.073899f, 1e-4);
    // The sphere about (2, 0, 0) turns about y to (0, 0, -2), about x to
    // (0, 2, 0), and the offset then brings it to the origin: R = 1.
    ViewerState turned;
    turned.modelRotX = turned.modelRotY = 90.0f;
    turned.modelOffsetY = -2.0f;
    const std::vector<ModelVertex> bar{{0, 0, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 3, 0, 0}};
    EXPECT_NEAR(fittedEye(bar, turned, {0, 0, 30}, 1.0f)[2], 6.712076f, 1e-4);
    EXPECT_EQ(fittedEye({}, turned, {1, 2, 3}, 1.0f), (std::array<float, 3>{1, 2, 3}));
}

}  // namespace
}  // namespace velmora
