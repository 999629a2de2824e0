#pragma once
// What the device that shows a hologram takes: how the complex field becomes
// grey levels, and what each grey level does to the light. The defaults are
// an 8-bit phase modulator with 2 pi over its 256 levels, grey 128 for phase 0.

#include "hologram/PhaseLut.h"

#include <array>
#include <optional>
#include <vector>

namespace velmora {

enum class HologramEncoding {
    Phase,        // the field's phase on a phase modulator
    DoublePhase,  // amplitude and phase on a phase modulator, two phases per pair of pixels
    Amplitude,    // the field on an off-axis carrier, for amplitude modulators and film
    Binary,       // the amplitude picture diffused to 0 and 1, for micromirrors and printed masks
};

struct DeviceSettings {
    HologramEncoding encoding = HologramEncoding::Phase;
    // Bits per grey level in the picture: 8 or 16 (a binary picture has 1).
    int bits = 8;
    // Grey levels the device takes, 0 to levels - 1; unset: all that the bits hold.
    std::optional<int> levels;
    // The phase between grey 0 and grey `levels` on a phase modulator; the
    // middle grey is phase 0.
    double phaseRange = 2 * 3.14159265358979323846;
    // Measured modulators: the phase of each grey level, per wavelength
    // (metres; 0 stands for every wavelength without its own).
    std::vector<std::pair<double, PhaseLut>> luts;
    // The carrier in cycles per pixel along x (columns) and y (rows, up).
    // Unset: none for the phase encodings, a quarter of the sampling
    // frequency along x for amplitude and binary.
    std::optional<std::array<double, 2>> tilt;

    int greyLevels() const { return levels ? *levels : 1 << bits; }
    // Today's picture: 8 bits, 2 pi over 256 levels, no table, no carrier.
    bool plainPhase() const {
        return encoding == HologramEncoding::Phase && bits == 8 && !levels && luts.empty() && !tilt &&
               phaseRange == 2 * 3.14159265358979323846;
    }
    const PhaseLut* lut(double wavelength) const;
    std::array<double, 2> carrier() const;
};

}  // namespace velmora
