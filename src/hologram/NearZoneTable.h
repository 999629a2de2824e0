#pragma once
// The field a point makes on a plane close to it, taken from a table
// instead of drawn from its spherical wave. Close to the plane a point's
// zone is only a few pixels wide; cutting the sampled wave there diffracts
// at the cut, which is why zones drawn from the wave must keep a gap of
// tens of pixels. The band-limited field itself has no cut: its angular
// spectrum is the direct sum's aperture window W times the transfer over
// the depth d, and, the angles being small, it splits into one factor per
// axis,
//
//   a / r exp(i (k r + phase))  ~  a i lambda exp(i (k d + phase)) G_d(t_x) G_d(t_y),
//   G_d(t) = integral of W(f) exp(-i pi lambda d f^2) exp(2 pi i f t) df,
//
// with W(f) = fade(lambda |f| / sine), the per-axis window of the direct
// sum. Far from the plane G_d is the wave's own chirp (stationary phase);
// close to it G_d becomes the band's interpolating kernel, a few pixels
// wide, so points can lie on either side of the plane, at any distance
// from it up to the table's range.
//
// Wherever the per-axis form holds the band's edge is the grid's Nyquist
// frequency, so in pixels and in lambda d / pitch^2 the kernel is the same
// for every wavelength and pitch: one table per taper and range serves every
// channel, and is made once per process. It holds G for depths across the
// range, sixteen offsets to the pixel; values between are interpolated in
// both.

#include <memory>
#include <optional>

namespace velmora {

class NearZoneTable {
public:
    // Whether the per-axis form holds to a tenth of a radian out to `range`:
    // it leaves out k d sin^4 / 8 of the exact phase.
    static bool holds(double wavelength, double pitch, double range);
    // The table for `range` (metres either side of the plane); nothing
    // where the per-axis form does not hold.
    static std::optional<NearZoneTable> make(double wavelength, double pitch, double taper, double range,
                                             int threads);

    double range() const { return range_; }
    // Pixels either side of the point that its field takes at `depth`.
    double halfWidth(double depth) const;
    // factors[2i], factors[2i + 1]: G_depth((first + i) pitch) for i < count,
    // interleaved, and i times it in `turned`. |depth| <= range.
    void factors(double depth, double first, int count, float* factors, float* turned) const;

    struct Levels;

private:
    NearZoneTable() = default;

    std::shared_ptr<const Levels> levels_;
    double pitch_ = 0.0, range_ = 0.0;
    double reachPixels_ = 0.0;  // how far the light reaches sideways, in pixels per metre of depth
    double depthScale_ = 0.0;  // lambda / pitch^2: metres of depth to the table's
};

// Pixels beyond the reach of the point's light where its field is still
// kept: the band's kernel has 4e-5 of its energy beyond them.
constexpr int kNearZoneTail = 6;

}  // namespace velmora
