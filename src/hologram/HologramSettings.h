#pragma once
// Every choice a hologram computation takes, with the defaults the programs
// start from. Lengths are in metres.

#include "hologram/DeviceSettings.h"

#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

enum class HologramMethod {
    RecordingPlane,  // points onto a plane near the object, then one propagation
    Direct,          // every point onto every pixel: the reference, slow
};

enum class FftPlanning {
    Measure,   // slow to plan once (wisdom is kept), fastest transforms
    Estimate,  // no planning time; for tests and one-off small grids
};

struct HologramSettings {
    int width = 1920;
    int height = 1080;
    double pitch = 8e-6;
    // Model units to metres: x * scaleXy * unit, z * scaleZ * unit, with the
    // scales from the file. holoFit, when set, replaces unit so that the
    // object's larger lateral span is this fraction of the shorter side.
    double unit = 1e-3;
    std::optional<double> holoFit;
    // From the nearest point to the hologram plane.
    double distance = 0.1;
    HologramMethod method = HologramMethod::RecordingPlane;
    // From the nearest point to the one recording plane, towards the
    // hologram. Unset: per wavelength, planes among the points, each bin of
    // depths on the plane in its middle. Points within recordingZone pixels'
    // reach of their plane (5.6 mm at 638 nm to 8.0 mm at 450 nm with the
    // default pitch), on either side, are drawn from the near-zone table;
    // farther ones as zones of their wave, which are then at least that
    // wide. Where the table does not hold (fine pitches), each plane lies
    // that far in front of its nearest point. A zone only a few pixels wide
    // diffracts at its own edge, and the hologram then differs from the
    // direct sum by more than 5 %: a gap given here must leave the nearest
    // zone at least kSmallestZone pixels wide.
    std::optional<double> recordingGap;
    int recordingZone = 28;
    // The outer fraction of each zone that fades to zero.
    double taper = 0.5;
    double red = 638e-9;
    double green = 520e-9;
    double blue = 450e-9;
    double grey = 532e-9;
    // 0: as many threads as the machine has.
    int threads = 0;
    FftPlanning planning = FftPlanning::Measure;
    // Where FFTW's wisdom is kept; empty: none is read or written.
    std::string wisdomFolder;
    // The reconstruction (the preview, the focus window) follows the
    // computation: its buffers are counted in the memory asked for up front.
    bool reconstruct = true;
    // Prefixes /proc and /sys where the memory available is read.
    std::string memoryRoot;
    // Bytes the computation may take; 0: half of what the system has
    // available. Sets the tile size of a tiled hologram.
    std::uint64_t memoryBudget = 0;
    // Computed in tiles (sides up to kLargestTiledSide); tileSize, when not
    // 0, is the tiles' side instead of the largest the budget allows.
    bool tiled = false;
    int tileSize = 0;
    // The device the pictures are for, and so what the preview shows.
    DeviceSettings device;
};

// $XDG_CACHE_HOME/VELMORA, else ~/.cache/VELMORA; empty without either.
std::string defaultWisdomFolder();

// The smallest distance a point may have from the hologram plane.
constexpr double kNearestAllowed = 1e-3;

// The narrowest zone, in pixels each side of the nearest point, that keeps
// the recording-plane hologram within 5 % (relative L2) of the direct sum:
// 301 points 8 to 9 mm deep, 20 mm away, 192 x 192 at 8 um, 532 nm measured
// 0.0503 at 24 pixels, 0.0476 at 25 and 0.0406 at 28.
constexpr int kSmallestZone = 25;

}  // namespace velmora
