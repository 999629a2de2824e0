#pragma once
// The two PLY layouts, one place for the writer and the reader.
//
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

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

enum class PlyLayout { Ascii, Binary };

constexpr std::string_view kPlyAsciiFormat = "format ascii 1.0";
constexpr std::string_view kPlyBinaryFormat = "format binary_little_endian 1.0";
// The ASCII layout's one "color" data line.
constexpr std::string_view kPlyColourData = "3\n";

// The header of a file of `count` points up to and including "end_header\n",
// with `padding` spaces at the end of its comment line.
std::string plyHeader(PlyLayout layout, std::int64_t count, std::size_t padding = 0);

}  // namespace velmora
