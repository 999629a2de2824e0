#pragma once
// Reads back the frame just drawn on the current OpenGL context.

#include "export/SampledFrame.h"

namespace velmora {

class Prompt;

class SurfaceSampler {
public:
    // Reads the modelview and projection matrices and the viewport, then the
    // depth (floats) and the colour (RGB bytes) of the rectangle (0, 0,
    // sampled width, height), and reports any OpenGL error through `prompt`.
    // The pass goes on with whatever the buffers hold.
    static SampledFrame sample(const ClientRect& rect, Prompt& prompt);
};

}  // namespace velmora
