#include "hologram/HologramComputer.h"

#include "hologram/BandLimitedPropagator.h"
#include "hologram/FourierTransform.h"
#include "platform/MemoryBudget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>

namespace velmora {

namespace {

std::string millimetres(double metres) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3g mm", metres * 1e3);
    return text;
}

std::string number(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Every wavelength the points' holograms use.
std::vector<double> wavelengths(const HologramSettings& s, bool colour) {
    return colour ? std::vector<double>{s.red, s.green, s.blue} : std::vector<double>{s.grey};
}

// The recording plane must lie far enough from the nearest point for its
// zone to be kSmallestZone pixels wide at the shortest wavelength.
double smallestGap(const HologramSettings& s, bool colour) {
    const auto all = wavelengths(s, colour);
    return kSmallestZone * s.pitch / apertureSine(*std::min_element(all.begin(), all.end()), s.pitch);
}

Result<void> checkSettings(const HologramSettings& s, bool colour) {
    if (s.width < 2 || s.height < 2 || s.width > 16384 || s.height > 16384)
        return Result<void>::failure("the hologram size must be 2 to 16384 pixels each way");
    if (!(s.pitch > 0.0) || !(s.unit > 0.0) || !std::isfinite(s.pitch) || !std::isfinite(s.unit))
        return Result<void>::failure("the pixel pitch and the unit must be positive");
    if (s.holoFit && !(*s.holoFit > 0.0 && *s.holoFit <= 1.0))
        return Result<void>::failure("the fit fraction must be in (0, 1]");
    if (!(s.distance >= kNearestAllowed))
        return Result<void>::failure("the hologram would be " + millimetres(s.distance) +
                                     " from the nearest point; it must be at least " + millimetres(kNearestAllowed));
    if (s.recordingGap && !(*s.recordingGap < s.distance))
        return Result<void>::failure("the recording plane must lie between the object and the hologram");
    if (s.recordingGap && s.method == HologramMethod::RecordingPlane &&
        !(*s.recordingGap >= smallestGap(s, colour)))
        return Result<void>::failure(
            "the recording plane " + millimetres(*s.recordingGap) + " from the nearest point is " +
            (*s.recordingGap > 0.0 ? "too close to it for a hologram within 5 % of the direct sum"
                                   : "not in front of it") +
            "; at this pitch it must be at least " + millimetres(smallestGap(s, colour)));
    if (s.recordingZone < 1) return Result<void>::failure("the recording zone must be at least one pixel");
    return {};
}

Result<void> checkScale(const char* which, double scale) {
    if (std::isfinite(scale) && scale > 0.0) return {};
    return Result<void>::failure(std::string("the file's ") + which + " scale (" + number(scale) +
                                 ") must be a positive finite number");
}

// A length that overflowed, or came from one that did, is no length.
Result<void> checkLength(const char* what, double metres) {
    if (std::isfinite(metres)) return {};
    return Result<void>::failure(std::string(what) + " (" + number(metres) + " m) is not a finite length");
}

// Bytes at the busiest moment, in complex values (16 bytes) per hologram
// pixel for C channels. Computing: the transform's buffer and the padded
// plane (4 each), the channel's hologram and its cropped result (2) and the
// C - 1 channels before. Reconstructing: the C fields, their phase-only
// copies, the transform and a padded copy (4 each) and the intensities of
// the channels before (C - 1 halves). FFTW's planner and the points come on
// top, with a margin.
std::uint64_t memoryNeeded(const HologramSettings& s, std::size_t channels, std::size_t points) {
    const double c = static_cast<double>(channels);
    const double computing = s.method == HologramMethod::Direct ? c : 9.0 + c;
    const double reconstructing = s.reconstruct ? 2.0 * c + 8.0 + 0.5 * (c - 1.0) : 0.0;
    const double pixels = static_cast<double>(s.width) * s.height;
    const double bytes = 16.0 * pixels * std::max(computing, reconstructing) + points * (80.0 + 8.0 * c);
    return static_cast<std::uint64_t>(bytes * 1.125) + (std::uint64_t{64} << 20);
}

// A hologram with values that are no numbers shows nothing; it is never
// handed on as one.
Result<void> checkFinite(const HologramChannel& channel) {
    for (const auto& v : channel.field.values)
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag()))
            return Result<void>::failure("the " + channel.name +
                                         " hologram has values that are not finite numbers: the lengths are too "
                                         "large to compute with");
    return {};
}

// One dark channel is a colour (a red object has no blue), all of them dark
// is no hologram.
Result<void> checkLit(const HologramSet& set) {
    for (const auto& channel : set.channels)
        if (std::any_of(channel.field.values.begin(), channel.field.values.end(), [](auto v) { return v != 0.0; }))
            return {};
    return Result<void>::failure(
        std::string(set.channels.size() > 1 ? "every hologram" : "the hologram") +
        " came out blank: no point's light reaches it (points beside the grid can be fitted onto it)");
}

bool finite(const HologramPoint& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z) && std::isfinite(p.phase) &&
           std::isfinite(p.red) && std::isfinite(p.green) && std::isfinite(p.blue);
}

double fitUnit(const HologramPoints& input, const HologramSettings& s, double& unit) {
    double minX = std::numeric_limits<double>::max(), maxX = -minX, minY = minX, maxY = -minX;
    for (const auto& p : input.points) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    const double span = std::max(maxX - minX, maxY - minY) * input.scaleXy;
    if (span > 0.0) unit = *s.holoFit * std::min(s.width, s.height) * s.pitch / span;
    return span;
}

}  // namespace

double srgbToLinear(double coded) {
    const double c = std::clamp(coded, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Result<PlacedPoints> placePoints(const HologramPoints& input, const HologramSettings& s) {
    using Placed = Result<PlacedPoints>;
    if (auto checked = checkSettings(s, input.colour); !checked) return Placed::failure(checked.error());
    if (auto checked = checkScale("xy", input.scaleXy); !checked) return Placed::failure(checked.error());
    if (auto checked = checkScale("z", input.scaleZ); !checked) return Placed::failure(checked.error());
    if (input.points.empty()) return Placed::failure("there are no points: the frame is empty");
    for (std::size_t i = 0; i < input.points.size(); ++i)
        if (!finite(input.points[i]))
            return Placed::failure("point " + std::to_string(i) + " has a value that is not a number");
    double unit = s.unit;
    if (s.holoFit && !(fitUnit(input, s, unit) > 0.0))
        return Placed::failure("the points have no lateral extent to fit to the hologram");
    if (!(std::isfinite(unit) && unit > 0.0))
        return Placed::failure("the unit the fit gives (" + number(unit) + " m) is not a positive finite length");

    PlacedPoints placed;
    const double xyScale = input.scaleXy * unit, zScale = input.scaleZ * unit;
    double nearZ = -std::numeric_limits<double>::max(), farZ = -nearZ;
    for (const auto& p : input.points) nearZ = std::max(nearZ, p.z * zScale), farZ = std::min(farZ, p.z * zScale);
    const double hologramZ = nearZ + s.distance;
    for (const auto& [what, metres] : {std::pair{"the nearest point's depth", nearZ}, {"the farthest point's depth", farZ},
                                       {"the hologram plane's position", hologramZ},
                                       {"the farthest distance", hologramZ - farZ},
                                       {"the middle distance", 0.5 * (s.distance + (hologramZ - farZ))}})
        if (auto checked = checkLength(what, metres); !checked) return Placed::failure(checked.error());
    // Far enough from the origin, the distance vanishes in the rounding of the coordinates.
    if (!(std::abs(hologramZ - nearZ - s.distance) <= 1e-6 * s.distance))
        return Placed::failure("the points lie too far from the origin (" + number(nearZ) +
                               " m deep) to keep the hologram's distance");
    const std::size_t channels = input.colour ? 3 : 1;
    placed.amplitudes.assign(channels, std::vector<double>(input.points.size()));
    placed.points.reserve(input.points.size());
    for (std::size_t i = 0; i < input.points.size(); ++i) {
        const HologramPoint& p = input.points[i];
        placed.points.push_back({-p.x * xyScale, p.y * xyScale, hologramZ - p.z * zScale, 1.0, p.phase});
        const PlanePoint& q = placed.points.back();
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.depth))
            return Placed::failure("point " + std::to_string(i) + " lies too far away to place (" + number(q.x) +
                                   ", " + number(q.y) + " m across, " + number(q.depth) + " m deep)");
        const float colour[3] = {p.red, p.green, p.blue};
        for (std::size_t c = 0; c < channels; ++c)
            placed.amplitudes[c][i] = std::sqrt(srgbToLinear(input.colour ? colour[c] : p.green));
    }
    HologramSet& frame = placed.frame;
    frame.unit = unit;
    frame.nearestDistance = s.distance;
    frame.farthestDistance = hologramZ - farZ;
    frame.middleDistance = 0.5 * (frame.nearestDistance + frame.farthestDistance);
    if (input.colour)
        frame.channels = {{"red", s.red, {}}, {"green", s.green, {}}, {"blue", s.blue, {}}};
    else
        frame.channels = {{"grey", s.grey, {}}};
    return placed;
}

namespace {

Result<HologramSet> computePlaced(PlacedPoints& placed, const HologramSettings& s, const HologramProgress& progress,
                                  const std::atomic<bool>* cancel) {
    const auto say = [&](const std::string& what) {
        if (progress) progress(what);
    };
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    HologramSet set = placed.frame;
    std::vector<PlanePoint> points = placed.points;
    const bool direct = s.method == HologramMethod::Direct;
    std::unique_ptr<FourierTransform> fft;
    if (!direct) {
        say("planning the " + std::to_string(2 * s.width) + " x " + std::to_string(2 * s.height) + " transform");
        fft = std::make_unique<FourierTransform>(2 * s.width, 2 * s.height, s.planning, s.threads, s.wisdomFolder);
        if (!fft->wisdomWarning().empty()) say("warning: " + fft->wisdomWarning());
        // Near the hologram the default plane, halfway there, may be closer than accuracy allows.
        const double bound = smallestGap(s, set.channels.size() > 1);
        if (!s.recordingGap && 0.5 * s.distance < bound)
            say("warning: at " + millimetres(s.distance) + " the recording plane lies " +
                millimetres(0.5 * s.distance) + " from the object, closer than the " + millimetres(bound) +
                " that keeps the hologram within 5 % of the direct sum; --holo-method direct is exact");
    }
    for (std::size_t c = 0; c < set.channels.size(); ++c) {
        if (cancelled()) return Result<HologramSet>::failure(kCancelled);
        HologramChannel& channel = set.channels[c];
        // The recording plane's distance from the hologram.
        const double gap = s.recordingGap ? *s.recordingGap
                                          : std::min(0.5 * s.distance, s.recordingZone * s.pitch /
                                                                           apertureSine(channel.wavelength, s.pitch));
        const double planeDistance = s.distance - gap;
        if (auto checked = checkLength("the recording plane's distance", planeDistance); !checked)
            return Result<HologramSet>::failure(checked.error());
        for (std::size_t i = 0; i < points.size(); ++i) {
            points[i].amplitude = placed.amplitudes[c][i];
            points[i].depth = placed.points[i].depth - (direct ? 0.0 : planeDistance);
        }
        const KernelOptions kernel{channel.wavelength, s.taper, s.threads, direct, cancel};
        ComplexField hologram(s.width, s.height, s.pitch);
        if (direct) {
            say("summing " + std::to_string(points.size()) + " points onto the " + channel.name + " hologram");
            addPointField(hologram, points, kernel);
        } else {
            say("recording " + std::to_string(points.size()) + " points for the " + channel.name + " hologram");
            ComplexField plane = paddedGrid(hologram);
            addPointField(plane, points, kernel);
            say("propagating the " + channel.name + " field to the hologram");
            hologram = BandLimitedPropagator(*fft).propagateAndCrop(std::move(plane), channel.wavelength, planeDistance);
        }
        channel.field = std::move(hologram);
        if (cancelled()) break;
        if (auto checked = checkFinite(channel); !checked) return Result<HologramSet>::failure(checked.error());
    }
    // A computation stopped part-way leaves fields that are not holograms.
    if (cancelled()) return Result<HologramSet>::failure(kCancelled);
    if (auto checked = checkLit(set); !checked) return Result<HologramSet>::failure(checked.error());
    return set;
}

}  // namespace

Result<HologramSet> computeHolograms(const HologramPoints& input, const HologramSettings& s,
                                     const HologramProgress& progress, const std::atomic<bool>* cancel) {
    auto placed = placePoints(input, s);
    if (!placed) return Result<HologramSet>::failure(placed.error());
    const std::string size = std::to_string(s.width) + " x " + std::to_string(s.height);
    const auto needed = memoryNeeded(s, placed->frame.channels.size(), placed->points.size());
    if (auto shortfall = memoryShortfall(needed, s.memoryRoot))
        return Result<HologramSet>::failure("the " + size + " hologram " + *shortfall);
    try {
        return computePlaced(*placed, s, progress, cancel);
    } catch (const std::bad_alloc&) {
        return Result<HologramSet>::failure("there is not enough memory for the " + size + " hologram");
    } catch (const std::runtime_error& e) {
        return Result<HologramSet>::failure(e.what());
    }
}

}  // namespace velmora
