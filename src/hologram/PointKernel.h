#pragma once
// The field of points summed straight onto a plane: each point adds
// a / r * exp(i (k r + phase)), r from the point to the pixel centre, but
// only where the fringes it draws stay below the grid's Nyquist frequency:
// per axis |d| / r <= lambda / (2 pitch), the zone's outer `taper` fraction
// fading to zero so that the cut draws no ringing.
//
// A point on the far side of the plane (depth < 0: the plane lies between
// the point and the source side) is met by the wave that converges on it:
// -a / r * exp(i (phase - k r)). Propagated past the point that wave becomes
// the diverging one, with the half turn of the focus already paid.

#include "hologram/ComplexField.h"

#include <vector>

namespace velmora {

struct PlanePoint {
    double x = 0.0;      // metres, in the plane's frame
    double y = 0.0;
    double depth = 0.0;  // distance from the point to the plane, along the light
    double amplitude = 0.0;
    double phase = 0.0;
};

struct KernelOptions {
    double wavelength = 532e-9;
    double taper = 0.5;
    int threads = 0;  // 0: all cores
    // true: k r and everything else in double precision (the reference).
    // false: k * depth and the point's phase in double, the small rest
    // k (r - depth) = k rho^2 / (r + depth) and the amplitude in single
    // precision, twice the lanes per instruction; the phase error stays
    // near 1e-4 rad for zones up to 0.1 m away.
    bool exact = true;
};

// Adds every point's field to `plane`.
void addPointField(ComplexField& plane, const std::vector<PlanePoint>& points, const KernelOptions& options);

// The grid's aliasing limit sin(theta) = lambda / (2 pitch), kept below
// 1/sqrt(2) where the zone's bounds stop being finite.
double apertureSine(double wavelength, double pitch);

}  // namespace velmora
