#include "hologram/BandLimitedPropagator.h"

#include "hologram/Phasor.h"
#include "hologram/RowBands.h"
#include "hologram/WideClones.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace velmora {

namespace {

double frequency(int index, int size, double pitch) {
    return (index < (size + 1) / 2 ? index : index - size) / (size * pitch);
}

struct Transfer {
    double pitch, wavelength, distance, bandDistance;
    int bandWidth, bandHeight;
};

// Multiplies rows [first, end) of the spectrum by the transfer function.
VELMORA_WIDE_CLONES
void applyTransfer(Complex* spectrum, int width, int height, const Transfer& t, int first, int end) {
    const double pitch = t.pitch, wavelength = t.wavelength, distance = t.distance;
    const double invLambda2 = 1.0 / (wavelength * wavelength);
    const double limitX = bandLimit(wavelength, pitch, t.bandDistance, t.bandWidth);
    const double limitY = bandLimit(wavelength, pitch, t.bandDistance, t.bandHeight);
    const double scale = 1.0 / (static_cast<double>(width) * height);
    std::vector<double> fx2Values(static_cast<std::size_t>(width));
    std::vector<double> passValues(static_cast<std::size_t>(width));
    // Raw pointers: a checked index in the loop below would keep it from vectorising.
    double* fx2 = fx2Values.data();
    double* pass = passValues.data();
    for (int i = 0; i < width; ++i) {
        const double f = frequency(i, width, pitch);
        fx2[i] = f * f;
        pass[i] = std::fabs(f) <= limitX ? scale : 0.0;
    }
    const double twoPiD = phasor::kTwoPi * distance;
    for (int row = first; row < end; ++row) {
        const double fy = frequency(row, height, pitch);
        auto* line = reinterpret_cast<float*>(spectrum + static_cast<std::size_t>(row) * width);
        if (std::fabs(fy) > limitY) {
            std::memset(static_cast<void*>(line), 0, sizeof(float) * 2 * static_cast<std::size_t>(width));
            continue;
        }
        const double rest = invLambda2 - fy * fy;
        for (int i = 0; i < width; ++i) {
            const double w2 = rest - fx2[i];
            const double keep = w2 > 0.0 ? pass[i] : 0.0;
            double c, s;
            phasor::cosSin(twoPiD * std::sqrt(w2 > 0.0 ? w2 : 0.0), c, s);
            const double re = line[2 * i], im = line[2 * i + 1];
            line[2 * i] = static_cast<float>(keep * (re * c - im * s));
            line[2 * i + 1] = static_cast<float>(keep * (re * s + im * c));
        }
    }
}

}  // namespace

double bandLimit(double wavelength, double pitch, double distance, int size) {
    const double ratio = 2.0 * distance / (size * pitch);
    return 1.0 / (wavelength * std::sqrt(ratio * ratio + 1.0));
}

void BandLimitedPropagator::applyTransferFunction(double pitch, double wavelength, double distance,
                                                  double bandDistance, BandGrid band) {
    const int width = fft_.width(), height = fft_.height();
    const Transfer transfer{pitch, wavelength, distance, std::max(std::fabs(distance), std::fabs(bandDistance)),
                            band.width > 0 ? band.width : width, band.height > 0 ? band.height : height};
    runInBands(height, rowBands(threads_, height),
               [&](int first, int end) { applyTransfer(fft_.data(), width, height, transfer, first, end); });
}

void BandLimitedPropagator::propagateBuffer(double pitch, double wavelength, double distance, double bandDistance,
                                            BandGrid band) {
    fft_.forward();
    applyTransferFunction(pitch, wavelength, distance, bandDistance, band);
    fft_.backward();
}

void BandLimitedPropagator::propagate(ComplexField& field, double wavelength, double distance) {
    std::copy(field.values.begin(), field.values.end(), fft_.data());
    propagateBuffer(field.pitch, wavelength, distance);
    std::copy(fft_.data(), fft_.data() + field.values.size(), field.values.begin());
}

void BandLimitedPropagator::placePadded(const ComplexField& field) {
    const int width = fft_.width(), left = field.width / 2, top = field.height / 2;
    runInBands(fft_.height(), rowBands(threads_, fft_.height()), [&](int first, int end) {
        for (int row = first; row < end; ++row) {
            Complex* line = fft_.data() + static_cast<std::size_t>(row) * width;
            std::fill(line, line + width, Complex{});
            if (row >= top && row < top + field.height) std::copy_n(&field.at(0, row - top), field.width, line + left);
        }
    });
}

ComplexField BandLimitedPropagator::propagatePadded(const ComplexField& field, double wavelength, double distance) {
    placePadded(field);
    propagateBuffer(field.pitch, wavelength, distance);
    return croppedBuffer(field.width, field.height, field.pitch, field.originColumn, field.originRow);
}

ComplexField BandLimitedPropagator::croppedBuffer(int width, int height, double pitch, double originColumn,
                                                  double originRow) const {
    const int left = width / 2, top = height / 2;
    ComplexField inner(width, height, pitch);
    inner.originColumn = originColumn;
    inner.originRow = originRow;
    for (int row = 0; row < height; ++row)
        std::copy_n(fft_.data() + static_cast<std::size_t>(row + top) * fft_.width() + left, width, &inner.at(0, row));
    return inner;
}

}  // namespace velmora
