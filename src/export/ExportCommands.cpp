#include "export/ExportCommands.h"

#include "export/ExportNaming.h"
#include "export/NumberText.h"
#include "export/SurfaceSampler.h"
#include "export/ThreeDiWriter.h"
#include "platform/DecimalText.h"
#include "platform/Prompt.h"
#include "view/GlView.h"
#include "view/ViewerState.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace velmora {

namespace {

std::optional<std::string> askFileName(Prompt& prompt, const SaveDialog& dialog) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.title = dialog.title;
    request.filters.push_back(dialog.filter);
    auto chosen = prompt.chooseFile(request);
    if (!chosen) return std::nullopt;
    return dialog.withExtension(*chosen);
}

void collect(ExportOutcome& outcome, const WriteResult& result) {
    for (const auto& path : result.paths) outcome.files.push_back({path, result.summary.pointCount});
}

// Ends a command after its writer ran: completion or error box.
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

// The form has refused anything but a number already.
float parseFloat(const std::string& text) { return parseDecimal(text).value_or(0.0f); }

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

const SaveDialog kCghDialog{kExportTitle, {"CGH File", "*.CGH"}, withCghExtension};
const SaveDialog kGreyCghDialog{kExportGreyTitle, {"CGH File", "*.CGH"}, withCghExtension};
const SaveDialog k3diDialog{kExportGreyTitle, {"3di File", "*.3di"}, with3diExtension};

}  // namespace

ExportOutcome runSingleViewExport(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                  const SaveDialog& dialog, const ViewWriter& write) {
    ExportOutcome outcome;
    if (!view) return outcome;
    auto name = askFileName(prompt, dialog);
    if (!name) {
        restoreViewingFrame(*view);
        outcome.status = ExportStatus::Cancelled;
        return outcome;
    }
    beginExportFrame(*view);
    view->drawFrame();
    const Viewpoint stored{state.viewPointX, state.viewPointY, state.viewPointZ};
    const WriteResult result = write(SurfaceSampler::sample(client, prompt), *name, 0, stored);
    collect(outcome, result);
    conclude(outcome, prompt, result.ok ? nullptr : &result);
    restoreViewingFrame(*view);
    return outcome;
}

ExportOutcome runSeriesExport(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                              const SaveDialog& dialog, const ViewWriter& write, const ViewProgress& progress) {
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
    auto name = askFileName(prompt, dialog);
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
        WriteResult result = write(SurfaceSampler::sample(client, prompt), *name, number, eye);
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
    return runSingleViewExport(view, prompt, state, client, kCghDialog,
                               [&](const SampledFrame& frame, const std::string& name, int, const Viewpoint& at) {
                                   return writeColourCgh(frame, name, state, at);
                               });
}

ExportOutcome exportGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client) {
    return runSingleViewExport(view, prompt, state, client, kGreyCghDialog,
                               [&](const SampledFrame& frame, const std::string& name, int, const Viewpoint& at) {
                                   return writeGreyCgh(frame, name, state, at);
                               });
}

ExportOutcome exportMultiViewColour(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                    const ViewProgress& progress) {
    return runSeriesExport(
        view, prompt, state, client, kCghDialog,
        [&](const SampledFrame& frame, const std::string& name, int number, const Viewpoint& eye) {
            return writeColourCgh(frame, multiViewFileName(name, number), state, eye);
        },
        progress);
}

ExportOutcome exportMultiViewGrey(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                  const ViewProgress& progress) {
    return runSeriesExport(
        view, prompt, state, client, kCghDialog,
        [&](const SampledFrame& frame, const std::string& name, int number, const Viewpoint& eye) {
            return writeGreyCgh(frame, multiViewFileName(name, number), state, eye);
        },
        progress);
}

ExportOutcome exportMultiViewChannels(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client,
                                      const ViewProgress& progress) {
    return runSeriesExport(
        view, prompt, state, client, kCghDialog,
        [&](const SampledFrame& frame, const std::string& name, int number, const Viewpoint& eye) {
            return writeChannelCgh(frame, multiViewStem(name), multiViewSuffix(number), state, eye);
        },
        progress);
}

ExportOutcome export3di(GlView* view, Prompt& prompt, ViewerState& state, const ClientRect& client) {
    return runSingleViewExport(view, prompt, state, client, k3diDialog,
                               [&](const SampledFrame& frame, const std::string& name, int, const Viewpoint&) {
                                   return write3di(frame, name, state);
                               });
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
