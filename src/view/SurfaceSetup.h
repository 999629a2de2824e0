#pragma once
// The OpenGL set-up that the view and the welcome picture share.

#include "gl/GlSurface.h"
#include "platform/ProgramEnd.h"
#include "platform/Prompt.h"
#include "platform/Result.h"
#include "view/ViewerState.h"

namespace velmora {

// In this order: checks the colour depth, makes the surface's context
// current and checks that its framebuffer has a depth buffer, reserves 256
// glyph list names into `fontListBase` (when given), seeds the generator from
// the clock, hands the light and front-material values to OpenGL and sets
// the viewing clear colour. A surface that cannot be used is told in one box
// and fails with the status the program ends with; nothing after that box is
// set up.
Result<void, ProgramEnd> setUpSurface(GlSurface& surface, Prompt& prompt, ViewerState& state, unsigned* fontListBase);

}  // namespace velmora
