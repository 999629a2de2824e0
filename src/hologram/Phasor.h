#pragma once
// cos and sin of a phase, written without branches or calls so that loops
// over arrays of them vectorise. Accurate to about 1e-9 for any phase: the
// whole turns are removed in double precision first (at 0.1 m, k r is about
// 1e6 rad, and single precision would lose a tenth of a radian there).

namespace velmora::phasor {

constexpr double kTwoPi = 6.283185307179586476925;
constexpr double kPi = 0.5 * kTwoPi;
constexpr double kInvTwoPi = 1.0 / kTwoPi;

// sin(2 pi z) for |z| <= 1/4: Taylor series to the 13th power, whose
// remainder at the interval's ends is below 1e-9.
inline double sinQuarterTurn(double z) {
    const double x = kTwoPi * z;
    const double x2 = x * x;
    double p = 1.0 / 6227020800.0;
    p = p * x2 - 1.0 / 39916800.0;
    p = p * x2 + 1.0 / 362880.0;
    p = p * x2 - 1.0 / 5040.0;
    p = p * x2 + 1.0 / 120.0;
    p = p * x2 - 1.0 / 6.0;
    return x + x * x2 * p;
}

// cos and sin of `radians`.
inline void cosSin(double radians, double& c, double& s) {
    // Round to nearest by the 1.5 * 2^52 trick: no rounding instruction
    // needed, so it vectorises on plain SSE2 too.
    constexpr double kRound = 6755399441055744.0;
    const double turns = radians * kInvTwoPi;
    const double f = turns - ((turns + kRound) - kRound);  // in [-1/2, 1/2]
    const double a = f < 0.0 ? -f : f;
    const double half = f < 0.0 ? -0.5 : 0.5;
    s = sinQuarterTurn(a <= 0.25 ? f : half - f);
    c = sinQuarterTurn(0.25 - a);
}

}  // namespace velmora::phasor
