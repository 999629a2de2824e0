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
#include "hologram/NearZoneTable.h"
#include "hologram/PointKernel.h"
#include "hologram/RecordingLayers.h"
#include "platform/Result.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    PlanePoints points;  // nearest the hologram first; depth: distance to the hologram
    std::vector<std::vector<double, LargeAllocator<double>>> amplitudes;  // [channel][point]
    HologramSet frame;                            // channels without fields
};

// Reports what the computation is doing, one short sentence at a time.
using HologramProgress = std::function<void(const std::string&)>;

// sRGB-coded fraction to linear light.
double srgbToLinear(double coded);

Result<PlacedPoints> placePoints(const HologramPoints& input, const HologramSettings& settings);

// Whether every channel's hologram is kept until the end (and the
// reconstruction keeps each one's spectrum for refocusing), or each is
// written and dropped before the next: the memory asked for up front.
enum class MemoryUse { Kept, Streamed };

// The part of the hologram one transform computes: the transform's grid,
// where its first pixel lies on the hologram (in hologram pixels, negative
// in the padding) and the part of the grid that is kept. The whole
// hologram is the grid twice its size with the hologram in the middle.
struct HologramRegion {
    int gridWidth = 0;
    int gridHeight = 0;
    int left = 0;  // hologram column of the grid's column 0
    int top = 0;   // hologram row of the grid's row 0
    int cropLeft = 0;  // the kept part, in grid pixels
    int cropTop = 0;
    int width = 0;
    int height = 0;

    static HologramRegion whole(const HologramSettings& settings);
};

// Bytes the whole hologram's computation takes at its busiest, for `points`
// points and `channels` channels.
std::uint64_t hologramMemoryNeeded(const HologramSettings& settings, std::size_t channels, std::size_t points,
                                   MemoryUse use);

// Sides up to this are computed whole, larger ones only in tiles.
constexpr int kLargestWholeSide = 16384;
constexpr int kLargestTiledSide = 1000000;

// A computation in steps: the points placed and checked and the transform
// planned by start(), then one channel at a time, so that a caller can
// write a channel's files and drop its field before the next is computed.
class FourierTransform;

class HologramComputation {
public:
    // `cancel`, when given and set from another thread, ends the
    // computation early with kCancelled as the reason.
    static Result<std::unique_ptr<HologramComputation>> start(const HologramPoints& input,
                                                              const HologramSettings& settings,
                                                              const HologramProgress& progress = {},
                                                              const std::atomic<bool>* cancel = nullptr,
                                                              MemoryUse use = MemoryUse::Kept);
    ~HologramComputation();

    // Every channel, without fields.
    const HologramSet& frame() const { return placed_.frame; }
    Result<ComplexField> channel(std::size_t index);
    // Only the window's part of the channel's hologram; the transform is
    // planned for the window's grid.
    Result<ComplexField> channel(std::size_t index, const HologramRegion& window);
    // The same part where it was computed, in the transform's buffer (or a
    // field held for the direct method): no copy of a tile's size is made.
    // Valid until the next channel is computed or the transform released.
    Result<FieldRows> channelRows(std::size_t index, const HologramRegion& window);
    // The farthest distance, over every channel, from the hologram to the
    // plane the light starts from (a recording plane, or the farthest point).
    double farthestPlane() const;
    // Fails when no channel's light reached its hologram.
    Result<void> finish() const;
    // The padded transform, planned on first use after the direct method,
    // for the reconstruction to reuse.
    FourierTransform& transform();
    void releaseTransform();

private:
    HologramComputation(PlacedPoints placed, const HologramSettings& settings, const HologramProgress& progress,
                        const std::atomic<bool>* cancel);
    void say(const std::string& what) const;
    bool cancelled() const;
    void plan(int width, int height);
    void warnOfANearPlane() const;
    const PlanePoints& pointsOf(std::size_t channel, std::size_t begin, std::size_t end,
                                            double planeDistance, const HologramRegion& window);
    const std::vector<RecordingLayer>& layersOf(std::size_t channel) const;
    std::vector<RecordingLayer> splitIntoLayers(std::size_t channel) const;
    double nearRange(std::size_t channel) const;
    const NearZoneTable* nearZones(std::size_t channel);
    ComplexField summed(std::size_t channel, const HologramRegion& window);
    FieldRows recorded(std::size_t channel, const HologramRegion& window);

    PlacedPoints placed_;
    PlanePoints layerPoints_;
    HologramSettings settings_;
    HologramProgress progress_;
    const std::atomic<bool>* cancel_;
    std::unique_ptr<FourierTransform> fft_;
    ComplexField summedWindow_;  // the direct method's last window
    std::vector<std::optional<NearZoneTable>> nearZones_;  // per channel, made when first recorded
    mutable std::vector<std::optional<std::vector<RecordingLayer>>> layers_;  // per channel, when first asked for
    bool lit_ = false;
};

// All channels at once, kept.
Result<HologramSet> computeHolograms(const HologramPoints& input, const HologramSettings& settings,
                                     const HologramProgress& progress = {},
                                     const std::atomic<bool>* cancel = nullptr);

inline constexpr const char* kCancelled = "the computation was cancelled";

}  // namespace velmora
