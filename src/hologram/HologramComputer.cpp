#include "hologram/HologramComputer.h"

#include "hologram/BandLimitedPropagator.h"
#include "hologram/FourierTransform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace velmora {

namespace {

std::string millimetres(double metres) {
    char text[64];
    std::snprintf(text, sizeof text, "%.3g mm", metres * 1e3);
    return text;
}

std::optional<std::string> checkSettings(const HologramSettings& s) {
    if (s.width < 2 || s.height < 2 || s.width > 16384 || s.height > 16384)
        return "the hologram size must be 2 to 16384 pixels each way";
    if (!(s.pitch > 0.0) || !(s.unit > 0.0) || !std::isfinite(s.pitch) || !std::isfinite(s.unit))
        return "the pixel pitch and the unit must be positive";
    if (s.holoFit && !(*s.holoFit > 0.0 && *s.holoFit <= 1.0)) return "the fit fraction must be in (0, 1]";
    if (!(s.distance >= kNearestAllowed))
        return "the hologram would be " + millimetres(s.distance) + " from the nearest point; it must be at least " +
               millimetres(kNearestAllowed);
    if (s.recordingGap && !(*s.recordingGap < s.distance))
        return "the recording plane must lie between the object and the hologram";
    if (s.recordingZone < 1) return "the recording zone must be at least one pixel";
    return std::nullopt;
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
    if (auto bad = checkSettings(s)) return Result<PlacedPoints>::failure(*bad);
    if (input.points.empty()) return Result<PlacedPoints>::failure("there are no points: the frame is empty");
    for (std::size_t i = 0; i < input.points.size(); ++i)
        if (!finite(input.points[i]))
            return Result<PlacedPoints>::failure("point " + std::to_string(i) + " has a value that is not a number");
    double unit = s.unit;
    if (s.holoFit && !(fitUnit(input, s, unit) > 0.0))
        return Result<PlacedPoints>::failure("the points have no lateral extent to fit to the hologram");

    PlacedPoints placed;
    const double xyScale = input.scaleXy * unit, zScale = input.scaleZ * unit;
    double nearZ = -std::numeric_limits<double>::max(), farZ = -nearZ;
    for (const auto& p : input.points) nearZ = std::max(nearZ, p.z * zScale), farZ = std::min(farZ, p.z * zScale);
    const double hologramZ = nearZ + s.distance;
    const std::size_t channels = input.colour ? 3 : 1;
    placed.amplitudes.assign(channels, std::vector<double>(input.points.size()));
    placed.points.reserve(input.points.size());
    for (std::size_t i = 0; i < input.points.size(); ++i) {
        const HologramPoint& p = input.points[i];
        placed.points.push_back({-p.x * xyScale, p.y * xyScale, hologramZ - p.z * zScale, 1.0, p.phase});
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

Result<HologramSet> computeHolograms(const HologramPoints& input, const HologramSettings& s,
                                     const HologramProgress& progress, const std::atomic<bool>* cancel) {
    auto placed = placePoints(input, s);
    if (!placed) return Result<HologramSet>::failure(placed.error());
    const auto say = [&](const std::string& what) {
        if (progress) progress(what);
    };
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    HologramSet set = placed->frame;
    std::vector<PlanePoint> points = placed->points;
    const bool direct = s.method == HologramMethod::Direct;
    std::unique_ptr<FourierTransform> fft;
    if (!direct) {
        say("planning the " + std::to_string(2 * s.width) + " x " + std::to_string(2 * s.height) + " transform");
        fft = std::make_unique<FourierTransform>(2 * s.width, 2 * s.height, s.planning, s.threads, s.wisdomFolder);
    }
    for (std::size_t c = 0; c < set.channels.size(); ++c) {
        if (cancelled()) return Result<HologramSet>::failure(kCancelled);
        HologramChannel& channel = set.channels[c];
        // The recording plane's distance from the hologram.
        const double gap = s.recordingGap ? *s.recordingGap
                                          : std::min(0.5 * s.distance, s.recordingZone * s.pitch /
                                                                           apertureSine(channel.wavelength, s.pitch));
        const double planeDistance = s.distance - gap;
        for (std::size_t i = 0; i < points.size(); ++i) {
            points[i].amplitude = placed->amplitudes[c][i];
            points[i].depth = placed->points[i].depth - (direct ? 0.0 : planeDistance);
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
    }
    // A computation stopped part-way leaves fields that are not holograms.
    if (cancelled()) return Result<HologramSet>::failure(kCancelled);
    return set;
}

}  // namespace velmora
