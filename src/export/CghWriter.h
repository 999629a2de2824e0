#pragma once
// The CGH point files: colour, grey and the three per-channel files of one
// view. Each writer walks one sampled frame, draws one random phase per
// accepted point and writes every point line as it comes.
//
// Layout (every line end is CR LF, the last line has none):
//   header     "%d %.1f %.1f 0" (count, Output_Scalxy, Output_Scalz) padded
//              with spaces to 41 characters (42 in the grey file)
//   points     "%d %f %f %f %f %f %f %f" colour: index x y z phase r g b
//              "%d %f %f %f %f %f"       grey: index x y z phase grey,
//                                        per channel: its own fraction
//   statistics "Statics: Maxx=%f Minx=%f Maxy=%f Miny=%f Maxz=%f Minz=%f "
//   viewpoint  "ViewPoint: x=%f  y=%f z=%f"

#include "export/WriteResult.h"
#include "platform/RandomGenerator.h"

#include <string>

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

constexpr int kColourPlaceholder = 41;
constexpr int kGreyPlaceholder = 42;

// The first line's text without padding or line end.
std::string cghHeader(int pointCount, float scaleXy, float scaleZ);
// The statistics line with its trailing space and line end.
std::string cghStatisticsLine(const SampleBounds& bounds);
// The viewpoint line, without a line end.
std::string cghViewpointLine(const Viewpoint& viewpoint);
// The per-channel file name "%s<letter>%s" of stem and suffix.
std::string channelFileName(const std::string& stem, char letter, const std::string& suffix);

// Writers over a frame already sampled: one phase from `random` per point,
// the header's scales from `scales`. A file that cannot be created prints
// "Cant open file\n" on standard error and writes nothing; any failure
// leaves existing files untouched.
WriteResult writeColourCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                           RandomGenerator& random, const Viewpoint& viewpoint);
WriteResult writeGreyCgh(const SampledFrame& frame, const std::string& path, const OutputScales& scales,
                         RandomGenerator& random, const Viewpoint& viewpoint);
// Files stem+"r"+suffix, stem+"g"+suffix, stem+"b"+suffix; one phase per
// point, the same in all three.
WriteResult writeChannelCgh(const SampledFrame& frame, const std::string& stem, const std::string& suffix,
                            const OutputScales& scales, RandomGenerator& random, const Viewpoint& viewpoint);

}  // namespace velmora
