#include "hologram/HologramComputer.h"

#include "hologram/BandLimitedPropagator.h"
#include "hologram/FourierTransform.h"
#include "hologram/RecordingLayers.h"
#include "hologram/RowBands.h"
#include "platform/MemoryBudget.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

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
    const int largest = s.tiled ? kLargestTiledSide : kLargestWholeSide;
    if (s.width < 2 || s.height < 2 || s.width > largest || s.height > largest)
        return Result<void>::failure("the hologram size must be 2 to " + std::to_string(largest) +
                                     " pixels each way" +
                                     (s.tiled ? "" : "; velmora-holo computes larger ones in tiles"));
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

// Bytes at the busiest moment, per hologram pixel for C channels, in
// single precision (8 bytes a complex value). Computing: the padded
// transform's buffer (32) and the channels' holograms (8 each when all are
// kept, the one being written and its grey levels when streamed).
// Reconstructing, when kept: the holograms, the transform, each channel's
// padded spectrum (32), the intensities and their sorted copy (8) and the
// picture (3); streamed: the transform, the hologram and its levels and
// one intensity per channel. The points and a margin come on top.
}  // namespace

std::uint64_t hologramMemoryNeeded(const HologramSettings& s, std::size_t channels, std::size_t points,
                                   MemoryUse use) {
    const double c = static_cast<double>(channels);
    const bool kept = use == MemoryUse::Kept;
    const double transform = s.method == HologramMethod::Direct ? 0.0 : 32.0;
    const double computing = transform + (kept ? 8.0 * c : 9.0);
    const double reconstructing = !s.reconstruct ? 0.0 : kept ? 35.0 + 48.0 * c : 41.0 + 4.0 * c;
    const double pixels = static_cast<double>(s.width) * s.height;
    const double bytes = pixels * std::max(computing, reconstructing) + points * (96.0 + 8.0 * c);
    return static_cast<std::uint64_t>(bytes * 1.125) + (std::uint64_t{64} << 20);
}

namespace {

// A tile's grid cuts the zones of points near its edges, and a hard cut
// diffracts: its light spreads far past the reach, onto the tile, where the
// whole hologram has none of it. Light from the outer half of the margin
// cannot reach the tile along its rays, so the recorded field fades to zero
// there smoothly, and what diffracts from the fade stays off the tile.
std::vector<float> edgeFade(int size, int first, int width, int margin) {
    std::vector<float> weights(static_cast<std::size_t>(size), 1.0f);
    const double half = 0.5 * margin;
    if (half < 1.0) return weights;
    for (int i = 0; i < size; ++i) {
        const double beyond = std::max(first - i, i - (first + width - 1)) - half;
        const double t = std::clamp(1.0 - beyond / half, 0.0, 1.0);
        weights[static_cast<std::size_t>(i)] = static_cast<float>(t * t * (3.0 - 2.0 * t));
    }
    return weights;
}

void fadeTileEdges(Complex* grid, const HologramRegion& w, int threads) {
    const auto columns = edgeFade(w.gridWidth, w.cropLeft, w.width, w.cropLeft);
    const auto rows = edgeFade(w.gridHeight, w.cropTop, w.height, w.cropTop);
    runInBands(w.gridHeight, rowBands(threads, w.gridHeight), [&](int first, int end) {
        const float* across = columns.data();
        for (int row = first; row < end; ++row) {
            Complex* line = grid + static_cast<std::size_t>(row) * w.gridWidth;
            const float down = rows[static_cast<std::size_t>(row)];
            for (int i = 0; i < w.gridWidth; ++i) line[i] *= down * across[i];
        }
    });
}

// A hologram with values that are no numbers shows nothing; it is never
// handed on as one.
Result<void> checkFinite(const std::string& name, const FieldRows& rows) {
    for (int row = 0; row < rows.height; ++row)
        for (const Complex* v = rows.row(row); v != rows.row(row) + rows.width; ++v)
            if (!std::isfinite(v->real()) || !std::isfinite(v->imag()))
                return Result<void>::failure("the " + name +
                                             " hologram has values that are not finite numbers: the lengths are too "
                                             "large to compute with");
    return {};
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

using DistanceOrder = std::vector<std::pair<double, std::uint32_t>, LargeAllocator<std::pair<double, std::uint32_t>>>;

// By distance, equal ones in the order given: a least-significant-digit
// radix sort on the distances' bits (positive doubles order as their bit
// patterns do), skipping the digits all of them share. At millions of
// points a comparison sort takes a good part of a second.
void sortByDistance(DistanceOrder& order) {
    constexpr int kDigitBits = 11, kBuckets = 1 << kDigitBits;
    const auto keyOf = [](double distance) {
        std::uint64_t bits;
        std::memcpy(&bits, &distance, sizeof bits);
        return bits;
    };
    DistanceOrder other(order.size());
    std::vector<std::size_t> counts(kBuckets);
    for (int shift = 0; shift < 64; shift += kDigitBits) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const auto& entry : order) ++counts[(keyOf(entry.first) >> shift) & (kBuckets - 1)];
        if (std::find(counts.begin(), counts.end(), order.size()) != counts.end()) continue;
        std::size_t start = 0;
        for (auto& count : counts) start += std::exchange(count, start);
        for (const auto& entry : order) other[counts[(keyOf(entry.first) >> shift) & (kBuckets - 1)]++] = entry;
        order.swap(other);
    }
}

// The amplitude of a coded colour, sqrt(srgbToLinear). Colours mostly come
// from 8-bit pictures: those 256 are worked out once, every other value
// (and any float that is not exactly k / 255) as it comes.
class SrgbAmplitudes {
public:
    SrgbAmplitudes() {
        for (int k = 0; k < 256; ++k) {
            keys_[k] = static_cast<float>(k / 255.0);  // as the point files' reader makes them
            values_[k] = std::sqrt(srgbToLinear(keys_[k]));
        }
    }
    double operator()(float coded) const {
        if (coded >= 0.0f && coded <= 1.0f) {
            const int k = static_cast<int>(coded * 255.0f + 0.5f);
            if (keys_[k] == coded) return values_[k];
        }
        return std::sqrt(srgbToLinear(coded));
    }

private:
    float keys_[256];
    double values_[256];
};

}  // namespace

double srgbToLinear(double coded) {
    const double c = std::clamp(coded, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

Result<PlacedPoints> placePoints(const HologramPoints& input, const HologramSettings& s) {
    using Placed = Result<PlacedPoints>;
    const SrgbAmplitudes amplitude;
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
    // Placed nearest the hologram first, so that every layer reads its
    // points in the order they lie in memory. Sorted side by side with their
    // indices (equal distances keep the file's order), which reads memory in
    // order where an index sort would not. Distances are positive: the
    // hologram lies beyond the nearest point.
    DistanceOrder order(input.points.size());
    for (std::size_t i = 0; i < input.points.size(); ++i) {
        const HologramPoint& p = input.points[i];
        const PlanePoint q{-p.x * xyScale, p.y * xyScale, hologramZ - p.z * zScale, 1.0, p.phase};
        if (!std::isfinite(q.x) || !std::isfinite(q.y) || !std::isfinite(q.depth))
            return Placed::failure("point " + std::to_string(i) + " lies too far away to place (" + number(q.x) +
                                   ", " + number(q.y) + " m across, " + number(q.depth) + " m deep)");
        order[i] = {q.depth, static_cast<std::uint32_t>(i)};
    }
    sortByDistance(order);
    const std::size_t channels = input.colour ? 3 : 1;
    placed.amplitudes.assign(channels, std::vector<double, LargeAllocator<double>>(input.points.size()));
    placed.points.resize(input.points.size());
    // The gather jumps about the file's points: fetched ahead, the misses overlap.
    constexpr std::size_t kAhead = 16;
    for (std::size_t k = 0; k < order.size(); ++k) {
        if (k + kAhead < order.size()) __builtin_prefetch(&input.points[order[k + kAhead].second]);
        const HologramPoint& p = input.points[order[k].second];
        placed.points[k] = {-p.x * xyScale, p.y * xyScale, order[k].first, 1.0, p.phase};
        const float colour[3] = {p.red, p.green, p.blue};
        for (std::size_t c = 0; c < channels; ++c) placed.amplitudes[c][k] = amplitude(input.colour ? colour[c] : p.green);
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

HologramComputation::HologramComputation(PlacedPoints placed, const HologramSettings& settings,
                                         const HologramProgress& progress, const std::atomic<bool>* cancel)
    : placed_(std::move(placed)), settings_(settings), progress_(progress), cancel_(cancel) {}

HologramComputation::~HologramComputation() = default;

void HologramComputation::say(const std::string& what) const {
    if (progress_) progress_(what);
}

bool HologramComputation::cancelled() const { return cancel_ && cancel_->load(std::memory_order_relaxed); }

Result<std::unique_ptr<HologramComputation>> HologramComputation::start(const HologramPoints& input,
                                                                        const HologramSettings& s,
                                                                        const HologramProgress& progress,
                                                                        const std::atomic<bool>* cancel,
                                                                        MemoryUse use) {
    using Started = Result<std::unique_ptr<HologramComputation>>;
    auto placed = placePoints(input, s);
    if (!placed) return Started::failure(placed.error());
    const std::string size = std::to_string(s.width) + " x " + std::to_string(s.height);
    // Tiles weigh their own memory against the budget they were sized for.
    const auto needed = hologramMemoryNeeded(s, placed->frame.channels.size(), placed->points.size(), use);
    if (auto shortfall = s.tiled ? std::nullopt : memoryShortfall(needed, s.memoryRoot))
        return Started::failure("the " + size + " hologram " + *shortfall);
    try {
        std::unique_ptr<HologramComputation> computation(
            new HologramComputation(std::move(*placed), s, progress, cancel));
        if (s.method == HologramMethod::RecordingPlane) {
            if (!s.tiled) computation->plan(2 * s.width, 2 * s.height);
            computation->warnOfANearPlane();
        }
        if (computation->cancelled()) return Started::failure(kCancelled);
        return Started(std::move(computation));
    } catch (const std::bad_alloc&) {
        return Started::failure("there is not enough memory for the " + size + " hologram");
    } catch (const std::runtime_error& e) {
        return Started::failure(e.what());
    }
}

void HologramComputation::releaseTransform() { fft_.reset(); }

FourierTransform& HologramComputation::transform() {
    if (!fft_ || fft_->width() != 2 * settings_.width || fft_->height() != 2 * settings_.height)
        plan(2 * settings_.width, 2 * settings_.height);
    return *fft_;
}

void HologramComputation::plan(int width, int height) {
    const HologramSettings& s = settings_;
    // The old transform is freed before the new one's buffer is taken.
    fft_.reset();
    const bool known = FourierTransform::planKnown(width, height, s.planning, s.threads, s.wisdomFolder);
    say("planning the " + std::to_string(width) + " x " + std::to_string(height) + " transform" +
        (known ? "" : " (a size new to this machine: measured once, for at most " +
                          std::to_string(static_cast<int>(kPlanningSeconds)) + " s)"));
    fft_ = std::make_unique<FourierTransform>(width, height, s.planning, s.threads, s.wisdomFolder);
    if (!fft_->wisdomWarning().empty()) say("warning: " + fft_->wisdomWarning());
}

// Near the hologram the default plane, halfway there, may be closer than accuracy allows.
void HologramComputation::warnOfANearPlane() const {
    const HologramSettings& s = settings_;
    const double bound = smallestGap(s, placed_.frame.channels.size() > 1);
    bool tabulated = true;
    for (std::size_t c = 0; c < placed_.frame.channels.size(); ++c) tabulated = tabulated && nearRange(c) > 0.0;
    if (!s.recordingGap && !tabulated && 0.5 * s.distance < bound)
        say("warning: at " + millimetres(s.distance) + " the recording plane lies " + millimetres(0.5 * s.distance) +
            " from the object, closer than the " + millimetres(bound) +
            " that keeps the hologram within 5 % of the direct sum; --holo-method direct is exact");
}

HologramRegion HologramRegion::whole(const HologramSettings& s) {
    return {2 * s.width, 2 * s.height, -(s.width / 2), -(s.height / 2), s.width / 2, s.height / 2, s.width, s.height};
}

Result<ComplexField> HologramComputation::channel(std::size_t c) { return channel(c, HologramRegion::whole(settings_)); }

Result<ComplexField> HologramComputation::channel(std::size_t c, const HologramRegion& w) {
    using Field = Result<ComplexField>;
    const auto rows = channelRows(c, w);
    if (!rows) return Field::failure(rows.error());
    if (settings_.method == HologramMethod::Direct) return std::move(summedWindow_);
    try {
        ComplexField hologram(w.width, w.height, settings_.pitch);
        hologram.originColumn = 0.5 * (settings_.width - 1) - (w.left + w.cropLeft);
        hologram.originRow = 0.5 * (settings_.height - 1) - (w.top + w.cropTop);
        for (int row = 0; row < w.height; ++row) std::copy_n(rows->row(row), w.width, &hologram.at(0, row));
        return hologram;
    } catch (const std::bad_alloc&) {
        return Field::failure("there is not enough memory for the " + placed_.frame.channels[c].name + " hologram");
    }
}

Result<FieldRows> HologramComputation::channelRows(std::size_t c, const HologramRegion& window) {
    using Rows = Result<FieldRows>;
    if (cancelled()) return Rows::failure(kCancelled);
    const HologramChannel& channel = placed_.frame.channels[c];
    try {
        FieldRows rows;
        if (settings_.method == HologramMethod::Direct) {
            summedWindow_ = summed(c, window);
            rows = FieldRows::of(summedWindow_);
        } else {
            rows = recorded(c, window);
        }
        if (cancelled()) return Rows::failure(kCancelled);
        if (auto checked = checkFinite(channel.name, rows); !checked) return Rows::failure(checked.error());
        for (int row = 0; row < rows.height && !lit_; ++row)
            lit_ = std::any_of(rows.row(row), rows.row(row) + rows.width, [](Complex v) { return v != Complex{}; });
        return rows;
    } catch (const std::bad_alloc&) {
        return Rows::failure("there is not enough memory for the " + channel.name + " hologram");
    }
}

// A point whose zone lies wholly outside the window's grid adds nothing to it.
const PlanePoints& HologramComputation::pointsOf(std::size_t c, std::size_t begin, std::size_t end,
                                                             double planeDistance, const HologramRegion& w) {
    const HologramSettings& s = settings_;
    const double sine = apertureSine(placed_.frame.channels[c].wavelength, s.pitch);
    const double reach = sine / std::sqrt(1.0 - sine * sine);
    // The grid's edges in metres, a pixel wider each way.
    const double left = (w.left - 0.5 * (s.width - 1) - 1.0) * s.pitch;
    const double right = (w.left + w.gridWidth - 0.5 * (s.width - 1)) * s.pitch;
    const double top = (0.5 * (s.height - 1) - w.top + 1.0) * s.pitch;
    const double bottom = (0.5 * (s.height - 1) - w.top - w.gridHeight) * s.pitch;
    // One buffer for every layer and channel: the pages are touched once.
    PlanePoints& points = layerPoints_;
    points.clear();
    points.reserve(end - begin);
    const auto& amplitudes = placed_.amplitudes[c];
    for (std::size_t i = begin; i < end; ++i) {
        PlanePoint p = placed_.points[i];
        p.amplitude = amplitudes[i];
        p.depth -= planeDistance;
        const double half = reach * std::max(std::fabs(p.depth), s.pitch / sine) + kNearZoneTail * s.pitch;
        if (p.x + half < left || p.x - half > right || p.y + half < bottom || p.y - half > top) continue;
        points.push_back(p);
    }
    return points;
}

ComplexField HologramComputation::summed(std::size_t c, const HologramRegion& w) {
    const HologramChannel& channel = placed_.frame.channels[c];
    say("summing " + std::to_string(placed_.points.size()) + " points onto the " + channel.name + " hologram");
    ComplexField hologram(w.width, w.height, settings_.pitch);
    hologram.originColumn = 0.5 * (settings_.width - 1) - (w.left + w.cropLeft);
    hologram.originRow = 0.5 * (settings_.height - 1) - (w.top + w.cropTop);
    addPointField(hologram, pointsOf(c, 0, placed_.points.size(), 0.0, w),
                  {channel.wavelength, settings_.taper, settings_.threads, true, cancel_});
    return hologram;
}

// The layers depend on the whole hologram only, so that every window of it
// records the same planes; worked out once per channel, not once per tile.
const std::vector<RecordingLayer>& HologramComputation::layersOf(std::size_t c) const {
    if (layers_.size() != placed_.frame.channels.size()) layers_.resize(placed_.frame.channels.size());
    if (!layers_[c]) layers_[c] = splitIntoLayers(c);
    return *layers_[c];
}

std::vector<RecordingLayer> HologramComputation::splitIntoLayers(std::size_t c) const {
    const HologramSettings& s = settings_;
    const HologramChannel& channel = placed_.frame.channels[c];
    const double sine = apertureSine(channel.wavelength, s.pitch);
    const double zoneGap = s.recordingZone * s.pitch / sine;
    const double gap = s.recordingGap ? *s.recordingGap : std::min(0.5 * s.distance, zoneGap);
    std::vector<double> distances(placed_.points.size());
    for (std::size_t i = 0; i < distances.size(); ++i) distances[i] = placed_.points[i].depth;
    const double gridPixels = 4.0 * s.width * s.height;
    // A gap given is the one plane's: its accuracy bound holds for one plane.
    if (s.recordingGap) return {{0, distances.size(), distances.front() - gap}};
    return recordingLayers(distances, {gap, std::max(gap, zoneGap), s.pitch, sine, channel.wavelength, gridPixels,
                                       s.width * s.pitch, s.height * s.pitch, nearRange(c)});
}

// Out to the depth where a zone drawn from the wave is wide enough to be
// accurate, points come from the near-zone table, where it holds.
double HologramComputation::nearRange(std::size_t c) const {
    const double wavelength = placed_.frame.channels[c].wavelength, pitch = settings_.pitch;
    const double range = settings_.recordingZone * pitch / apertureSine(wavelength, pitch);
    return NearZoneTable::holds(wavelength, pitch, range) ? range : 0.0;
}

const NearZoneTable* HologramComputation::nearZones(std::size_t c) {
    if (nearZones_.size() != placed_.frame.channels.size()) nearZones_.resize(placed_.frame.channels.size());
    if (!nearZones_[c])
        nearZones_[c] = NearZoneTable::make(placed_.frame.channels[c].wavelength, settings_.pitch, settings_.taper,
                                            nearRange(c), settings_.threads);
    return nearZones_[c] ? &*nearZones_[c] : nullptr;
}

double HologramComputation::farthestPlane() const {
    if (settings_.method == HologramMethod::Direct) return placed_.frame.farthestDistance;
    double farthest = 0.0;
    for (std::size_t c = 0; c < placed_.frame.channels.size(); ++c) {
        const auto& layers = layersOf(c);
        if (!layers.empty()) farthest = std::max(farthest, layers.back().distance);
    }
    return farthest;
}

// The layers of the channel's points, from the farthest, each recorded into
// the field carried from the one behind it, then carried on to the next.
FieldRows HologramComputation::recorded(std::size_t c, const HologramRegion& w) {
    const HologramSettings& s = settings_;
    const HologramChannel& channel = placed_.frame.channels[c];
    const auto& layers = layersOf(c);
    say("recording " + std::to_string(placed_.points.size()) + " points for the " + channel.name + " hologram" +
        (layers.size() > 1 ? " on " + std::to_string(layers.size()) + " planes" : ""));
    if (!fft_ || fft_->width() != w.gridWidth || fft_->height() != w.gridHeight) plan(w.gridWidth, w.gridHeight);
    ComplexField geometry(0, 0, s.pitch);
    geometry.width = w.gridWidth, geometry.height = w.gridHeight;
    geometry.originColumn = 0.5 * (s.width - 1) - w.left;
    geometry.originRow = 0.5 * (s.height - 1) - w.top;
    PlaneView plane = PlaneView::of(geometry);
    plane.values = fft_->data();
    std::fill(fft_->data(), fft_->data() + static_cast<std::size_t>(w.gridWidth) * w.gridHeight, Complex{});
    BandLimitedPropagator propagator(*fft_, s.threads);
    KernelOptions kernel{channel.wavelength, s.taper, s.threads, false, cancel_};
    kernel.nearZones = nearZones(c);
    kernel.coneHalfWidth = 0.5 * s.width * s.pitch, kernel.coneHalfHeight = 0.5 * s.height * s.pitch;
    // Every window keeps the band the whole hologram's padded grid lets
    // through, so that tiles agree with the whole. A window's grid, smaller
    // than that, still carries it without wrapping light round: the light
    // in the band travels at most the reach D tan(theta) sideways, and a
    // tile's grid is the tile grown by at least that on every side.
    const BandGrid band{2 * s.width, 2 * s.height};
    for (std::size_t l = layers.size(); l-- > 0;) {
        const RecordingLayer& layer = layers[l];
        kernel.coneDistance = layer.distance;
        addPointField(plane, pointsOf(c, layer.begin, layer.end, layer.distance, w), kernel);
        if (cancelled()) break;
        if (s.tiled) fadeTileEdges(fft_->data(), w, s.threads);
        const double next = l > 0 ? layers[l - 1].distance : 0.0;
        if (l == 0) say("propagating the " + channel.name + " field to the hologram");
        propagator.propagateBuffer(s.pitch, channel.wavelength, layer.distance - next, layer.distance, band);
    }
    const std::size_t stride = static_cast<std::size_t>(w.gridWidth);
    return {fft_->data() + stride * static_cast<std::size_t>(w.cropTop) + static_cast<std::size_t>(w.cropLeft), stride,
            w.width, w.height};
}

// One dark channel is a colour (a red object has no blue), all of them dark
// is no hologram.
Result<void> HologramComputation::finish() const {
    if (lit_) return {};
    return Result<void>::failure(
        std::string(placed_.frame.channels.size() > 1 ? "every hologram" : "the hologram") +
        " came out blank: no point's light reaches it (points beside the grid can be fitted onto it)");
}

Result<HologramSet> computeHolograms(const HologramPoints& input, const HologramSettings& s,
                                     const HologramProgress& progress, const std::atomic<bool>* cancel) {
    auto computation = HologramComputation::start(input, s, progress, cancel);
    if (!computation) return Result<HologramSet>::failure(computation.error());
    HologramSet set = (*computation)->frame();
    for (std::size_t c = 0; c < set.channels.size(); ++c) {
        auto field = (*computation)->channel(c);
        if (!field) return Result<HologramSet>::failure(field.error());
        set.channels[c].field = std::move(*field);
    }
    if (auto finished = (*computation)->finish(); !finished) return Result<HologramSet>::failure(finished.error());
    return set;
}

}  // namespace velmora
