#pragma once
// The CGH point files' layout, one place for the writers and the reader:
// colour, grey and the three per-channel files of one view.
//
// Every line end is CR LF, the last line has none:
//   header     "%d %.1f %.1f 0" (count, Output_Scalxy, Output_Scalz) padded
//              with spaces to 41 characters (42 in the grey file); a header
//              too long for its placeholder stands at its full length
//   points     "%d %f %f %f %f %f %f %f" colour: index x y z phase r g b
//              "%d %f %f %f %f %f"       grey: index x y z phase grey,
//                                        per channel: its own fraction
//   statistics "Statics: Maxx=%f Minx=%f Maxy=%f Miny=%f Maxz=%f Minz=%f "
//   viewpoint  "ViewPoint: x=%f  y=%f z=%f"

#include "pointfile/NumberText.h"
#include "pointfile/SampledFrame.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace velmora {

// The export's two output scales (Output_Scalxy, Output_Scalz).
struct OutputScales {
    float xy = 1.0f;
    float z = 1.0f;
};

struct Viewpoint {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// The header line's length without its line end: colour and per-channel
// files, grey files.
constexpr std::size_t kColourPlaceholder = 41;
constexpr std::size_t kGreyPlaceholder = 42;
// A point line: four fixed-notation doubles and at most 128 bytes of index,
// separators, the short fraction texts and the line end.
constexpr std::size_t kLongestCghLine = 4 * kMaxFixedChars + 128;
// How the two closing lines start.
constexpr std::string_view kStatisticsStart = "Statics:";
constexpr std::string_view kViewpointStart = "ViewPoint:";

// The first line's text without padding or line end.
std::string cghHeader(int pointCount, float scaleXy, float scaleZ);
// The statistics line with its trailing space and line end.
std::string cghStatisticsLine(const SampleBounds& bounds);
// The viewpoint line, without a line end.
std::string cghViewpointLine(const Viewpoint& viewpoint);
// The per-channel file name "%s<letter>%s" of stem and suffix.
std::string channelFileName(const std::string& stem, char letter, const std::string& suffix);

}  // namespace velmora
