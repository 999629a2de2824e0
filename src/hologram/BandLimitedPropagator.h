#pragma once
// Band-limited angular spectrum propagation (Matsushima and Shimobaba,
// Opt. Express 17, 19662, 2009). The transfer function
// exp(i 2 pi d sqrt(1/lambda^2 - fx^2 - fy^2)) is kept only where its own
// sampling on the grid does not alias: |f| <= 1 / (lambda sqrt((2 d / S)^2 + 1))
// per axis, S the grid's extent. Evanescent waves are dropped.

#include "hologram/ComplexField.h"
#include "hologram/FourierTransform.h"

namespace velmora {

// The grid whose extent sets the band limit, when it is not the
// transform's own (0: the transform's).
struct BandGrid {
    int width = 0;
    int height = 0;
};

class BandLimitedPropagator {
public:
    // Works on `fft`'s buffer; the transform's size is the grid's. The
    // transfer function is applied by `threads` threads (0: all cores).
    explicit BandLimitedPropagator(FourierTransform& fft, int threads = 0) : fft_(fft), threads_(threads) {}

    // Propagates the whole field (its size must be the transform's) by
    // `distance` metres along the light (negative: back).
    void propagate(ComplexField& field, double wavelength, double distance);

    // Embeds `field` in the middle of the twice as large transform grid with
    // zeros around it, propagates, and returns the middle part: the padding
    // keeps the circular convolution from wrapping light round the edges.
    ComplexField propagatePadded(const ComplexField& field, double wavelength, double distance);

    // The same steps on the transform's buffer, for callers that fill it
    // themselves. `bandDistance`, when larger than |distance|, sets the band
    // limit instead: a field carried to the hologram in several steps keeps
    // only what the whole way lets through, so no step wraps light round
    // the grid that one propagation would have cut.
    // `band`, when given, sets the limit for a larger grid than the
    // transform's: a part of a large field, computed on a grid that covers
    // the part and the reach of its light, then keeps what the large field's
    // propagation keeps.
    void propagateBuffer(double pitch, double wavelength, double distance, double bandDistance = 0.0,
                         BandGrid band = {});
    void applyTransferFunction(double pitch, double wavelength, double distance, double bandDistance = 0.0,
                               BandGrid band = {});
    // `field` in the middle of the transform's buffer, zeros around it.
    void placePadded(const ComplexField& field);
    // The middle width x height part of the buffer, with the geometry given.
    ComplexField croppedBuffer(int width, int height, double pitch, double originColumn, double originRow) const;

private:
    FourierTransform& fft_;
    int threads_;
};

// The frequency limit per axis (cycles per metre) for `distance` on a grid
// `size` pixels long.
double bandLimit(double wavelength, double pitch, double distance, int size);

}  // namespace velmora
