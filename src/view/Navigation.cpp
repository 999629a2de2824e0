#include "view/Navigation.h"

#include "view/GlView.h"

#include <cmath>

namespace velmora {

namespace {

// The double nearest 1 / 1.1, the shrinking factor of key S.
constexpr double kShrink = 0.9090909090909091;
constexpr double kGrow = 1.1;
// pi / 200 and pi / 100: the fly-by's tilt and turn per step.
constexpr double kFlyByTilt = 0.015707963267948967;
constexpr double kFlyByTurn = 0.031415926535897934;

}  // namespace

void Navigation::adjust(float& value, double delta) {
    value = static_cast<float>(static_cast<double>(value) + delta);
}

void Navigation::moveEye(GlView& view, double dx, double dy, double dz) {
    view.setEye(static_cast<float>(view.eyeX() + dx), static_cast<float>(view.eyeY() + dy),
                static_cast<float>(view.eyeZ() + dz));
    view.drawFrame();
}

void Navigation::homeEye(GlView& view) {
    view.setEye(0.0f, 0.0f, GlView::kHomeEyeZ);
    view.drawFrame();
}

Navigation::KeyResult Navigation::rescale(GlView* view, float factor) {
    if (!view) return KeyResult::Handled;
    if (!view->rescaleModel(factor)) return KeyResult::OutOfMemory;
    view->drawFrame();
    return KeyResult::Handled;
}

Navigation::KeyResult Navigation::onKeyDown(GlView* view, int key) {
    if (key == VirtualKey::Escape) return KeyResult::Quit;
    const KeyResult eye = onEyeKey(view, key);
    return eye != KeyResult::Ignored ? eye : onModelKey(view, key);
}

Navigation::KeyResult Navigation::onEyeKey(GlView* view, int key) {
    switch (key) {
        case VirtualKey::PageUp:
            if (view) moveEye(*view, 0.0, 1.0, 0.0);
            return KeyResult::Handled;
        case VirtualKey::PageDown:
            if (view) moveEye(*view, 0.0, -1.0, 0.0);
            return KeyResult::Handled;
        case VirtualKey::Home:
            state_.flyByStep = kFlyByIdle;
            if (view) homeEye(*view);
            return KeyResult::Handled;
        case VirtualKey::Left:
            if (view) moveEye(*view, -1.0, 0.0, 0.0);
            return KeyResult::Handled;
        case VirtualKey::Up:
            if (view) moveEye(*view, 0.0, 0.0, 1.0);
            return KeyResult::Handled;
        case VirtualKey::Right:
            if (view) moveEye(*view, 1.0, 0.0, 0.0);
            return KeyResult::Handled;
        case VirtualKey::Down:
            if (view) moveEye(*view, 0.0, 0.0, -1.0);
            return KeyResult::Handled;
        default:
            return KeyResult::Ignored;
    }
}

Navigation::KeyResult Navigation::onModelKey(GlView* view, int key) {
    // Keys that change a model-transform value do so with or without a view;
    // only their redraw needs one.
    const auto transform = [&](float& value, double delta) {
        adjust(value, delta);
        if (view) view->drawFrame();
        return KeyResult::Handled;
    };
    const auto scale = [&](double factor) {
        state_.modelScale = static_cast<float>(static_cast<double>(state_.modelScale) * factor);
        if (view) view->drawFrame();
        return KeyResult::Handled;
    };

    switch (key) {
        case 'A':
            state_.modelOffsetX = state_.modelOffsetY = state_.modelOffsetZ = 0.0f;
            state_.modelScale = 1.0f;
            state_.modelRotX = state_.modelRotY = 0.0f;
            if (view) homeEye(*view);
            return KeyResult::Handled;
        case 'B': return transform(state_.modelOffsetZ, 1.0);
        case 'I': return transform(state_.modelOffsetY, 1.0);
        case 'J': return transform(state_.modelOffsetX, -1.0);
        case 'L': return transform(state_.modelOffsetX, 1.0);
        case 'M': return transform(state_.modelOffsetY, -1.0);
        case 'N': return transform(state_.modelOffsetZ, -1.0);
        case 'S': return scale(kShrink);
        case 'W': return scale(kGrow);
        case 'D': return rescale(view, 0.5f);
        case 'E': return rescale(view, 2.0f);
        case VirtualKey::Add: return rescale(view, 1.1f);
        case VirtualKey::Subtract: return rescale(view, 0.9f);
        default: return KeyResult::Ignored;
    }
}

void Navigation::onLButtonDown(int x, int y) {
    lastMouseX_ = x;
    lastMouseY_ = y;
    dragging_ = true;
}

void Navigation::onLButtonUp() { dragging_ = false; }

float Navigation::dragRotation(float angle, int pixels) {
    float result = static_cast<float>(static_cast<double>(angle) + pixels * kDragDegreesPerPixel);
    if (result > 360.0f)
        result = static_cast<float>(static_cast<double>(result) - 360.0);
    else if (result < -360.0f)
        result = static_cast<float>(static_cast<double>(result) + 360.0);
    return result;
}

void Navigation::onMouseMove(GlView* view, int x, int y) {
    if (!view || !dragging_) return;
    // Horizontal motion turns about the vertical axis, vertical motion about
    // the horizontal one.
    state_.modelRotY = dragRotation(state_.modelRotY, x - lastMouseX_);
    state_.modelRotX = dragRotation(state_.modelRotX, y - lastMouseY_);
    view->drawFrame();
    lastMouseX_ = x;
    lastMouseY_ = y;
}

std::array<float, 3> Navigation::flyByEye(int step) {
    if (step >= kFlyByIdle - 1) return {0.0f, 0.0f, GlView::kHomeEyeZ};
    // The tilt is rounded to float before its sine and cosine; the turn is not.
    const float theta = static_cast<float>(step * kFlyByTilt);
    const double phi = step * kFlyByTurn;
    const double sinTheta = std::sin(static_cast<double>(theta));
    const double cosTheta = std::cos(static_cast<double>(theta));
    return {static_cast<float>(-50.0 * sinTheta * std::cos(phi)),
            static_cast<float>(-50.0 * sinTheta * std::sin(phi)), static_cast<float>(-400.0 * cosTheta)};
}

void Navigation::stepFlyBy(GlView* view) {
    if (state_.flyByStep >= kFlyByIdle) return;
    if (view) {
        const auto eye = flyByEye(state_.flyByStep);
        view->setEye(eye[0], eye[1], eye[2]);
    }
    ++state_.flyByStep;
}

}  // namespace velmora
