#pragma once
// The pseudo-random generator behind the export's phases: integers uniform
// over 0 .. 32767, seeded from the clock when the view is set up or from a
// given seed for reproducible exports. The same linear congruential
// generator on every platform, so a seed gives the same phases everywhere.

#include <cstdint>

namespace velmora {

class RandomGenerator {
public:
    static constexpr int kMax = 32767;

    void seed(std::uint32_t value) { state_ = value; }
    // Seeds with the current calendar time in seconds.
    void seedFromClock();
    // The next integer in 0 .. 32767.
    int next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }
    std::uint32_t state() const { return state_; }

private:
    std::uint32_t state_ = 1;
};

}  // namespace velmora
