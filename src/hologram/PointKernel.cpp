#include "hologram/PointKernel.h"

#include "hologram/NearZoneTable.h"
#include "hologram/Phasor.h"
#include "hologram/RowBands.h"
#include "hologram/WideClones.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>

namespace velmora {

namespace {


// The separable zone's largest phase error, at the zone's corners (where
// the fade has already taken the amplitude to zero): k d sin^4 / 4.
constexpr double kSeparableError = 0.1;

// The fade beyond the part of a zone that meets the hologram: a fifth of
// that part's width, and at least a few pixels, so that the zone's edge
// diffracts little light onto the hologram.
constexpr double kConeFade = 0.2;
constexpr double kConeFadePixels = 4.0;

// 1 inside, 0 outside, smooth over the outer taper of the zone.
inline double fade(double u, double invTaper) {
    double t = (1.0 - u) * invTaper;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    return t * t * (3.0 - 2.0 * t);
}

// Kept whole so the loops that call it vectorise it as one square root
// and one division.
inline double invRoot(double x) { return 1.0 / std::sqrt(x); }

constexpr double kUnbounded = 1e300;

// 0 below `from`, 1 from `from + 1 / invWidth` on, smooth between.
inline double rise(double t, double from, double invWidth) {
    double u = (t - from) * invWidth;
    u = u < 0.0 ? 0.0 : (u > 1.0 ? 1.0 : u);
    return u * u * (3.0 - 2.0 * u);
}

struct Zone {
    double x = 0.0, y = 0.0;  // the point, in the plane's frame
    double depth = 0.0;       // at least the grid's smallest
    double k = 0.0;           // negative on the far side: the converging wave
    double amplitude = 0.0;   // negated on the far side
    double phase = 0.0;
    double invSine = 0.0, invTaper = 0.0;
    // Offsets from the point, per axis (x, y), between which its light
    // reaches the hologram, and the width of the fade beyond them.
    double coneLow[2] = {-kUnbounded, -kUnbounded};
    double coneHigh[2] = {kUnbounded, kUnbounded};
    double coneFade[2] = {1.0, 1.0};
    // Drawn from the near-zone table, `halfWidth` pixels each side, at the
    // signed depth `nearDepth`.
    bool near = false;
    double halfWidth = 0.0;
    double nearDepth = 0.0;
};

struct Grid {
    const double* columnX;
    const double* rowY;
    float* values;  // interleaved re, im
    int width;
};

// One row of the exact sum: a / r exp(i (k r + phase)) times the zone's
// fade, `weights` for the columns from `first` and `rowWeight` for the row.
VELMORA_WIDE_CLONES
void addExactRow(const Zone& zone, const Grid& grid, int row, int first, const double* weights, int count,
                 double rowWeight) {
    const double dy = grid.rowY[row] - zone.y;
    const double rest = dy * dy + zone.depth * zone.depth, amplitude = zone.amplitude * rowWeight;
    const double* columnX = grid.columnX + first;
    float* out = grid.values + 2 * (static_cast<std::size_t>(row) * grid.width + first);
    for (int i = 0; i < count; ++i) {
        const double dx = columnX[i] - zone.x;
        const double squared = dx * dx + rest;
        const double inv = invRoot(squared);
        double c, s;
        phasor::cosSin(zone.k * (squared * inv) + zone.phase, c, s);
        const double a = amplitude * weights[i] * inv;
        out[2 * i] += static_cast<float>(a * c);
        out[2 * i + 1] += static_cast<float>(a * s);
    }
}

// The zone's fade along one axis, for offsets t from the point:
// fade(|t| / (q sin)) with q = sqrt(d^2 + t^2). |t| / q bounds the sine of
// the fringes' angle along that axis from above, so the product of the two
// axes' fades is zero wherever either axis would alias.
VELMORA_WIDE_CLONES
void axisWeights(const Zone& zone, int axis, const double* offsets, int count, double* weights) {
    const double d2 = zone.depth * zone.depth;
    const double low = zone.coneLow[axis], high = zone.coneHigh[axis], width = zone.coneFade[axis];
    const double invWidth = 1.0 / width;
    for (int i = 0; i < count; ++i) {
        const double t = offsets[i], absT = t < 0.0 ? -t : t;
        weights[i] = fade(absT * invRoot(d2 + t * t) * zone.invSine, zone.invTaper) *
                     rise(t, low - width, invWidth) * rise(-t, -high - width, invWidth);
    }
}

// The separable zone's factor along one axis, for offsets t from the
// point: fade(|t| / (q sin)) d / q exp(i k (q - d)) with q = sqrt(d^2 + t^2),
// interleaved, and the same times i in `turned`. The product of the two
// axes' factors is a / r exp(i k r) up to k d (t_x t_y)^2 / (4 d^4) in the
// phase and (t_x t_y)^2 / (2 d^4) in the amplitude.
VELMORA_WIDE_CLONES
void axisFactors(const Zone& zone, int axis, const double* offsets, int count, float* factors, float* turned) {
    const double d = zone.depth, d2 = d * d;
    const double low = zone.coneLow[axis], high = zone.coneHigh[axis], width = zone.coneFade[axis];
    const double invWidth = 1.0 / width;
    for (int i = 0; i < count; ++i) {
        const double t = offsets[i], t2 = t * t;
        const double inv = invRoot(d2 + t2);
        const double absT = t < 0.0 ? -t : t;
        const double a = fade(absT * inv * zone.invSine, zone.invTaper) * rise(t, low - width, invWidth) *
                         rise(-t, -high - width, invWidth) * d * inv;
        double c, s;
        // q - d = t^2 / (q + d), without the cancellation.
        phasor::cosSin(zone.k * t2 / ((d2 + t2) * inv + d), c, s);
        factors[2 * i] = static_cast<float>(a * c);
        factors[2 * i + 1] = static_cast<float>(a * s);
        turned[2 * i] = static_cast<float>(-a * s);
        turned[2 * i + 1] = static_cast<float>(a * c);
    }
}

// Every row of a separable zone: row j gets (re_j + i im_j) times the
// column factors, `count` interleaved values from `out + j * stride`. The
// innermost loop of the recording plane, in single precision for twice the
// lanes, and one clone call per zone rather than per row.
VELMORA_WIDE_CLONES
void addSeparableZone(float* __restrict out, std::size_t stride, const float* __restrict rowWeights, int rows,
                      const float* __restrict factors, const float* __restrict turned, int count) {
    for (int j = 0; j < rows; ++j) {
        const float re = rowWeights[2 * j], im = rowWeights[2 * j + 1];
        float* __restrict line = out + stride * static_cast<std::size_t>(j);
        for (int m = 0; m < count; ++m) line[m] += re * factors[m] + im * turned[m];
    }
}

class BandKernel {
public:
    BandKernel(const Grid& grid, const PlaneView& plane, const KernelOptions& options, int firstRow, int endRow)
        : grid_(grid), plane_(plane), options_(options), firstRow_(firstRow), endRow_(endRow),
          sine_(apertureSine(options.wavelength, plane.pitch)) {}

    // The point's zone: where it is drawn and how.
    Zone zoneOf(const PlanePoint& point) const {
        const NearZoneTable* table = options_.nearZones;
        if (table && std::fabs(point.depth) <= table->range()) {
            Zone zone{point.x, point.y, std::fabs(point.depth), phasor::kTwoPi / options_.wavelength,
                      point.amplitude, point.phase};
            zone.near = true, zone.halfWidth = table->halfWidth(point.depth), zone.nearDepth = point.depth;
            return zone;
        }
        const bool farSide = point.depth < 0.0;
        const double k = phasor::kTwoPi / options_.wavelength;
        // A point closer to the plane than this would draw a zone under
        // one pixel; it is drawn as if at this depth.
        const double depth = std::max(std::fabs(point.depth), plane_.pitch / sine_);
        Zone zone{point.x, point.y, depth, farSide ? -k : k, farSide ? -point.amplitude : point.amplitude,
                  point.phase, 1.0 / sine_, 1.0 / std::max(options_.taper, 1e-9)};
        if (options_.coneDistance >= 0.0 && !farSide) aimAtTheHologram(zone, point.depth);
        return zone;
    }

    // The first and last row the zone covers in this band (last < first: none).
    std::pair<int, int> rowsOf(const Zone& zone) const {
        const auto [rowLo, rowHi, lo, hi] = zoneSpan(zone);
        return lo > hi ? std::pair{0, -1} : std::pair{rowLo, rowHi};
    }

    void add(const Zone& zone) {
        if (zone.near) return addNear(zone);
        const double sine2 = sine_ * sine_;
        if (!options_.exact && std::fabs(zone.k) * zone.depth * sine2 * sine2 * 0.25 <= kSeparableError)
            addSeparable(zone);
        else
            addByRows(zone);
    }

private:
    // The part of the plane through which the point's light meets the
    // hologram: the hologram's outline shrunk towards the point by the
    // plane's share of the way, faded beyond it.
    void aimAtTheHologram(Zone& zone, double depth) const {
        const double share = depth / (options_.coneDistance + depth);
        const double centre[2] = {zone.x, zone.y}, half[2] = {options_.coneHalfWidth, options_.coneHalfHeight};
        // The light that meets the hologram's edge comes from a Fresnel
        // zone about sqrt(lambda depth) wide there, not from a line.
        const double fresnel = std::sqrt(options_.wavelength * depth);
        for (int axis = 0; axis < 2; ++axis) {
            zone.coneLow[axis] = (-half[axis] - centre[axis]) * share - fresnel;
            zone.coneHigh[axis] = (half[axis] - centre[axis]) * share + fresnel;
            zone.coneFade[axis] = std::max({kConeFade * (zone.coneHigh[axis] - zone.coneLow[axis]), 2.0 * fresnel,
                                            kConeFadePixels * plane_.pitch});
        }
    }

    // The columns (or rows, with `sign` -1) from `low` to `high` (offsets
    // from `centre`). Clamped before the conversion to int: a far point's
    // edges lie beyond any int, or at infinity.
    std::pair<int, int> span(double centre, double low, double high, double origin, int sign, int lo, int hi) const {
        const double a = origin + sign * (centre + low) / plane_.pitch;
        const double b = origin + sign * (centre + high) / plane_.pitch;
        if (std::isnan(a) || std::isnan(b)) return {lo, lo - 1};
        const double first = std::max<double>(lo, std::ceil(std::min(a, b)));
        const double last = std::min<double>(hi, std::floor(std::max(a, b)));
        if (first > last) return {lo, lo - 1};
        return {static_cast<int>(first), static_cast<int>(last)};
    }

    void addByRows(const Zone& zone) {
        const auto [rowLo, rowHi, lo, hi] = zoneSpan(zone);
        if (rowLo > rowHi || lo > hi) return;
        const int columns = hi - lo + 1, rows = rowHi - rowLo + 1;
        offsetsFrom(grid_.columnX + lo, columns, zone.x);
        columnValues_.resize(offsets_.size());
        axisWeights(zone, 0, offsets_.data(), columns, columnValues_.data());
        offsetsFrom(grid_.rowY + rowLo, rows, zone.y);
        rowValues_.resize(offsets_.size());
        axisWeights(zone, 1, offsets_.data(), rows, rowValues_.data());
        for (int j = 0; j < rows; ++j)
            if (rowValues_[j] > 0.0)
                addExactRow(zone, grid_, rowLo + j, lo, columnValues_.data(), columns, rowValues_[j]);
    }

    // The rows and columns where the point's fringes stay below the grid's
    // limit along both axes, within this band.
    std::array<int, 4> zoneSpan(const Zone& zone) const {
        if (zone.near) {
            const double half = zone.halfWidth * plane_.pitch;
            const auto [rowLo, rowHi] = span(zone.y, -half, half, plane_.originRow, -1, firstRow_, endRow_ - 1);
            const auto [lo, hi] = span(zone.x, -half, half, plane_.originColumn, 1, 0, plane_.width - 1);
            return {rowLo, rowHi, lo, hi};
        }
        const double half = sine_ * zone.depth / std::sqrt(1.0 - sine_ * sine_);
        const auto low = [&](int axis) { return std::max(-half, zone.coneLow[axis] - zone.coneFade[axis]); };
        const auto high = [&](int axis) { return std::min(half, zone.coneHigh[axis] + zone.coneFade[axis]); };
        const auto [rowLo, rowHi] = span(zone.y, low(1), high(1), plane_.originRow, -1, firstRow_, endRow_ - 1);
        const auto [lo, hi] = span(zone.x, low(0), high(0), plane_.originColumn, 1, 0, plane_.width - 1);
        return {rowLo, rowHi, lo, hi};
    }

    void offsetsFrom(const double* coordinates, int count, double centre) {
        offsets_.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) offsets_[i] = coordinates[i] - centre;
    }

    void addSeparable(const Zone& zone) {
        const auto [rowLo, rowHi, lo, hi] = zoneSpan(zone);
        if (rowLo > rowHi || lo > hi) return;
        const int columns = hi - lo + 1, rows = rowHi - rowLo + 1;
        offsetsFrom(grid_.columnX + lo, columns, zone.x);
        columnFactors_.resize(2 * offsets_.size()), columnTurned_.resize(2 * offsets_.size());
        axisFactors(zone, 0, offsets_.data(), columns, columnFactors_.data(), columnTurned_.data());
        offsetsFrom(grid_.rowY + rowLo, rows, zone.y);
        rowFactors_.resize(2 * offsets_.size()), rowTurned_.resize(2 * offsets_.size());
        axisFactors(zone, 1, offsets_.data(), rows, rowFactors_.data(), rowTurned_.data());
        // The common factor a / d exp(i (k d + phase)), reduced in double.
        double c, s;
        phasor::cosSin(zone.k * zone.depth + zone.phase, c, s);
        const double a = zone.amplitude / zone.depth;
        addProduct(rowLo, lo, rows, columns, a * c, a * s);
    }

    // The row factors times the common factor (re, im), then their product
    // with the column factors added to the plane from (lo, rowLo).
    void addProduct(int rowLo, int lo, int rows, int columns, double re, double im) {
        for (int j = 0; j < rows; ++j) {
            const double rowRe = rowFactors_[2 * j], rowIm = rowFactors_[2 * j + 1];
            rowFactors_[2 * j] = static_cast<float>(re * rowRe - im * rowIm);
            rowFactors_[2 * j + 1] = static_cast<float>(re * rowIm + im * rowRe);
        }
        addSeparableZone(grid_.values + 2 * (static_cast<std::size_t>(rowLo) * grid_.width + lo),
                         2 * static_cast<std::size_t>(grid_.width), rowFactors_.data(), rows, columnFactors_.data(),
                         columnTurned_.data(), 2 * columns);
    }

    // The table's factors per axis (G is even, so rows, whose y falls,
    // read it at -t), times a i lambda exp(i (k d + phase)).
    void addNear(const Zone& zone) {
        const auto [rowLo, rowHi, lo, hi] = zoneSpan(zone);
        if (rowLo > rowHi || lo > hi) return;
        const int columns = hi - lo + 1, rows = rowHi - rowLo + 1;
        const NearZoneTable& table = *options_.nearZones;
        columnFactors_.resize(2 * static_cast<std::size_t>(columns)), columnTurned_.resize(columnFactors_.size());
        table.factors(zone.nearDepth, (grid_.columnX[lo] - zone.x) / plane_.pitch, columns, columnFactors_.data(),
                      columnTurned_.data());
        rowFactors_.resize(2 * static_cast<std::size_t>(rows)), rowTurned_.resize(rowFactors_.size());
        table.factors(zone.nearDepth, (zone.y - grid_.rowY[rowLo]) / plane_.pitch, rows, rowFactors_.data(),
                      rowTurned_.data());
        double c, s;
        phasor::cosSin(zone.k * zone.nearDepth + zone.phase, c, s);
        // i lambda turns (c, s) into (-s, c).
        const double a = zone.amplitude * options_.wavelength;
        addProduct(rowLo, lo, rows, columns, -a * s, a * c);
    }

    const Grid& grid_;
    const PlaneView& plane_;
    const KernelOptions& options_;
    int firstRow_, endRow_;
    double sine_;
    std::vector<double> offsets_, columnValues_, rowValues_;
    std::vector<float> columnFactors_, columnTurned_, rowFactors_, rowTurned_;
};

}  // namespace

double apertureSine(double wavelength, double pitch) { return std::min(wavelength / (2.0 * pitch), 0.7); }

void addPointField(ComplexField& plane, const PlanePoints& points, const KernelOptions& options) {
    addPointField(PlaneView::of(plane), points, options);
}

void addPointField(const PlaneView& plane, const PlanePoints& points, const KernelOptions& options) {
    std::vector<double> columnX(static_cast<std::size_t>(plane.width)), rowY(static_cast<std::size_t>(plane.height));
    for (int i = 0; i < plane.width; ++i) columnX[static_cast<std::size_t>(i)] = plane.columnX(i);
    for (int j = 0; j < plane.height; ++j) rowY[static_cast<std::size_t>(j)] = plane.rowY(j);
    const Grid grid{columnX.data(), rowY.data(), reinterpret_cast<float*>(plane.values), plane.width};
    const int cores = threadsFor(options.threads);
    // Bands of rows, each drawn by one thread, so no two write the same
    // pixel. Many more bands than threads, taken in turn, keep the threads
    // busy however the points crowd, and a band's rows stay in the cache
    // while its points are drawn.
    const int bands = std::max(1, std::min(plane.height / 8, 4 * cores));
    const auto bandOf = [&](int row) { return static_cast<int>(static_cast<long long>(row) * bands / plane.height); };
    const auto firstRowOf = [&](int b) {
        return static_cast<int>((static_cast<long long>(b) * plane.height + bands - 1) / bands);
    };
    // Each band's points, in the points' order, so that every pixel sums
    // them in the same order whatever the banding.
    std::vector<std::vector<std::uint32_t>> bandPoints(static_cast<std::size_t>(bands));
    {
        const BandKernel whole(grid, plane, options, 0, plane.height);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto [first, last] = whole.rowsOf(whole.zoneOf(points[i]));
            if (first > last) continue;
            for (int b = bandOf(first); b <= bandOf(last); ++b)
                bandPoints[static_cast<std::size_t>(b)].push_back(static_cast<std::uint32_t>(i));
        }
    }
    runInTurns(bands, cores, [&](int b) {
        BandKernel band(grid, plane, options, firstRowOf(b), firstRowOf(b + 1));
        const auto& mine = bandPoints[static_cast<std::size_t>(b)];
        for (std::size_t i = 0; i < mine.size(); ++i) {
            // A few hundred points take well under a millisecond.
            if (i % 256 == 0 && options.cancel && options.cancel->load(std::memory_order_relaxed)) return;
            // A band's points lie scattered among all of them: fetched ahead,
            // the misses overlap with the drawing.
            if (i + 8 < mine.size()) __builtin_prefetch(&points[mine[i + 8]]);
            band.add(band.zoneOf(points[mine[i]]));
        }
    });
}

}  // namespace velmora
