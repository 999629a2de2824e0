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

#include "export/SampledFrame.h"

#include <string>
#include <vector>

namespace velmora {

class Prompt;
struct ViewerState;

struct Viewpoint {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// What one writer call produced.
struct WriteResult {
    bool ok = false;
    SampleSummary summary;           // count and bounds of the points written
    std::vector<std::string> paths;  // the files written, in order (on success)
    std::string failedPath;          // on failure: the file that could not be written
    std::string error;               // on failure: why
    bool openFailed = false;         // the file could not be created at all
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

// Writers over a frame already sampled. The phases come from state.random,
// the header's scales from state.Output_Scalxy / Output_Scalz. A file that
// cannot be created prints "Cant open file\n" on standard error and writes
// nothing; any failure leaves existing files untouched.
WriteResult writeColourCgh(const SampledFrame& frame, const std::string& path, ViewerState& state,
                           const Viewpoint& viewpoint);
WriteResult writeGreyCgh(const SampledFrame& frame, const std::string& path, ViewerState& state,
                         const Viewpoint& viewpoint);
// Files stem+"r"+suffix, stem+"g"+suffix, stem+"b"+suffix; one phase per
// point, the same in all three.
WriteResult writeChannelCgh(const SampledFrame& frame, const std::string& stem, const std::string& suffix,
                            ViewerState& state, const Viewpoint& viewpoint);

// The same, sampling the frame just drawn on the current context first.
WriteResult writeColourCgh(const ClientRect& rect, const std::string& path, const Viewpoint& viewpoint,
                           Prompt& prompt, ViewerState& state);
WriteResult writeGreyCgh(const ClientRect& rect, const std::string& path, const Viewpoint& viewpoint,
                         Prompt& prompt, ViewerState& state);
WriteResult writeChannelCgh(const ClientRect& rect, const std::string& stem, const std::string& suffix,
                            const Viewpoint& viewpoint, Prompt& prompt, ViewerState& state);

}  // namespace velmora
