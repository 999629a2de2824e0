#pragma once
// What the window shows before any model is opened: a red horizontal and a
// green vertical line crossing at the centre, on the viewing clear colour
// (the blue axis runs along the line of sight and shows as nothing).

#include "gl/GlSurface.h"
#include "platform/ProgramEnd.h"
#include "platform/Prompt.h"
#include "platform/Result.h"
#include "view/ViewerState.h"

namespace velmora {

class WelcomePicture {
public:
    // The surface, prompt and state must outlive the picture.
    WelcomePicture(GlSurface& surface, Prompt& prompt, ViewerState& state);

    // The first call sets the surface up as the view does (colour depth,
    // context, generator seed, lights, clear colour; no glyph lists) and
    // fails, drawing nothing, on an unusable surface; every call then clears
    // and draws the three axes with identity matrices, flushes and swaps.
    Result<void, ProgramEnd> draw();

private:
    GlSurface& surface_;
    Prompt& prompt_;
    ViewerState& state_;
    bool setUp_ = false;
};

}  // namespace velmora
