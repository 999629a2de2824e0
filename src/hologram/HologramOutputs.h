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
    // computeAndWriteHolograms() hands the fields back (to score them).
    bool keepFields = false;
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

// The grey levels of `field`'s phase-only picture, row by row.
std::vector<std::uint8_t> phaseLevels(const ComplexField& field, int threads = 0);
std::vector<std::uint8_t> phaseLevels(const FieldRows& rows, int threads = 0);

// Focuses the phase-only holograms at any distance from the hologram. Each
// channel's spectrum is computed once, so a refocus is one transfer
// function and one inverse transform per channel. One call at a time: the
// calls share the transform's buffer.
class Reconstruction {
public:
    Reconstruction(const HologramSet& set, const HologramSettings& settings);
    ~Reconstruction();

    // Intensity of each channel at `distance` (metres from the hologram,
    // towards the object). A failure says why (no memory for it, no plan);
    // nothing is thrown.
    Result<std::vector<std::vector<float>>> intensities(double distance);
    // The picture at `distance`: the channels share one normalisation (the
    // 99.9th percentile of all their intensities) so white stays white;
    // grey fills all three.
    Result<RgbPicture> refocus(double distance);

private:
    void unusable(const std::string& why);

    int width_ = 0;
    int height_ = 0;
    double pitch_ = 0.0;
    int threads_ = 0;
    std::vector<double> wavelengths_;
    std::vector<ComplexValues> spectra_;  // of each padded phase-only hologram
    std::unique_ptr<class FourierTransform> fft_;
    std::string unusable_;  // why no step can work: set up without memory or plan
};

// The picture of the channels' intensities, as Reconstruction::refocus
// makes it.
Result<RgbPicture> intensityPicture(int width, int height, const std::vector<std::vector<float>>& channels);

// An RGB (channels 3) or grey picture as PNG, encoded row by row into
// `file` with Huffman codes of the rows' differences: for the preview, 45 %
// of the raw size (zlib's default level: 48 %) in a ninth of the time.
// Phase pictures are noise to a compressor (zlib's fastest level saves 7 %
// in five times the time) and go through StoredPngWriter instead.
Result<void> writePng(class OutputFile& file, int width, int height, int channels, const std::uint8_t* pixels);
// The .npy (version 1.0, '<c8') file of a field, its values written as
// they lie in memory.
Result<void> writeNpy(class OutputFile& file, const ComplexField& field);

// The files writeHologramOutputs() writes for colour points (638, 520 and
// 450 nm) or grey ones (532 nm), in its order: known before any computing.
std::vector<std::string> hologramOutputNames(bool colour, const HologramSettings& settings,
                                             const HologramOutputRequest& request);

// Writes the files of holograms computed already; returns their paths or
// why one could not be written. Every file is complete before the first
// is put in place.
Result<std::vector<std::string>> writeHologramOutputs(const HologramSet& set, const HologramSettings& settings,
                                                      const HologramOutputRequest& request,
                                                      const HologramProgress& progress = {});

struct WrittenHolograms {
    std::vector<std::string> paths;
    HologramSet frame;  // the channels, without fields
};

// Computes the holograms one channel at a time and writes each one's files
// before the next is computed, the preview from the computation's own
// transform: the least memory a hologram and its files take.
Result<WrittenHolograms> computeAndWriteHolograms(const HologramPoints& input, const HologramSettings& settings,
                                                  const HologramOutputRequest& request,
                                                  const HologramProgress& progress = {},
                                                  const std::atomic<bool>* cancel = nullptr);

}  // namespace velmora
