#pragma once
// Holograms too large for memory, computed in square tiles. A tile's light
// comes only from within the reach of the band limit the whole hologram
// would keep, D tan(theta) from it (D the farthest plane's distance), so
// each tile is computed on its own grid, the tile grown by twice that reach
// on each side (the response's tail, see tileMargins), and its levels are
// read from the grid's middle. The largest tile whose grid and levels fit
// the memory budget with the points sets how many tiles there are; the
// tiles are then as small as that many can be, on the smallest grids.
//
// Files, PREFIX as for a whole hologram:
//   PREFIX-<nm>nm-r<row>-c<col>.png  one stored (uncompressed) phase
//                       picture per tile and wavelength, rows and columns
//                       from 0 at the top left, zero-padded to the digits of
//                       the last one (r00 .. r11), so names sort in order
//   PREFIX-tiles.txt    the manifest (format in the README)
//   PREFIX-<nm>nm.png   on request: the whole picture, put together from
//                       the tiles' files one row at a time
// No preview and no .npy files: either would need the whole field.
//
// A run may compute one share of the tiles: share K of N takes the tiles
// K-1, K-1+N, ... in row-major order, and every share writes the same
// manifest. A tile whose file exists with the manifest's size is complete
// (files are renamed into place whole) and is kept, so a run that stopped
// picks up where it did.

#include "hologram/HologramComputer.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct TileLayout {
    int tile = 0;                       // a tile's side; the last row and column may be narrower
    int marginX = 0, marginY = 0;       // the grid's columns left of the tile, rows above it
    int gridWidth = 0, gridHeight = 0;  // at least tile + 2 margins, a size FFTW is fast at
    int rows = 0, columns = 0;

    HologramRegion window(int row, int column, const HologramSettings& settings) const;
};

// The grid's margin along each axis for light from `farthest` metres that
// keeps the whole hologram's band at each wavelength.
std::pair<int, int> tileMargins(const HologramSettings& settings, const std::vector<double>& wavelengths,
                                double farthest);

// Bytes a tile of side `tile` takes on grids of the sizes given, with the points.
std::uint64_t tileMemory(int tile, int gridWidth, int gridHeight, std::size_t points, std::size_t channels);

// The largest tiles within `budget` bytes (or of settings.tileSize);
// nothing when not even one pixel's tile fits.
std::optional<TileLayout> tileLayout(const HologramSettings& settings, std::pair<int, int> margins, std::size_t points,
                                     std::size_t channels, std::uint64_t budget);

// settings.memoryBudget, or half the memory available (4 GiB when that is unknown).
std::uint64_t memoryBudget(const HologramSettings& settings);

// Whether the whole hologram, written as computeAndWriteHolograms() writes
// it, fits the budget.
bool wholeHologramFits(const HologramPoints& input, const HologramSettings& settings);

struct TileShare {
    int index = 1;  // from 1
    int count = 1;
};

struct TiledRequest {
    std::string prefix;
    TileShare share;
    bool wholePicture = false;
};

std::string tileManifestName(const std::string& prefix);

struct WrittenTiles {
    std::vector<std::string> paths;  // written by this run
    std::size_t kept = 0;            // tile files found complete
    HologramSet frame;
    TileLayout layout;
};

Result<WrittenTiles> computeAndWriteTiles(const HologramPoints& input, const HologramSettings& settings,
                                          const TiledRequest& request, const HologramProgress& progress = {},
                                          const std::atomic<bool>* cancel = nullptr);

}  // namespace velmora
