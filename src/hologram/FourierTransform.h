#pragma once
// A 2-D single-precision complex FFT of one size, in place on its own
// buffer: FFTW plans and the aligned buffer they were made for, released
// together. Planning with FftPlanning::Measure is slow (seconds at
// 3840 x 2160), so the planner's wisdom is read from and written back to a
// cache folder: a size is measured once per machine, not once per run, and
// never for longer than kPlanningSeconds.
//
// The constructor throws std::bad_alloc when the buffer cannot be had and
// std::runtime_error when FFTW cannot plan; the computation turns both into
// a failure with its reason.

#include "hologram/ComplexField.h"
#include "hologram/HologramSettings.h"

#include <complex>
#include <memory>
#include <string>

namespace velmora {

// The longest a new size is measured for, both directions together. A
// 7680 x 4320 grid (a 3840 x 2160 hologram's) takes about 40 s on two
// cores; cut off at 20 s, FFTW keeps a plan that runs 4 times slower.
constexpr double kPlanningSeconds = 60.0;

class FourierTransform {
public:
    FourierTransform(int width, int height, FftPlanning planning, int threads, const std::string& wisdomFolder);
    ~FourierTransform();
    FourierTransform(const FourierTransform&) = delete;
    FourierTransform& operator=(const FourierTransform&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    Complex* data() { return data_.get(); }
    // The plans came from wisdom (or were estimated), not measured now.
    bool planWasKnown() const { return known_; }

    // Whether a transform of this size would be planned from wisdom, without
    // measuring: the caller can then say that planning will take a while.
    static bool planKnown(int width, int height, FftPlanning planning, int threads, const std::string& wisdomFolder);
    // Why the wisdom file was left alone; empty when it was not.
    const std::string& wisdomWarning() const { return warning_; }

    // Unnormalised: forward() then backward() multiplies by width * height.
    void forward();
    void backward();

private:
    struct Plans;
    struct FreeBuffer {
        std::size_t bytes;
        void operator()(Complex* p) const;
    };
    int width_;
    int height_;
    bool known_ = true;
    std::unique_ptr<Complex, FreeBuffer> data_;
    std::unique_ptr<Plans> plans_;
    std::string warning_;
};

// The wisdom file inside a folder.
std::string wisdomPath(const std::string& folder);

}  // namespace velmora
