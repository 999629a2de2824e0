#include "export/PlyExportCommands.h"

#include "export/SurfaceSampler.h"
#include "platform/Prompt.h"
#include "view/GlView.h"
#include "view/ViewerState.h"

#include <cctype>
#include <cstdlib>
#include <optional>

namespace velmora {

namespace {

std::optional<std::string> askPlyName(Prompt& prompt) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = kExportTitle;
    request.filters.push_back({kPlyFilterName, kPlyFilterPattern});
    auto chosen = prompt.chooseFile(request);
    if (!chosen) return std::nullopt;
    return withPlyExtension(*chosen);
}

// The boxes that end a command, as the CGH commands show them.
void conclude(ExportOutcome& outcome, Prompt& prompt, const WriteResult* failure) {
    if (failure) {
        const std::string text = failure->openFailed
                                     ? "Cant open file " + failure->failedPath
                                     : "Cant write file " + failure->failedPath + ": " + failure->error;
        prompt.show(text, std::string(kErrorCaption), PromptIcon::Error);
        outcome.status = ExportStatus::Failed;
    } else {
        prompt.show(kCompleteText, std::string(kCompleteCaption));
        outcome.status = ExportStatus::Done;
    }
}

void collect(ExportOutcome& outcome, const WriteResult& result) {
    for (const auto& path : result.paths) outcome.files.push_back({path, result.summary.pointCount});
}

PlyLayout layoutOf(bool ascii) { return ascii ? PlyLayout::Ascii : PlyLayout::Binary; }

float parseFloat(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    return end == start ? 0.0f : static_cast<float>(value);
}

// The ViewRange_Select form of the multi-view commands.
std::optional<ViewRange> askViewRange(Prompt& prompt) {
    FormRequest form;
    form.resourceId = kViewRangeForm;
    form.title = "ViewRange_Select";
    form.fields = {
        {0, "左视点：", "", false, false},
        {0, "右视点：", "", false, false},
        {0, "视点间隔：", "", false, false},
        {kLeftViewPointId, "", "0", true, true},
        {kRightViewPointId, "", "0", true, true},
        {kViewPointIntervalId, "", "0", true, true},
    };
    if (!prompt.runForm(form)) return std::nullopt;
    ViewRange range;
    range.left = parseFloat(form.field(kLeftViewPointId)->text);
    range.right = parseFloat(form.field(kRightViewPointId)->text);
    range.interval = parseFloat(form.field(kViewPointIntervalId)->text);
    return range;
}

}  // namespace

std::string withPlyExtension(const std::string& chosen) {
    static constexpr char kEnding[] = ".ply";
    if (chosen.size() >= 4) {
        bool same = true;
        for (std::size_t i = 0; i < 4; ++i)
            same = same && std::tolower(static_cast<unsigned char>(chosen[chosen.size() - 4 + i])) == kEnding[i];
        if (same) return chosen;
    }
    return chosen + kEnding;
}

std::string multiViewPlyFileName(const std::string& plyName, int number) {
    const std::string stem = plyName.size() >= 4 ? plyName.substr(0, plyName.size() - 4) : std::string();
    return stem + std::to_string(number) + ".ply";
}

ExportOutcome exportPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client, bool ascii) {
    ExportOutcome outcome;
    if (!view) return outcome;
    auto name = askPlyName(prompt);
    if (!name) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    beginExportFrame(*view);
    view->drawFrame();
    const WriteResult result = writePly(SurfaceSampler::sample(client, prompt), *name, state, layoutOf(ascii));
    collect(outcome, result);
    conclude(outcome, prompt, result.ok ? nullptr : &result);
    restoreViewingFrame(*view);
    return outcome;
}

ExportOutcome exportMultiViewPly(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                 bool ascii, const ViewProgress& progress) {
    ExportOutcome outcome;
    auto range = askViewRange(prompt);
    if (!range) {
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    if (auto refusal = checkViewRange(*range)) {
        prompt.show(*refusal);
        outcome.status = ExportStatus::Refused;
        return outcome;
    }
    if (!view) return outcome;
    auto name = askPlyName(prompt);
    if (!name) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    const std::vector<float> offsets = viewOffsets(*range);
    const int count = static_cast<int>(offsets.size());
    std::optional<WriteResult> failure;
    for (int number = 1; number <= count; ++number) {
        const Viewpoint eye{viewEyeX(state.viewPointX, offsets[number - 1]), state.viewPointY, state.viewPointZ};
        if (progress) progress(number, count, eye.x, eye.y, eye.z);
        beginExportFrame(*view);
        view->setEye(eye.x, eye.y, eye.z);
        view->drawFrame();
        WriteResult result = writePly(SurfaceSampler::sample(client, prompt), multiViewPlyFileName(*name, number),
                                      state, layoutOf(ascii));
        collect(outcome, result);
        if (!result.ok) {
            failure = std::move(result);
            break;
        }
    }
    conclude(outcome, prompt, failure ? &*failure : nullptr);
    restoreViewingFrame(*view);
    return outcome;
}

}  // namespace velmora
