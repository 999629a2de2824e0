#pragma once
// One velmora-holo run: the inputs grouped into point sets, a hologram per
// set, its files.

#include "cmdline/ExitStatus.h"
#include "cmdline/HologramOptions.h"
#include "hologram/HologramTiles.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct HoloJob {
    HologramOptions options;
    std::vector<std::string> files;
    std::optional<std::string> output;  // prefix, for a single input
    // Tiles even when the whole hologram fits; this run's share of them.
    std::optional<TileShare> tiles;
    bool wholePicture = false;  // a tiled hologram's picture also put together whole
};

// The three names of a per-channel set that `path` belongs to (red, green,
// blue, all existing) and the name without its letter; nothing when the
// siblings are not there.
std::optional<std::vector<std::string>> channelSiblings(const std::string& path, std::string& withoutLetter);

ExitStatus runHoloJob(const HoloJob& job);

}  // namespace velmora
