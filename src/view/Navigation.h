#pragma once
// Keyboard and mouse navigation and the fly-by: the camera eye of the view
// and the model-transform values of the state, changed with the exact float
// arithmetic the program has always used (products and sums in double
// precision, stored as float). Keys are the Windows virtual-key codes the
// bindings were made for; the window layer translates its own key codes.
//
// Every handler takes the view, or null while no model has been opened.

#include "view/ViewerState.h"

#include <array>
#include <optional>

namespace velmora {

class GlView;

// The virtual-key codes of the bound keys.
namespace VirtualKey {
inline constexpr int Escape = 27;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int Home = 36;
inline constexpr int Left = 37;
inline constexpr int Up = 38;
inline constexpr int Right = 39;
inline constexpr int Down = 40;
inline constexpr int Add = 107;       // numeric keypad +
inline constexpr int Subtract = 109;  // numeric keypad -
}  // namespace VirtualKey

class Navigation {
public:
    // The fly-by counter while no fly-by runs.
    static constexpr int kFlyByIdle = 200;
    // Degrees of rotation per pixel dragged.
    static constexpr double kDragDegreesPerPixel = 0.3;

    enum class KeyResult {
        Ignored,  // not a bound key
        Handled,  // applied (whatever the view's presence allowed)
        Quit,     // Escape: the caller ends the program without its teardown
        // A rescale could not have its vertex array: the caller decides
        // whether to retry (GlView::recompileModel) and then redraws.
        OutOfMemory,
    };

    // The state must outlive the navigation.
    explicit Navigation(ViewerState& state) : state_(state) {}

    // One key-down message; every auto-repeat is one more step.
    KeyResult onKeyDown(GlView* view, int virtualKey);

    // Left-button drag rotation. Positions are in client coordinates, y down.
    void onLButtonDown(int x, int y);
    void onLButtonUp();
    void onMouseMove(GlView* view, int x, int y);
    bool dragging() const { return dragging_; }
    int lastMouseX() const { return lastMouseX_; }
    int lastMouseY() const { return lastMouseY_; }

    // "Fly By": restarts the path from its first step.
    void startFlyBy() { state_.flyByStep = 0; }
    bool flyByRunning() const { return state_.flyByStep < kFlyByIdle; }
    // One timer message: moves the eye to the current step's position (with
    // a view) and advances the counter. Does not redraw.
    void stepFlyBy(GlView* view);
    // The eye of a fly-by step 0 .. 199 (199 is the home position).
    static std::array<float, 3> flyByEye(int step);

    // Rotation after adding a drag of `pixels` to `angle`, wrapped once into
    // -360 .. 360.
    static float dragRotation(float angle, int pixels);

private:
    void moveEye(GlView& view, double dx, double dy, double dz);
    void homeEye(GlView& view);
    KeyResult onEyeKey(GlView* view, int key);
    KeyResult onModelKey(GlView* view, int key);
    KeyResult rescale(GlView* view, float factor);
    static void adjust(float& value, double delta);

    ViewerState& state_;
    bool dragging_ = false;
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
};

}  // namespace velmora
