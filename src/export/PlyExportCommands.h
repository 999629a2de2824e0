#pragma once
// The PLY export commands, single view and view series, run like the CGH
// commands: save dialog ("Export Object", filter "PLY File" / "*.ply"),
// naming, the black export frame, sampling and writing, the completion box
// or the error box, then the viewing colour and a redraw.

#include "export/ExportCommands.h"
#include "export/PlyWriter.h"

#include <string>

namespace velmora {

inline constexpr const char* kPlyFilterName = "PLY File";
inline constexpr const char* kPlyFilterPattern = "*.ply";

// Appends ".ply" unless the name ends in ".ply" in any letter case.
std::string withPlyExtension(const std::string& chosen);
// A name that ends in four extension characters (after withPlyExtension):
// the file of view `number` (1, 2, ...): obj.ply -> obj3.ply.
std::string multiViewPlyFileName(const std::string& plyName, int number);

// `ascii` picks the layout OpenHolo reads; otherwise binary little-endian.
ExportOutcome exportPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client, bool ascii);
// The view range dialog and its checks as for the multi-view CGH commands,
// then one PLY file per view, numbered from 1.
ExportOutcome exportMultiViewPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                 bool ascii, const ViewProgress& progress = {});

}  // namespace velmora
