// Navigation keys, drag rotation and the fly-by over a real view on a headless surface. What users of the view rely on:
// - each key message moves the eye or the transform one step (1 unit, x1.1 / /1.1), with or without a view; Home resets
//   the eye and the fly-by, A the eye and the transform, Escape quits;
// - D, E, keypad + and - multiply the geometry in single precision and redraw;
// - a drag turns 0.3 degrees per pixel on both axes, wrapped once into -360 .. 360;
// - the fly-by takes 200 timer messages along its ellipsoid and ends at home;
// - a fitted eye keeps its direction (+z from the origin) and stays beyond the near plane;
// - frame pictures are top row first RGB; empty or short read-backs are refused with a reason.

#include "view/Navigation.h"

#include "view/ModelFit.h"
#include "view/ViewTestSupport.h"

#include <map>

namespace velmora {
namespace {

struct NavigationTest : testing::ViewFixture {
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(open(64, 48));
        view->resize(0, 0, 64, 48);
    }
    // Each call is one key-down message, as auto-repeat sends them.
    void press(int key, int times = 1, bool withView = true) {
        for (int i = 0; i < times; ++i)
            EXPECT_EQ(nav.onKeyDown(withView ? view.get() : nullptr, key), Navigation::KeyResult::Handled);
    }
    // The eye, the transform (scale, offsets x y z, rotations x y), then the fly-by's step.
    std::vector<float> snapshot() const {
        return {view->eyeX(),       view->eyeY(),       view->eyeZ(),     state.modelScale, state.modelOffsetX,
                state.modelOffsetY, state.modelOffsetZ, state.modelRotX, state.modelRotY,  float(state.flyByStep)};
    }
    std::vector<float> positions() const {
        std::vector<float> out;
        for (const auto& v : view->model()->vertices()) out.insert(out.end(), {v.x, v.y, v.z});
        return out;
    }
    Navigation nav{state};
};

TEST_F(NavigationTest, KeysMoveTheEyeAndChangeTheTransformOneStepPerMessage) {
    using namespace VirtualKey;
    // A held key: three repeats of Left are three steps.
    for (const auto& [key, times] : {std::pair{Left, 3}, {Right, 1}, {PageUp, 2}, {PageDown, 1}, {Up, 5}, {Down, 2}})
        press(key, times);
    // Without a view the transform keys still act; the keys that need one do nothing.
    for (const auto& [key, times] : {std::pair{'B', 3}, {'N', 1}, {'I', 2}, {'M', 5}, {'L', 1}, {'J', 4}, {'W', 3}})
        press(key, times, false);
    EXPECT_EQ(state.modelScale, 1.3310000896453857f);  // 1.1 cubed in double precision, stored as float
    press('S', 1, false);
    for (int key : {int(Left), int('D'), int(Add)}) press(key, 1, false);
    EXPECT_EQ(snapshot(), (std::vector<float>{-2, 1, 33, 1.2100000381469727f, -3, -3, 2, 0, 0, 200}));
    // Home resets the eye and the fly-by only; A the eye and the transform only.
    state.modelRotY = 30.0f, state.flyByStep = 50;
    press(Home);  // the fly-by idle at step 200
    EXPECT_EQ(snapshot(), (std::vector<float>{0, 0, 30, 1.2100000381469727f, -3, -3, 2, 0, 30, 200}));
    press(Up);
    state.flyByStep = 17;
    press('A');
    EXPECT_EQ(snapshot(), (std::vector<float>{0, 0, 30, 1, 0, 0, 0, 0, 0, 17}));
    // Escape quits with or without a view; H (in the key help), C, Z, main +/-, End and keypad 1 are unbound.
    EXPECT_EQ(nav.onKeyDown(view.get(), Escape), Navigation::KeyResult::Quit);
    EXPECT_EQ(nav.onKeyDown(nullptr, Escape), Navigation::KeyResult::Quit);
    for (int key : {72, 67, 90, 187, 189, 35, 97})
        EXPECT_EQ(nav.onKeyDown(view.get(), key), Navigation::KeyResult::Ignored) << key;
    EXPECT_EQ(snapshot(), (std::vector<float>{0, 0, 30, 1, 0, 0, 0, 0, 0, 17}));
}

TEST_F(NavigationTest, RescaleKeysMultiplyTheGeometry) {
    ASSERT_EQ(view->loadModel(VELMORA_SOURCE_DIR "/samples/sample.3ds", 0), ModelLoad::Loaded);
    // D halves, E doubles, the keypad's plus and minus multiply by 1.1 and 0.9, each in single precision.
    std::vector<float> expected = positions();
    std::vector<std::vector<std::uint8_t>> frames;  // each rescale redraws
    for (const auto& [key, factor] : {std::pair{int('D'), 0.5f}, {int('E'), 2.0f}, {int(VirtualKey::Add), 1.1f},
                                      {int(VirtualKey::Subtract), 0.9f}}) {
        press(key);
        frames.push_back(testing::Frame(*surface).rgba);
        for (float& p : expected) p *= factor;
        EXPECT_EQ(positions(), expected) << key;
    }
    EXPECT_NE(frames[0], frames[1]);
    EXPECT_EQ(state.modelScale, 1.0f);
}

TEST_F(NavigationTest, DraggingRotatesByThreeTenthsOfADegreePerPixelAndWrapsOnce) {
    nav.onMouseMove(view.get(), 300, 300), nav.onLButtonDown(100, 100);  // no button down before: nothing
    nav.onMouseMove(view.get(), 110, 90);  // right 10 pixels, up 10
    nav.onMouseMove(view.get(), 110, 80);  // up 10 more
    EXPECT_EQ((std::vector<float>{state.modelRotX, state.modelRotY}), (std::vector<float>{-6, 3}));
    nav.onLButtonUp();
    nav.onMouseMove(view.get(), 300, 300);  // not dragging: nothing at all
    nav.onLButtonDown(0, 0);
    nav.onMouseMove(nullptr, 50, 50);  // without a view: not even the last position
    EXPECT_EQ((std::vector<float>{state.modelRotX, state.modelRotY}), (std::vector<float>{-6, 3}));
    // 362 -> 2, exactly 360 stays, and 600 wraps only once.
    for (const auto& [from, pixels, to] : {std::tuple{359.0f, 10, 2.0f}, {357.0f, 10, 360.0f}, {-359.0f, -10, -2.0f},
                                           {-357.0f, -10, -360.0f}, {0.0f, 2000, 240.0f}})
        EXPECT_EQ(Navigation::dragRotation(from, pixels), to) << from << " " << pixels;
}

TEST_F(NavigationTest, FlyByFollowsItsPathAndReturnsHome) {
    // The path: an ellipsoid with semi-axes 50, 50 and 400.
    const std::map<int, std::array<float, 3>> path{
        {0, {0.0f, 0.0f, -400.0f}},        {1, {-0.78498f, -0.024669f, -399.95065f}},
        {50, {0.0f, -35.355339f, -282.84271f}}, {100, {50.0f, 0.0f, 0.0000175f}},
        {150, {0.0f, 35.355339f, 282.84271f}},  {198, {-1.5674351f, 0.098614663f, 399.80261f}},
        {199, {0.0f, 0.0f, 30.0f}}};
    nav.startFlyBy();
    for (int step = 0; step < 200; ++step) {
        ASSERT_EQ(state.flyByStep, step);
        nav.stepFlyBy(view.get());
        const float eye[3] = {view->eyeX(), view->eyeY(), view->eyeZ()};
        if (const auto at = path.find(step); at != path.end()) {
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(eye[k], at->second[k], 2e-5 + 1e-5 * std::abs(at->second[k])) << step;
        }
    }
    EXPECT_FALSE(nav.flyByRunning());
    press(VirtualKey::Left);
    nav.stepFlyBy(view.get());  // idle: further timer messages change nothing
    EXPECT_EQ(snapshot()[0], -1.0f);
    // Starting again while running restarts from step 0; without a view it only counts its 200 messages.
    for (int i = 0; i < 2; ++i) nav.startFlyBy(), nav.stepFlyBy(view.get());
    EXPECT_EQ(state.flyByStep, 1);
    EXPECT_FLOAT_EQ(view->eyeZ(), -400.0f);
    nav.startFlyBy();
    int messages = 0;
    for (; nav.flyByRunning() && messages < 1000; ++messages) nav.stepFlyBy(nullptr);
    EXPECT_EQ(messages, 200);
    EXPECT_FLOAT_EQ(view->eyeZ(), -400.0f);
}

// By hand: the distance is 1.05 R / sin(half the smaller field of view), R the placed sphere's reach.
TEST(ModelFitTest, TheEyeMovesAlongItsDirectionUntilTheSphereFits) {
    const std::vector<ModelVertex> cube{{0, 0, 0, 0, 0, -1, -1, -1}, {0, 0, 0, 0, 0, 1, 1, 1}};
    ViewerState scaled;
    scaled.modelScale = 2.0f;  // R = 2 sqrt(3); wide frame: half of 18 degrees
    auto eye = fittedEye(cube, scaled, {3, 0, 4}, 4 / 3.0f), near = fittedEye(cube, scaled, {0.6f, 0, 0}, 4 / 3.0f);
    for (auto [got, want] : {std::pair(eye[0], 13.950788f), {eye[1], 0}, {eye[2], 18.601050f}, {near[0], 23.251313f}})
        EXPECT_NEAR(got, want, 1e-4);  // an eye nearer than one unit keeps its direction too
    // A tall frame: the horizontal half angle atan(0.5 tan 9 degrees) is the smaller.
    EXPECT_NEAR(fittedEye(cube, scaled, {0, 0, 30}, 0.5f)[2], 46.073899f, 1e-4);
    // The sphere about (2, 0, 2) turns to (2, 0, -2) about y, (2, 2, 0) about x; the offsets centre it: R = 1.
    ViewerState turned;
    turned.modelRotX = turned.modelRotY = 90.0f, turned.modelOffsetX = turned.modelOffsetY = -2.0f;
    const std::vector<ModelVertex> bar{{0, 0, 0, 0, 0, 2, 0, 1}, {0, 0, 0, 0, 0, 2, 0, 3}};
    EXPECT_NEAR(fittedEye(bar, turned, {0, 0, 30}, 1.0f)[2], 6.712076f, 1e-4);
    EXPECT_EQ(fittedEye({}, turned, {1, 2, 3}, 1.0f), (std::array<float, 3>{1, 2, 3}));
    // A point at the origin: the eye stops at the near plane, along +z when it was at the origin itself.
    EXPECT_EQ(fittedEye({ModelVertex{}}, ViewerState{}, {0, 0, 0}, 1.0f), (std::array<float, 3>{0, 0, 1}));
    // The box starts at the first vertex on every axis: y = 3 there is no bound on x.
    const std::vector<ModelVertex> upright{{0, 0, 0, 0, 0, 0, 3, 0}, {0, 0, 0, 0, 0, 0, -3, 0}};
    EXPECT_NEAR(fittedEye(upright, ViewerState{}, {0, 0, 30}, 1.0f)[2], 20.136228f, 1e-4);  // 1.05 * 3 / sin 9
    const std::vector<ModelVertex> deep{{0, 0, 0, 0, 0, 0, 0, 5}, {0, 0, 0, 0, 0, 0, 0, -5}};  // z = 5: no bound on y
    EXPECT_NEAR(fittedEye(deep, ViewerState{}, {0, 0, 30}, 1.0f)[2], 33.560379f, 1e-4);      // 1.05 * 5 / sin 9
    // Off the origin on every axis: centre (1, 3, 3), R = 1, so the reach is sqrt 19 + 1.
    const std::vector<ModelVertex> offCentre{{0, 0, 0, 0, 0, 1, 2, 3}, {0, 0, 0, 0, 0, 1, 4, 3}};
    EXPECT_NEAR(fittedEye(offCentre, ViewerState{}, {0, 0, 30}, 1.0f)[2], 35.969334f, 1e-4);
}

}  // namespace
}  // namespace velmora
