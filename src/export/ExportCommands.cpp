#include "export/ExportCommands.h"

#include "export/ExportNaming.h"
#include "export/NumberText.h"
#include "export/SurfaceSampler.h"
#include "export/ThreeDiWriter.h"
#include "platform/Prompt.h"
#include "view/GlView.h"
#include "view/ViewerState.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace velmora {

namespace {

std::optional<std::string> askFileName(Prompt& prompt, const char* title, const char* filterName,
                                       const char* pattern) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = title;
    request.filters.push_back({filterName, pattern});
    return prompt.chooseFile(request);
}

std::optional<std::string> askCghName(Prompt& prompt, const char* title) {
    auto chosen = askFileName(prompt, title, "CGH File", "*.CGH");
    if (!chosen) return std::nullopt;
    return withCghExtension(*chosen);
}

void showComplete(Prompt& prompt) { prompt.show(kCompleteText, std::string(kCompleteCaption)); }

void showFailure(Prompt& prompt, const WriteResult& result) {
    const std::string text = result.openFailed ? "Cant open file " + result.failedPath
                                               : "Cant write file " + result.failedPath + ": " + result.error;
    prompt.show(text, std::string(kErrorCaption), PromptIcon::Error);
}

void collect(ExportOutcome& outcome, const WriteResult& result) {
    for (const auto& path : result.paths) outcome.files.push_back({path, result.summary.pointCount});
}

// Ends a command after its writer ran: completion or error box.
void conclude(ExportOutcome& outcome, Prompt& prompt, const WriteResult* failure) {
    if (failure) {
        showFailure(prompt, *failure);
        outcome.status = ExportStatus::Failed;
    } else {
        showComplete(prompt);
        outcome.status = ExportStatus::Done;
    }
}

Viewpoint storedViewpoint(const ViewerState& state) {
    return {state.viewPointX, state.viewPointY, state.viewPointZ};
}

enum class CghKind { Colour, Grey, Channels };

ExportOutcome exportSingleView(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                               CghKind kind) {
    ExportOutcome outcome;
    if (!view) return outcome;
    auto name = askCghName(prompt, kind == CghKind::Grey ? kExportGreyTitle : kExportTitle);
    if (!name) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    beginExportFrame(*view);
    view->drawFrame();
    const SampledFrame frame = SurfaceSampler::sample(client, prompt);
    const WriteResult result = kind == CghKind::Grey
                                   ? writeGreyCgh(frame, *name, state, storedViewpoint(state))
                                   : writeColourCgh(frame, *name, state, storedViewpoint(state));
    collect(outcome, result);
    conclude(outcome, prompt, result.ok ? nullptr : &result);
    restoreViewingFrame(*view);
    return outcome;
}

float parseFloat(const std::string& text) {
    const char* start = text.c_str();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    return end == start ? 0.0f : static_cast<float>(value);
}

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

ExportOutcome exportSeries(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                           CghKind kind, const ViewProgress& progress) {
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
    auto name = askCghName(prompt, kExportTitle);
    if (!name) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    const std::string stem = multiViewStem(*name);
    const std::vector<float> offsets = viewOffsets(*range);
    const int count = static_cast<int>(offsets.size());
    std::optional<WriteResult> failure;
    for (int number = 1; number <= count; ++number) {
        const Viewpoint eye{viewEyeX(state.viewPointX, offsets[number - 1]), state.viewPointY, state.viewPointZ};
        if (progress) progress(number, count, eye.x, eye.y, eye.z);
        beginExportFrame(*view);
        view->setEye(eye.x, eye.y, eye.z);
        view->drawFrame();
        const SampledFrame frame = SurfaceSampler::sample(client, prompt);
        WriteResult result;
        switch (kind) {
            case CghKind::Colour:
                result = writeColourCgh(frame, multiViewFileName(*name, number), state, eye);
                break;
            case CghKind::Grey:
                result = writeGreyCgh(frame, multiViewFileName(*name, number), state, eye);
                break;
            case CghKind::Channels:
                result = writeChannelCgh(frame, stem, multiViewSuffix(number), state, eye);
                break;
        }
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

}  // namespace

void beginExportFrame(GlView& view) {
    view.surface().makeCurrent();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void restoreViewingFrame(GlView& view) {
    view.surface().makeCurrent();
    const auto& c = GlView::kClearColour;
    glClearColor(c[0], c[1], c[2], c[3]);
    view.drawFrame();
}

ExportOutcome exportColour(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client) {
    return exportSingleView(view, prompt, state, client, CghKind::Colour);
}

ExportOutcome exportGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client) {
    return exportSingleView(view, prompt, state, client, CghKind::Grey);
}

ExportOutcome exportMultiViewColour(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                    const ViewProgress& progress) {
    return exportSeries(view, prompt, state, client, CghKind::Colour, progress);
}

ExportOutcome exportMultiViewGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                  const ViewProgress& progress) {
    return exportSeries(view, prompt, state, client, CghKind::Grey, progress);
}

ExportOutcome exportMultiViewChannels(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                      const ViewProgress& progress) {
    return exportSeries(view, prompt, state, client, CghKind::Channels, progress);
}

ExportOutcome export3di(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client) {
    ExportOutcome outcome;
    if (!view) return outcome;
    auto chosen = askFileName(prompt, kExportGreyTitle, "3di File", "*.3di");
    if (!chosen) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    beginExportFrame(*view);
    view->drawFrame();
    const WriteResult result = write3di(SurfaceSampler::sample(client, prompt), with3diExtension(*chosen), state);
    collect(outcome, result);
    conclude(outcome, prompt, result.ok ? nullptr : &result);
    restoreViewingFrame(*view);
    return outcome;
}

SampleSummary sampleObjectCoordinates(GlView& view, Prompt& prompt, const ClientRect& client) {
    beginExportFrame(view);
    view.drawFrame();
    return SurfaceSampler::sample(client, prompt).summarize();
}

std::vector<std::string> objectCoordinateTexts(const SampleSummary& summary) {
    const SampleBounds& b = summary.bounds;
    return {std::to_string(summary.pointCount), fixed6(b.maxX), fixed6(b.minX), fixed6(b.maxY),
            fixed6(b.minY), fixed6(b.maxZ),     fixed6(b.minZ)};
}

}  // namespace velmora
