#pragma once
// The points a hologram is computed from, as the point files carry them:
// model units, x with the sign the files give it (the inverted world x),
// the point's own phase in radians and its colour as sRGB fractions.

#include <vector>

namespace velmora {

struct HologramPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double phase = 0.0;
    // sRGB-coded fractions 0..1; a grey point carries its level in all three.
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
};

struct HologramPoints {
    std::vector<HologramPoint> points;
    bool colour = true;  // false: one grey hologram
    // The output scales a CGH header carries; PLY files carry none (1, 1).
    float scaleXy = 1.0f;
    float scaleZ = 1.0f;
};

}  // namespace velmora
