#include "export/PlyExportCommands.h"

#include "platform/NameSuffix.h"

namespace velmora {

namespace {

const SaveDialog kPlyDialog{kExportTitle, {kPlyFilterName, kPlyFilterPattern}, withPlyExtension};

PlyLayout layoutOf(bool ascii) { return ascii ? PlyLayout::Ascii : PlyLayout::Binary; }

}  // namespace

std::string withPlyExtension(const std::string& chosen) {
    static constexpr char kEnding[] = ".ply";
    return hasSuffixIgnoringCase(chosen, kEnding) ? chosen : chosen + kEnding;
}

std::string multiViewPlyFileName(const std::string& plyName, int number) {
    const std::string stem = plyName.size() >= 4 ? plyName.substr(0, plyName.size() - 4) : std::string();
    return stem + std::to_string(number) + ".ply";
}

ExportOutcome exportPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client, bool ascii) {
    return runSingleViewExport(view, prompt, state, client, kPlyDialog,
                               [&](const SampledFrame& frame, const std::string& name, int, const Viewpoint&) {
                                   return writePly(frame, name, state, layoutOf(ascii));
                               });
}

ExportOutcome exportMultiViewPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                 bool ascii, const ViewProgress& progress) {
    return runSeriesExport(
        view, prompt, state, client, kPlyDialog,
        [&](const SampledFrame& frame, const std::string& name, int number, const Viewpoint&) {
            return writePly(frame, multiViewPlyFileName(name, number), state, layoutOf(ascii));
        },
        progress);
}

}  // namespace velmora
