#pragma once
// What a hologram computation leaves on disk, and the reconstruction behind
// the preview and the focus slider. Every file goes through a temporary
// file and a rename, like the point files.
//
//   PREFIX-<nm>nm.png   8-bit phase-only picture per wavelength, fixed map:
//                       phase -pi -> 0, 0 -> 128, +pi wraps to 0 (never
//                       stretched to the data, so pictures of different
//                       runs compare)
//   PREFIX-<nm>nm.npy   optional: the complex field as complex64, rows top first
//   PREFIX-preview.png  optional: the phase-only holograms propagated back to
//                       the object's middle depth, row 0 at the top

#include "hologram/HologramComputer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

struct HologramOutputRequest {
    std::string prefix;
    bool npy = false;
    bool preview = true;
};

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // row 0 at the top
};

// The grey level of a phase in radians.
std::uint8_t phaseLevel(double phase);
// The phase a grey level stands for, in [-pi, pi).
double levelPhase(std::uint8_t level);

// The phase-only hologram of `field` as the 8-bit picture decodes it.
ComplexField phaseOnly(const ComplexField& field);

// Focuses the phase-only holograms at any distance from the hologram.
class Reconstruction {
public:
    Reconstruction(const HologramSet& set, const HologramSettings& settings);
    ~Reconstruction();

    // Intensity of each channel at `distance` (metres from the hologram,
    // towards the object). A failure says why (no memory for it, no plan);
    // nothing is thrown.
    Result<std::vector<std::vector<double>>> intensities(double distance);
    // The picture at `distance`: the channels share one normalisation (the
    // 99.9th percentile of all their intensities) so white stays white;
    // grey fills all three.
    Result<RgbPicture> refocus(double distance);

private:
    void unusable(const std::string& why);
    std::vector<std::vector<double>> propagatedIntensities(double distance);

    std::vector<double> wavelengths_;
    std::vector<ComplexField> phaseOnly_;
    std::unique_ptr<class FourierTransform> fft_;
    std::string unusable_;  // why no step can work: set up without memory or plan
};

// The PNG bytes of a picture (grey: channels 1, RGB: channels 3).
std::vector<std::uint8_t> encodePng(int width, int height, int channels, const std::uint8_t* pixels);
// The .npy (version 1.0, '<c8') bytes of a field.
std::vector<std::uint8_t> encodeNpy(const ComplexField& field);

// The files writeHologramOutputs() writes for colour points (638, 520 and
// 450 nm) or grey ones (532 nm), in its order: known before any computing.
std::vector<std::string> hologramOutputNames(bool colour, const HologramSettings& settings,
                                             const HologramOutputRequest& request);

// Writes the files; returns their paths or why one could not be written.
Result<std::vector<std::string>> writeHologramOutputs(const HologramSet& set, const HologramSettings& settings,
                                                      const HologramOutputRequest& request,
                                                      const HologramProgress& progress = {});

}  // namespace velmora
