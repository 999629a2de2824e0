#pragma once
// The values the export derives from one accepted point: its random phase,
// its colour fractions and its grey level.

#include "platform/RandomGenerator.h"

#include <cmath>
#include <cstdint>

namespace velmora {

// The single-precision value nearest 1/32767.
constexpr double kPhaseStep = 3.0518509447574615e-05;
// The export's full turn; deliberately this literal, not 2 pi.
constexpr double kPhaseTurn = 6.28318;
// The double nearest 1/255.
constexpr double kColourFraction = 0.00392156862745098;
// The single-precision value nearest 1/255.
constexpr double kGreyFraction = 0.003921568859368563;

// The phase for one draw r in 0 .. 32767.
inline double phaseOfDraw(int r) { return std::fmod(r * kPhaseStep, 1.0) * kPhaseTurn; }

// Draws one value from the generator: call exactly once per accepted point.
inline double randomPhase(RandomGenerator& random) { return phaseOfDraw(random.next()); }

inline double colourFraction(std::uint8_t channel) { return channel * kColourFraction; }

inline double greyLevel(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return ((green * 0.78 + blue * 0.1) + red * 0.12) * kGreyFraction;
}

}  // namespace velmora
