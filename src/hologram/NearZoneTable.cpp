#include "hologram/NearZoneTable.h"

#include "hologram/Phasor.h"
#include "hologram/PointKernel.h"
#include "hologram/RowBands.h"

#include <algorithm>
#include <cmath>

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
    table.reach_ = sine / std::sqrt(1.0 - sine * sine);
    table.halfSpan_ = static_cast<int>(std::ceil(table.reach_ * range / pitch)) + kNearZoneTail;
    table.levelStep_ = kLevelPhase * wavelength / (phasor::kPi * sine * sine);
    table.levels_ = std::max(2, static_cast<int>(std::ceil(2.0 * range / table.levelStep_)) + 1);
    table.levelStep_ = 2.0 * range / (table.levels_ - 1);
    const std::size_t perLevel = static_cast<std::size_t>(kSub + 1) * (2 * table.halfSpan_ + 1) * 2;
    table.values_.resize(perLevel * static_cast<std::size_t>(table.levels_));
    runInTurns(table.levels_, threadsFor(threads),
               [&](int level) { table.fillLevel(level, wavelength, taper, sine); });
    return table;
}

// G over one period T of four half spans, as the sum over the band's
// frequencies m / T: the kernel and its copies a period away overlap by
// less than its tail.
void NearZoneTable::fillLevel(int level, double wavelength, double taper, double sine) {
    const double depth = -range_ + level * levelStep_;
    const int columns = 2 * halfSpan_ + 1, period = 4 * (halfSpan_ + 1) * kSub;
    const double periodMetres = period * pitch_ / kSub, band = sine / wavelength;
    const int frequencies = static_cast<int>(band * periodMetres);
    const double invTaper = 1.0 / std::max(taper, 1e-9);
    std::vector<double> re(static_cast<std::size_t>(frequencies) + 1), im(re.size()), cosines(period);
    for (int j = 0; j < period; ++j) cosines[static_cast<std::size_t>(j)] = std::cos(phasor::kTwoPi * j / period);
    for (int m = 0; m <= frequencies; ++m) {
        const double f = m / periodMetres;
        double t = (1.0 - f / band) * invTaper;
        t = std::clamp(t, 0.0, 1.0);
        const double weight = t * t * (3.0 - 2.0 * t) * (m == 0 ? 1.0 : 2.0) / periodMetres;
        double c, s;
        phasor::cosSin(-phasor::kPi * wavelength * depth * f * f, c, s);
        re[static_cast<std::size_t>(m)] = weight * c, im[static_cast<std::size_t>(m)] = weight * s;
    }
    float* out = values_.data() + static_cast<std::size_t>(level) * (kSub + 1) * columns * 2;
    for (int q = 0; q <= kSub; ++q)
        for (int n = 0; n < columns; ++n) {
            // t = ((n - halfSpan) + q / kSub) pitch, in steps of period / T.
            const long long step = std::llabs(static_cast<long long>(n - halfSpan_) * kSub + q);
            double sumRe = 0.0, sumIm = 0.0;
            for (int m = 0; m <= frequencies; ++m) {
                const double c = cosines[static_cast<std::size_t>((m * step) % period)];
                sumRe += re[static_cast<std::size_t>(m)] * c, sumIm += im[static_cast<std::size_t>(m)] * c;
            }
            *out++ = static_cast<float>(sumRe);
            *out++ = static_cast<float>(sumIm);
        }
}

int NearZoneTable::halfWidth(double depth) const {
    return std::min(halfSpan_, static_cast<int>(std::ceil(reach_ * std::fabs(depth) / pitch_)) + kNearZoneTail);
}

void NearZoneTable::factors(double depth, double first, int count, float* factors, float* turned) const {
    const double u = std::clamp((depth + range_) / levelStep_, 0.0, levels_ - 1.0);
    const int level = std::min(levels_ - 2, static_cast<int>(u));
    const float w = static_cast<float>(u - level);
    const double position = (first + halfSpan_) * kSub;
    const double base = std::floor(position);
    const float v = static_cast<float>(position - base);
    const long long baseIndex = static_cast<long long>(base);
    const int q = static_cast<int>(((baseIndex % kSub) + kSub) % kSub);
    const long long column = (baseIndex - q) / kSub;
    const int columns = 2 * halfSpan_ + 1;
    const std::size_t perLevel = static_cast<std::size_t>(kSub + 1) * columns * 2;
    const float* near = values_.data() + perLevel * static_cast<std::size_t>(level) + static_cast<std::size_t>(q) * columns * 2;
    const float* far = near + perLevel;
    const float* nearNext = near + columns * 2;
    const float* farNext = far + columns * 2;
    const float a = (1 - w) * (1 - v), b = (1 - w) * v, c = w * (1 - v), d = w * v;
    // Offsets past the table's span (at most rounding's pixel) get nothing.
    const int from = static_cast<int>(std::clamp<long long>(-column, 0, count));
    const int to = static_cast<int>(std::clamp<long long>(columns - column, from, count));
    std::fill(factors, factors + 2 * from, 0.0f), std::fill(turned, turned + 2 * from, 0.0f);
    std::fill(factors + 2 * to, factors + 2 * count, 0.0f), std::fill(turned + 2 * to, turned + 2 * count, 0.0f);
    const std::size_t offset = 2 * static_cast<std::size_t>(column + from);
    near += offset, nearNext += offset, far += offset, farNext += offset;
    for (int i = 0, n = to - from; i < n; ++i) {
        const float re = a * near[2 * i] + b * nearNext[2 * i] + c * far[2 * i] + d * farNext[2 * i];
        const float im = a * near[2 * i + 1] + b * nearNext[2 * i + 1] + c * far[2 * i + 1] + d * farNext[2 * i + 1];
        factors[2 * (from + i)] = re, factors[2 * (from + i) + 1] = im;
        turned[2 * (from + i)] = -im, turned[2 * (from + i) + 1] = re;
    }
}

}  // namespace velmora
