#pragma once
// The frame's client area as the frame and its commands share it: the GL
// widget, the view once a model has been opened, and whether long work
// holds the picture.

#include "app/GlWidget.h"
#include "pointfile/SampledFrame.h"
#include "platform/Prompt.h"
#include "view/GlView.h"
#include "view/ViewerState.h"

#include <memory>

namespace velmora {

struct FrameView {
    // The client area: the GL widget's size in pixels.
    ClientRect clientRect() const;
    // Makes the GL context current and moves the eye; a model must be open.
    void setEye(float x, float y, float z) const;
    // Loads the state's model into the view, retrying its vertex array as
    // the user asks; false when the file could not be read.
    bool loadModel(ViewerState& state, Prompt& prompt) const;

    // After the view's model could not have its vertex array: asks Retry or
    // Cancel until a compilation succeeds; Cancel ends the program at once
    // with status 0, saving nothing.
    static void retryVertexArray(Prompt& prompt, GlView& view);

    GlWidget* gl = nullptr;  // owned by the frame
    std::unique_ptr<GlView> view;
    // While a model loads or an export runs, a paint shows the framebuffer
    // as it is: the model may be half-built, or the export frame must stay.
    // No command runs meanwhile.
    bool busy = false;
};

}  // namespace velmora
