#include "hologram/FieldFilter.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> kernel(double cutoff) {
    const int half = static_cast<int>(std::ceil(3.0 / cutoff));
    std::vector<double> taps(static_cast<std::size_t>(2 * half + 1));
    double sum = 0.0;
    for (int n = -half; n <= half; ++n) {
        const double x = 2.0 * cutoff * n;
        const double sinc = n == 0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        const double t = static_cast<double>(n + half) / (2 * half);
        const double blackman = 0.42 - 0.5 * std::cos(2 * kPi * t) + 0.08 * std::cos(4 * kPi * t);
        sum += taps[static_cast<std::size_t>(n + half)] = sinc * blackman;
    }
    for (double& tap : taps) tap /= sum;
    return taps;
}

// One axis: `count` lines of `length` samples, `step` apart within a line
// and `next` apart from line to line.
template <class Values>
void filterLines(Values& values, int count, int length, std::size_t step, std::size_t next, double cutoff) {
    if (cutoff >= 0.5) return;
    using Value = typename Values::value_type;
    const std::vector<double> taps = kernel(cutoff);
    const int half = static_cast<int>(taps.size() / 2);
    std::vector<std::complex<double>> line(static_cast<std::size_t>(length));
    for (int l = 0; l < count; ++l) {
        const std::size_t start = static_cast<std::size_t>(l) * next;
        for (int i = 0; i < length; ++i) line[static_cast<std::size_t>(i)] = values[start + i * step];
        for (int i = 0; i < length; ++i) {
            std::complex<double> sum = 0.0;
            for (int n = -half; n <= half; ++n)
                sum += taps[static_cast<std::size_t>(n + half)] * line[static_cast<std::size_t>(std::clamp(i + n, 0, length - 1))];
            values[start + i * step] = static_cast<Value>(sum);
        }
    }
}

}  // namespace

ComplexField lowPass(const ComplexField& field, double cutoffX, double cutoffY) {
    ComplexField out = field;
    const auto width = static_cast<std::size_t>(field.width);
    filterLines(out.values, field.height, field.width, 1, width, cutoffX);
    filterLines(out.values, field.width, field.height, width, 1, cutoffY);
    return out;
}

}  // namespace velmora
