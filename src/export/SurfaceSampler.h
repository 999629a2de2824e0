#pragma once
// Reads back the frame just drawn on the current OpenGL context.

#include "pointfile/SampledFrame.h"

namespace velmora {

class Prompt;

class SurfaceSampler {
public:
    // Reads the modelview and projection matrices and the viewport, then the
    // depth (floats) and the colour (RGB bytes) of the rectangle (0, 0,
    // sampled width, height), and reports any OpenGL error through `prompt`.
    // The pass goes on with whatever the buffers hold.
    static SampledFrame sample(const ClientRect& rect, Prompt& prompt);
    // A frame of buffers already read, unprojected as OpenGL's utility
    // library does.
    static SampledFrame frameOf(const ClientRect& rect, std::vector<float> depth, std::vector<std::uint8_t> colour,
                                const FrameMatrices& matrices);
};

}  // namespace velmora
