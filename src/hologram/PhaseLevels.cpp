#include "hologram/PhaseLevels.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2 * kPi;

double wrapped(double phase) { return phase - kTwoPi * std::floor((phase + kPi) / kTwoPi); }

// Wrapped into [-pi, pi), the difference is already the shorter way round.
double circularDistance(double a, double b) { return std::fabs(wrapped(a - b)); }

}  // namespace

PhaseLevels::PhaseLevels(const DeviceSettings& device, double wavelength)
    : count_(device.greyLevels()), range_(device.phaseRange) {
    const PhaseLut* lut = device.lut(wavelength);
    if (!lut) return;
    byPhase_ = lut->entries;
    for (auto& entry : byPhase_) entry.phase = wrapped(entry.phase);
    std::sort(byPhase_.begin(), byPhase_.end(), [](const auto& a, const auto& b) { return a.phase < b.phase; });
    auto byGrey = lut->entries;
    std::sort(byGrey.begin(), byGrey.end(), [](const auto& a, const auto& b) { return a.grey < b.grey; });
    phases_.assign(65536, byGrey.front().phase);
    for (std::size_t i = 0; i < byGrey.size(); ++i) {
        const auto& from = byGrey[i];
        const auto& to = i + 1 < byGrey.size() ? byGrey[i + 1] : from;
        const int span = std::max(1, to.grey - from.grey);
        for (int g = from.grey; g <= (i + 1 < byGrey.size() ? to.grey : 65535); ++g)
            phases_[static_cast<std::size_t>(g)] = from.phase + (to.phase - from.phase) * (g - from.grey) / span;
    }
}

std::uint16_t PhaseLevels::level(double phase) const {
    if (!byPhase_.empty()) return nearestMeasured(phase);
    const double half = static_cast<double>(count_ / 2);
    const long k = std::lround(half + phase * (static_cast<double>(count_) / range_));
    // 2 pi over the levels: the top of the range is its bottom again.
    if (range_ == kTwoPi) return static_cast<std::uint16_t>(((k % count_) + count_) % count_);
    const long inside = std::lround(half + wrapped(phase) * (static_cast<double>(count_) / range_));
    if (inside >= 0 && inside < count_) return static_cast<std::uint16_t>(inside);
    const bool toFirst = circularDistance(phase, this->phase(0)) <=
                         circularDistance(phase, this->phase(static_cast<std::uint16_t>(count_ - 1)));
    return static_cast<std::uint16_t>(toFirst ? 0 : count_ - 1);
}

double PhaseLevels::phase(std::uint16_t level) const {
    if (!phases_.empty()) return phases_[level];
    return (level - static_cast<double>(count_ / 2)) * (range_ / static_cast<double>(count_));
}

std::uint16_t PhaseLevels::nearestMeasured(double phase) const {
    const double w = wrapped(phase);
    const auto above = std::lower_bound(byPhase_.begin(), byPhase_.end(), w,
                                        [](const PhaseLut::Entry& e, double p) { return e.phase < p; });
    // The neighbours round the circle: past the last comes the first.
    const auto& after = above == byPhase_.end() ? byPhase_.front() : *above;
    const auto& before = above == byPhase_.begin() ? byPhase_.back() : *(above - 1);
    return circularDistance(w, before.phase) <= circularDistance(w, after.phase) ? before.grey : after.grey;
}

}  // namespace velmora
