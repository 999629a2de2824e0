#include "app/FrameView.h"

#include "platform/FatalExit.h"

#include <optional>

namespace velmora {

ClientRect FrameView::clientRect() const {
    GlSurface& surface = gl->surface();
    return ClientRect::ofSize(surface.width(), surface.height());
}

void FrameView::setEye(float x, float y, float z) const {
    view->setEye(x, y, z);
}

bool FrameView::loadModel(ViewerState& state, Prompt& prompt) const {
    const ModelLoad result = view->loadModel(state.modelPath, state.forceTwoSided);
    if (result == ModelLoad::OutOfMemory) retryVertexArray(prompt, *view);
    return result != ModelLoad::Unreadable;
}

void FrameView::retryVertexArray(Prompt& prompt, GlView& view) {
    do {
        const PromptAnswer answer =
            prompt.show(kVertexArrayFailedText, std::nullopt, PromptIcon::Question, PromptButtons::RetryCancel);
        if (answer == PromptAnswer::Cancel) fatalExit(0);
    } while (!view.recompileModel());
}

}  // namespace velmora
