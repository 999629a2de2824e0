#pragma once
// A 2-D complex FFT of one size, in place on its own buffer: FFTW plans
// and the aligned buffer they were made for, released together. Planning
// with FftPlanning::Measure is slow (seconds at 3840 x 2160), so the
// planner's wisdom is read from and written back to a cache folder: a size
// is measured once per machine, not once per run.
//
// The constructor throws std::bad_alloc when the buffer cannot be had and
// std::runtime_error when FFTW cannot plan; the computation turns both into
// a failure with its reason.

#include "hologram/HologramSettings.h"

#include <complex>
#include <memory>
#include <string>

namespace velmora {

class FourierTransform {
public:
    FourierTransform(int width, int height, FftPlanning planning, int threads, const std::string& wisdomFolder);
    ~FourierTransform();
    FourierTransform(const FourierTransform&) = delete;
    FourierTransform& operator=(const FourierTransform&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    std::complex<double>* data() { return data_.get(); }
    // Why the wisdom file was left alone; empty when it was not.
    const std::string& wisdomWarning() const { return warning_; }

    // Unnormalised: forward() then backward() multiplies by width * height.
    void forward();
    void backward();

private:
    struct Plans;
    struct FreeBuffer {
        void operator()(std::complex<double>* p) const;
    };
    int width_;
    int height_;
    std::unique_ptr<std::complex<double>, FreeBuffer> data_;
    std::unique_ptr<Plans> plans_;
    std::string warning_;
};

// The wisdom file inside a folder.
std::string wisdomPath(const std::string& folder);

}  // namespace velmora
