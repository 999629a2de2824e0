#pragma once
// Reads the point files VELMORA writes back into points: the colour, grey
// and per-channel CGH text files and both PLY layouts.
//
// CGH (CghLayout.h): lines end in CR LF (a bare LF is accepted too). The
// first line is "count Output_Scalxy Output_Scalz 0" padded to 41
// characters (colour and per-channel files) or 42 (grey); a header too long
// for its placeholder stands at its full length. Point lines "index x y z phase r g b" (8
// fields) or "index x y z phase value" (6 fields), then the optional
// "Statics:" and "ViewPoint:" lines, which carry nothing a hologram needs.
// A 6-field file with a 41-character first line is one channel of a
// per-channel set; its value goes into all three colours until
// mergeChannels() puts the three files together.
//
// PLY (PlyLayout.h): "format ascii 1.0" or "format binary_little_endian 1.0", a "vertex"
// element with x, y, z, red, green, blue and phase in any order and scalar
// type; other elements (the ASCII layout's "color") are skipped.
//
// readPointFile maps a regular file and reads a pipe or device as it comes,
// holding the points and never the whole file. A folder cannot be opened; a
// FIFO without a writer is empty; a line longer than any the writers make
// (/dev/zero, a binary file) is refused at once, and so is a point count the
// memory left could not hold. Every failure, running out of memory included,
// is a failure Result.

#include "hologram/HologramPoints.h"
#include "platform/Result.h"

#include <string>
#include <string_view>

namespace velmora {

enum class PointFileKind { ColourCgh, GreyCgh, ChannelCgh, Ply };

struct PointFile {
    PointFileKind kind = PointFileKind::ColourCgh;
    HologramPoints points;
};

Result<PointFile> parsePointFile(std::string_view bytes);
Result<PointFile> readPointFile(const std::string& path);

// One colour point set from the red, green and blue files of one view: the
// same count, positions and phases in each.
Result<HologramPoints> mergeChannels(const PointFile& red, const PointFile& green, const PointFile& blue);

}  // namespace velmora
