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
        state_ = state_ * kMultiplier + kIncrement;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }
    // Moves on as `count` calls of next() would, in a few dozen steps
    // rather than `count`: the step is an affine map, which composes with
    // itself by squaring.
    void discard(std::uint64_t count) {
        std::uint32_t multiplier = kMultiplier, increment = kIncrement;  // the map for 2^i steps
        std::uint32_t totalMultiplier = 1, totalIncrement = 0;
        for (; count; count >>= 1) {
            if (count & 1u) {
                totalMultiplier *= multiplier;
                totalIncrement = totalIncrement * multiplier + increment;
            }
            increment *= multiplier + 1u;
            multiplier *= multiplier;
        }
        state_ = state_ * totalMultiplier + totalIncrement;
    }
    std::uint32_t state() const { return state_; }

private:
    static constexpr std::uint32_t kMultiplier = 214013u;
    static constexpr std::uint32_t kIncrement = 2531011u;
    std::uint32_t state_ = 1;
};

}  // namespace velmora
