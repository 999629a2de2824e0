#pragma once
// The options of velmora-export and their parsing.

#include "export/ViewSeries.h"
#include "cmdline/HologramOptions.h"
#include "platform/Result.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct CommandLine {
    std::string model;

    // The frame.
    int width = 800;
    int height = 600;
    bool twoSided = true;  // the "Force 2-Sided Materials" setting
    std::array<float, 3> eye{0.0f, 0.0f, 30.0f};
    float scale = 1.0f;
    std::array<float, 3> offset{0.0f, 0.0f, 0.0f};
    float rotX = 0.0f;
    float rotY = 0.0f;
    std::vector<float> rescale;  // rescale steps, applied in order
    bool fit = false;            // move the eye so that the whole model shows

    // What to do.
    bool info = false;
    std::optional<std::string> png;
    std::optional<std::string> colour;
    std::optional<std::string> grey;
    std::optional<std::string> channels;
    std::optional<std::string> threeDi;
    std::optional<std::string> ply;       // binary PLY point cloud
    std::optional<std::string> plyAscii;  // ASCII PLY for CGH libraries
    std::optional<std::string> hologram;  // prefix of the hologram's files
    bool greyHologram = false;            // one grey hologram instead of three colours
    std::optional<ViewRange> views;
    std::optional<ViewShare> viewShare;  // only this share of the views

    // Export settings.
    std::array<float, 3> viewpoint{0.0f, 0.0f, 30.0f};
    bool viewpointGiven = false;  // --fit leaves a given viewpoint alone
    float scalxy = 1.0f;
    float scalz = 1.0f;
    std::optional<std::uint32_t> seed;
    HologramOptions hologramOptions;  // the --holo-* options, as velmora-holo reads them

    bool verbose = false;
    bool help = false;
    bool version = false;

    bool hasExport() const { return colour || grey || channels || threeDi || ply || plyAscii || hologram; }
    bool hasSeriesExport() const { return colour || grey || channels || ply || plyAscii || hologram; }
};

// Parses argv[1..]. On an error returns nothing and sets `error` to a
// one-line message.
Result<CommandLine> parseCommandLine(const std::vector<std::string>& args);

// The text of --help.
const std::string& commandLineUsage();

}  // namespace velmora
