#include "hologram/NearZoneTable.h"

#include "hologram/Phasor.h"
#include "hologram/PointKernel.h"
#include "hologram/RowBands.h"
#include "hologram/WideClones.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace velmora {

namespace {

// Table entries per pixel of offset: linear interpolation between them
// errs by (2 pi / 32)^2 / 8, 0.5 %, at the band's edge, where the window
// has already taken most of the light.
constexpr int kSub = 16;
// The chirp's phase at the band's edge from one depth level to the next:
// interpolation errs by its square over 8, 0.5 %.
constexpr double kLevelPhase = 0.2;
constexpr double kPhaseBound = 0.1;
// The reach sin / sqrt(1 - sin^2) in pixels per unit of lambda d / pitch^2
// is 1 / (2 sqrt(1 - sin^2)); where the form holds, sin < 0.1.
constexpr double kReachPerDepth = 0.5 / 0.99;

struct Weights {
    float a, b, c, d;
};

// The four neighbours' weighted sum, `count` interleaved floats, and i times it.
VELMORA_WIDE_CLONES
void blend(const float* __restrict p, const float* __restrict q, const float* __restrict r, const float* __restrict s,
           Weights w, int count, float* __restrict out, float* __restrict turned) {
    for (int j = 0; j < count; ++j) out[j] = w.a * p[j] + w.b * q[j] + w.c * r[j] + w.d * s[j];
    for (int j = 0; j < count; j += 2) turned[j] = -out[j + 1], turned[j + 1] = out[j];
}

}  // namespace

// G in pixels and units of lambda d / pitch^2, times the pitch, for depths
// from -range to range; per level, for each of the kSub + 1 sub-pixel
// phases q, the pixels n = 0 .. 2 halfSpan at offsets n - halfSpan + q / kSub.
struct NearZoneTable::Levels {
    double range = 0.0, step = 0.0;
    int count = 0, halfSpan = 0;
    std::vector<float> values;

    std::size_t columns() const { return 2 * static_cast<std::size_t>(halfSpan) + 1; }
    std::size_t perLevel() const { return (kSub + 1) * columns() * 2; }

    Levels(double taper, double alphaRange, int threads) : range(alphaRange) {
        halfSpan = static_cast<int>(std::ceil(kReachPerDepth * range)) + kNearZoneTail;
        // The band's edge is at a half cycle a pixel: phase pi alpha / 4 there.
        count = std::max(2, static_cast<int>(std::ceil(2.0 * range / (4.0 * kLevelPhase / phasor::kPi))) + 1);
        step = 2.0 * range / (count - 1);
        values.resize(perLevel() * static_cast<std::size_t>(count));
        runInTurns(count, threadsFor(threads), [&](int level) { fill(level, taper); });
    }

    // G over one period of four half spans, as the sum over the band's
    // frequencies m / period: the kernel and its copies a period away
    // overlap by less than its tail. G is even, so it is summed for the
    // offsets from 0 and mirrored.
    void fill(int level, double taper) {
        const double alpha = -range + level * step;
        const int period = 4 * (halfSpan + 1) * kSub, periodPixels = 4 * (halfSpan + 1);
        const int frequencies = periodPixels / 2;  // up to half a cycle a pixel
        const double invTaper = 1.0 / std::max(taper, 1e-9);
        std::vector<double> re(static_cast<std::size_t>(frequencies) + 1), im(re.size());
        for (int m = 0; m <= frequencies; ++m) {
            const double nu = static_cast<double>(m) / periodPixels;  // cycles a pixel
            const double t = std::clamp((1.0 - 2.0 * nu) * invTaper, 0.0, 1.0);
            const double weight = t * t * (3.0 - 2.0 * t) * (m == 0 ? 1.0 : 2.0) / periodPixels;
            double c, s;
            phasor::cosSin(-phasor::kPi * alpha * nu * nu, c, s);
            re[static_cast<std::size_t>(m)] = weight * c, im[static_cast<std::size_t>(m)] = weight * s;
        }
        const int offsets = (halfSpan + 1) * kSub + 1;
        std::vector<double> cosines(static_cast<std::size_t>(period));
        for (int j = 0; j < period; ++j) cosines[static_cast<std::size_t>(j)] = std::cos(phasor::kTwoPi * j / period);
        std::vector<float> half(2 * static_cast<std::size_t>(offsets));
        for (int offset = 0; offset < offsets; ++offset) {
            double sumRe = 0.0, sumIm = 0.0;
            // offset < period, so one subtraction keeps the phase in range.
            for (int m = 0, phase = 0; m <= frequencies; ++m) {
                const double c = cosines[static_cast<std::size_t>(phase)];
                sumRe += re[static_cast<std::size_t>(m)] * c, sumIm += im[static_cast<std::size_t>(m)] * c;
                phase += offset;
                if (phase >= period) phase -= period;
            }
            half[2 * static_cast<std::size_t>(offset)] = static_cast<float>(sumRe);
            half[2 * static_cast<std::size_t>(offset) + 1] = static_cast<float>(sumIm);
        }
        float* out = values.data() + perLevel() * static_cast<std::size_t>(level);
        for (int q = 0; q <= kSub; ++q)
            for (int n = 0; n < static_cast<int>(columns()); ++n) {
                const std::size_t at = 2 * static_cast<std::size_t>(std::abs((n - halfSpan) * kSub + q));
                *out++ = half[at], *out++ = half[at + 1];
            }
    }
};

namespace {

// One table per taper and range, kept for the process.
std::shared_ptr<const NearZoneTable::Levels> sharedLevels(double taper, double alphaRange, int threads) {
    static std::mutex lock;
    static std::map<std::pair<double, double>, std::shared_ptr<const NearZoneTable::Levels>> made;
    const std::lock_guard<std::mutex> guard(lock);
    auto& levels = made[{taper, alphaRange}];
    if (!levels) levels = std::make_shared<const NearZoneTable::Levels>(taper, alphaRange, threads);
    return levels;
}

}  // namespace

bool NearZoneTable::holds(double wavelength, double pitch, double range) {
    const double sine = apertureSine(wavelength, pitch), sine2 = sine * sine;
    return phasor::kTwoPi / wavelength * range * sine2 * sine2 / 8.0 <= kPhaseBound;
}

std::optional<NearZoneTable> NearZoneTable::make(double wavelength, double pitch, double taper, double range,
                                                 int threads) {
    if (!(range > 0.0) || !holds(wavelength, pitch, range)) return std::nullopt;
    const double sine = apertureSine(wavelength, pitch);
    NearZoneTable table;
    table.pitch_ = pitch, table.range_ = range;
    table.reachPixels_ = sine / std::sqrt(1.0 - sine * sine) / pitch;
    table.depthScale_ = wavelength / (pitch * pitch);
    // Rounded up to a thousandth, so that channels whose ranges differ by
    // rounding share one table.
    const double alphaRange = std::ceil(range * table.depthScale_ * 1000.0) / 1000.0;
    table.levels_ = sharedLevels(taper, alphaRange, threads);
    return table;
}

double NearZoneTable::halfWidth(double depth) const {
    return std::min<double>(levels_->halfSpan, reachPixels_ * std::fabs(depth) + kNearZoneTail);
}

void NearZoneTable::factors(double depth, double first, int count, float* factors, float* turned) const {
    const Levels& table = *levels_;
    const double u = std::clamp((depth * depthScale_ + table.range) / table.step, 0.0, table.count - 1.0);
    const int level = std::min(table.count - 2, static_cast<int>(u));
    const float w = static_cast<float>(u - level);
    const double position = (first + table.halfSpan) * kSub;
    const double base = std::floor(position);
    const float v = static_cast<float>(position - base);
    const long long baseIndex = static_cast<long long>(base);
    const int q = static_cast<int>(((baseIndex % kSub) + kSub) % kSub);
    const long long column = (baseIndex - q) / kSub;
    const long long columns = static_cast<long long>(table.columns());
    const float* near = table.values.data() + table.perLevel() * static_cast<std::size_t>(level) +
                        static_cast<std::size_t>(q) * table.columns() * 2;
    const float* far = near + table.perLevel();
    const float* nearNext = near + table.columns() * 2;
    const float* farNext = far + table.columns() * 2;
    // The table's G is per pixel of offset: per metre it is 1 / pitch of it.
    const float scale = static_cast<float>(1.0 / pitch_);
    const float a = scale * (1 - w) * (1 - v), b = scale * (1 - w) * v, c = scale * w * (1 - v), d = scale * w * v;
    // Offsets past the table's span (at most rounding's pixel) get nothing.
    const int from = static_cast<int>(std::clamp<long long>(-column, 0, count));
    const int to = static_cast<int>(std::clamp<long long>(columns - column, from, count));
    std::fill(factors, factors + 2 * from, 0.0f), std::fill(turned, turned + 2 * from, 0.0f);
    std::fill(factors + 2 * to, factors + 2 * count, 0.0f), std::fill(turned + 2 * to, turned + 2 * count, 0.0f);
    const std::size_t offset = 2 * static_cast<std::size_t>(column + from);
    blend(near + offset, nearNext + offset, far + offset, farNext + offset, {a, b, c, d}, 2 * (to - from),
          factors + 2 * from, turned + 2 * from);
}

}  // namespace velmora
