#pragma once
// The questions the desktop program asks before an export, in the order its
// commands ask them: the view range form of a series and its refusals, then
// the save dialog. The answer is the request the core carries out.

#include "export/ExportCommands.h"

#include <optional>

namespace velmora {

class GlView;

struct ExportQuestion {
    ExportKind kind = ExportKind::Colour;
    bool series = false;
    PlyLayout plyLayout = PlyLayout::Binary;
};

// Nothing when the person cancels, the range is refused or no model is open
// yet (`view` null). A cancelled save dialog redraws the viewing frame.
std::optional<ExportRequest> askExport(Prompt& prompt, GlView* view, const ExportQuestion& question);

}  // namespace velmora
