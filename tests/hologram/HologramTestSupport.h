#pragma once
// Small grids and hand-computed fields for the hologram tests.

#include "hologram/ComplexField.h"
#include "hologram/HologramSettings.h"

#include <cmath>
#include <complex>

namespace velmora::testing {

constexpr double kPi = 3.14159265358979323846;

// A small grid, FFTs planned without measuring and no wisdom written.
inline HologramSettings smallGrid(int size, double pitch = 8e-6) {
    HologramSettings s;
    s.width = s.height = size;
    s.pitch = pitch;
    s.planning = FftPlanning::Estimate;
    s.wisdomFolder.clear();
    return s;
}

inline double relativeL2(const ComplexField& a, const ComplexField& b) {
    double diff = 0, ref = 0;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        diff += std::norm(a.values[i] - b.values[i]);
        ref += std::norm(b.values[i]);
    }
    return std::sqrt(diff / ref);
}

// The brightest pixel's column and row.
inline std::pair<int, int> brightest(const ComplexField& f) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < f.values.size(); ++i)
        if (std::norm(f.values[i]) > std::norm(f.values[best])) best = i;
    return {static_cast<int>(best % f.width), static_cast<int>(best / f.width)};
}

}  // namespace velmora::testing
