#pragma once
// Points in, one complex hologram per wavelength out.
//
// Placement: a file point (x, y, z) sits at X = -x * scaleXy * unit (the
// files carry the inverted world x; undoing it shows the model the way the
// frame does), Y = y * scaleXy * unit, Z = z * scaleZ * unit, the light
// travelling towards +Z. The hologram plane lies `distance` beyond the
// nearest (largest Z) point, its axis at X = Y = 0.
//
// Colour: 638, 520 and 450 nm (by default) share the points' phases; each
// point's amplitude is the square root of its linear colour (sRGB decoded
// with the IEC 61966-2-1 piecewise curve), so intensity follows the colour.
// Grey: one hologram at 532 nm from the grey level the same way.

#include "hologram/ComplexField.h"
#include "hologram/HologramPoints.h"
#include "hologram/HologramSettings.h"
#include "hologram/PointKernel.h"
#include "platform/Result.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace velmora {

struct HologramChannel {
    std::string name;  // "red", "green", "blue" or "grey"
    double wavelength = 0.0;
    ComplexField field;
};

struct HologramSet {
    std::vector<HologramChannel> channels;
    double unit = 0.0;           // metres per model unit used
    double nearestDistance = 0;  // from the hologram to the nearest point
    double middleDistance = 0;   // to the middle of the object's depth
    double farthestDistance = 0;
};

// The points in the hologram's frame, one amplitude per channel.
struct PlacedPoints {
    std::vector<PlanePoint> points;  // depth: distance to the hologram
    std::vector<std::vector<double>> amplitudes;  // [channel][point]
    HologramSet frame;                            // channels without fields
};

// Reports what the computation is doing, one short sentence at a time.
using HologramProgress = std::function<void(const std::string&)>;

// sRGB-coded fraction to linear light.
double srgbToLinear(double coded);

Result<PlacedPoints> placePoints(const HologramPoints& input, const HologramSettings& settings);

// `cancel`, when given and set from another thread, ends the computation
// early with kCancelled as the reason.
Result<HologramSet> computeHolograms(const HologramPoints& input, const HologramSettings& settings,
                                     const HologramProgress& progress = {},
                                     const std::atomic<bool>* cancel = nullptr);

inline constexpr const char* kCancelled = "the computation was cancelled";

}  // namespace velmora
