#pragma once
// The field of points summed straight onto a plane: each point adds
// a / r * exp(i (k r + phase)), r from the point to the pixel centre, but
// only where the fringes it draws stay below the grid's Nyquist frequency.
// Per axis the fringes' angle has sine |t| / r <= |t| / sqrt(t^2 + d^2)
// (t the offset along that axis, d the depth), and the zone is faded by
// the product of one window per axis in that bound, zero from
// lambda / (2 pitch) on, its outer `taper` fraction fading smoothly so that
// the cut draws no ringing.
//
// Given a near-zone table, a point that close to the plane (on either side)
// adds its band-limited field there instead, a few pixels wide.
//
// A point on the far side of the plane (depth < 0: the plane lies between
// the point and the source side) is met by the wave that converges on it:
// -a / r * exp(i (phase - k r)). Propagated past the point that wave becomes
// the diverging one, with the half turn of the focus already paid.

#include "hologram/ComplexField.h"
#include "hologram/LargeAllocator.h"

#include <atomic>
#include <vector>

namespace velmora {

class NearZoneTable;

struct PlanePoint {
    double x = 0.0;      // metres, in the plane's frame
    double y = 0.0;
    double depth = 0.0;  // distance from the point to the plane, along the light
    double amplitude = 0.0;
    double phase = 0.0;
};

// Millions of them for a covered frame: kept in huge pages where large.
using PlanePoints = std::vector<PlanePoint, LargeAllocator<PlanePoint>>;

struct KernelOptions {
    double wavelength = 532e-9;
    double taper = 0.5;
    int threads = 0;  // 0: all cores
    // true: every pixel from its own distance r (the reference).
    // false: a zone whose error stays small enough is drawn as the product
    // of one factor per axis, exp(i k (q_x - d)) d / q_x times the same in
    // y, which costs one complex multiply-add a pixel; its phase differs
    // from k r by k (dx dy)^2 / (4 d^3), at most 0.1 rad at the zone's
    // corners, where the fade has already taken the amplitude to zero.
    // Deeper zones are drawn pixel by pixel as with true.
    bool exact = true;
    // Set from another thread to stop early; the plane is then incomplete.
    const std::atomic<bool>* cancel = nullptr;
    // When not negative: the plane lies this far before a hologram of the
    // half extents given (metres, about the axis), and each zone keeps only
    // the part whose light meets it. A far point's zone is then a small
    // copy of the hologram's outline instead of the whole grid.
    double coneDistance = -1.0;
    double coneHalfWidth = 0.0;
    double coneHalfHeight = 0.0;
    // When set: points within its range of the plane, on either side, are
    // drawn as their band-limited field from the table.
    const NearZoneTable* nearZones = nullptr;
};

// Adds every point's field to `plane`.
void addPointField(ComplexField& plane, const PlanePoints& points, const KernelOptions& options);
void addPointField(const PlaneView& plane, const PlanePoints& points, const KernelOptions& options);

// The grid's aliasing limit sin(theta) = lambda / (2 pitch), kept below
// 1/sqrt(2) where the zone's bounds stop being finite.
double apertureSine(double wavelength, double pitch);

}  // namespace velmora
