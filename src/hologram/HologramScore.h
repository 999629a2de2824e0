#pragma once
// How close a hologram's reconstruction comes to the picture its points
// stand for: PSNR, SSIM and speckle contrast of each channel in focus.
//
// The ideal image of a set of points puts each point's intensity
// (amplitude squared) on the reconstruction's grid at the point's own
// position, split bilinearly between the four nearest pixel centres, so a
// point between pixels weighs on each as its light does. Pixel centres
// follow ComplexField: column i at x = (i - (width - 1) / 2) pitch, row j
// at y = ((height - 1) / 2 - j) pitch.
//
// Only the pixels near the points count (the mask: every pixel the ideal
// image lights and its eight neighbours), so the dark surroundings, easy
// to get right, do not lift the figures. The reconstruction's brightness is
// arbitrary; it is first scaled to the ideal by least squares over the mask.
// PSNR and SSIM then use the ideal's brightest masked pixel as the peak
// (255 on an 8-bit picture): PSNR = 10 log10(peak^2 / mean squared error),
// SSIM with Wang et al.'s constants (0.01 peak)^2 and (0.03 peak)^2 and
// their 11 x 11 Gaussian window of sigma 1.5, cut at the grid's edge and
// renormalised there, averaged over the mask. Speckle contrast is the
// standard deviation over the mean of the reconstruction on the mask
// (1 for fully developed speckle, 0 for a smooth patch); a textured object
// adds its own texture's contrast.
//
// A deep object is scored in depth bands: the depth range is cut into
// bands one depth of focus thick (lambda / NA^2 at the longest wavelength,
// NA the steepest angle the pixel pitch and the hologram's half width let
// light reach the band's middle), at most kMostScoreBands of them; each
// band is focused at its middle and compared with its own points only.

#include "hologram/HologramComputer.h"
#include "platform/Result.h"

#include <cstddef>
#include <string>
#include <vector>

namespace velmora {

class Reconstruction;

struct ScoreImage {
    int width = 0;
    int height = 0;
    std::vector<double> values;  // row 0 at the top
};

struct ImageScore {
    double psnr = 0.0;  // dB
    double ssim = 0.0;
    double speckle = 0.0;
};

// One channel's figures in one depth band.
struct BandScore {
    std::string channel;
    double wavelength = 0.0;
    int band = 0;  // 1-based
    int bands = 0;
    double focus = 0.0;  // metres from the hologram
    std::size_t points = 0;
    ImageScore score;
};

inline constexpr int kMostScoreBands = 8;

// The figures over `mask` (nonzero: counted); `image` is taken as it is.
double peakSignalToNoise(const ScoreImage& image, const ScoreImage& reference, const std::vector<char>& mask,
                         double peak);
double structuralSimilarity(const ScoreImage& image, const ScoreImage& reference, const std::vector<char>& mask,
                            double peak);
double speckleContrast(const ScoreImage& image, const std::vector<char>& mask);

// The ideal image of `points` (amplitude squared each) on a grid of
// `pitch`; points outside the grid leave nothing.
ScoreImage idealImage(const std::vector<PlanePoint>& points, const std::vector<double>& amplitudes, int width,
                      int height, double pitch);
// Every pixel `ideal` lights, with its eight neighbours.
std::vector<char> pointMask(const ScoreImage& ideal);

// `reconstruction` scaled to `ideal` by least squares over the mask and scored.
ImageScore scoreAgainstIdeal(const ScoreImage& reconstruction, const ScoreImage& ideal);

// Every channel in every depth band that holds points. `reconstruction`
// must come from the hologram of `placed`, on the grid `settings` give.
Result<std::vector<BandScore>> scoreReconstruction(Reconstruction& reconstruction, const PlacedPoints& placed,
                                                   const HologramSettings& settings);
// The same from the points and their computed hologram: places the points
// again and builds the reconstruction for it.
Result<std::vector<BandScore>> scoreHologram(const HologramPoints& input, const HologramSet& set,
                                             const HologramSettings& settings);

// "score red 638 nm band 1/2 at 100.25 mm (1200 points): PSNR 17.31 dB, SSIM 0.6100, speckle 0.8300"
std::string scoreLine(const BandScore& score);

}  // namespace velmora
