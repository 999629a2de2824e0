#pragma once
// Point clouds in PLY for hologram libraries and point tools, written from
// one sampled frame: the same points in the same order, with the same phase
// draws, as the colour CGH file of that frame (x is the inverted world x).
//
// Two layouts:
//   Ascii   the layout OpenHolo's point-cloud reader takes: an element
//           "color" with one int "channel" (its one data line is 3), then
//           the element "vertex" with float x y z, uchar red green blue and
//           double phase. Lines end in LF. Coordinates are written as the
//           shortest text that reads back as the same single-precision value
//           (subnormal values as 0, which some readers refuse); the phase as
//           the shortest text of the double the CGH file prints.
//   Binary  binary_little_endian 1.0 for point tools: float x y z, uchar red
//           green blue, float phase; 19 bytes a point.
//
// The point count is written into the header once the pass is done: the
// header is first written for the largest count the frame allows, and a
// comment line in it absorbs the digits the real count does not need.

#include "export/CghWriter.h"

#include <cstdint>
#include <string>

namespace velmora {

enum class PlyLayout { Ascii, Binary };

// The header of a file of `count` points up to and including "end_header\n",
// with `padding` spaces at the end of its comment line.
std::string plyHeader(PlyLayout layout, std::int64_t count, std::size_t padding = 0);

// Writes the frame's points to `path`. One phase is drawn from `random` per
// accepted point. A file that cannot be created prints "Cant open file\n"
// on standard error; any failure leaves an existing file untouched.
WriteResult writePly(const SampledFrame& frame, const std::string& path, RandomGenerator& random, PlyLayout layout);

}  // namespace velmora
