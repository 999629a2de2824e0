#include "export/ExportCommands.h"

#include "export/ExportNaming.h"
#include "export/SurfaceSampler.h"
#include "export/ThreeDiWriter.h"
#include "pointfile/FramePoints.h"
#include "pointfile/NumberText.h"
#include "view/GlView.h"

#include <utility>

namespace velmora {

namespace {

// Ends a command after its writer ran: completion or error box.
void conclude(ExportOutcome& outcome, Prompt& prompt, const std::optional<std::string>& failure) {
    if (failure) {
        prompt.show(*failure, std::string(kErrorCaption), PromptIcon::Error);
        outcome.status = ExportStatus::Failed;
    } else {
        prompt.inform(kCompleteText, kCompleteCaption);
        outcome.status = ExportStatus::Done;
    }
}

// The chosen name after the naming rule of the request's kind.
std::string fileName(const ExportRequest& request) {
    switch (request.kind) {
        case ExportKind::ThreeDi: return with3diExtension(request.path);
        case ExportKind::Ply: return withPlyExtension(request.path);
        default: return withCghExtension(request.path);
    }
}

// A per-channel view's stem and suffix: obj.CGH gives "obj" and ".CGH", or
// "3.CGH" for view 3.
std::pair<std::string, std::string> channelStemAndSuffix(const std::string& name, int number) {
    return {multiViewStem(name), number ? multiViewSuffix(number) : name.substr(name.size() - 4)};
}

// The files of one view: `number` is 0 for a single view and 1, 2, ... in a
// series, whose files carry it in their names.
std::vector<std::string> viewFileNames(const ExportRequest& request, const std::string& name, int number) {
    switch (request.kind) {
        case ExportKind::Channels: {
            const auto [stem, suffix] = channelStemAndSuffix(name, number);
            return {channelFileName(stem, 'r', suffix), channelFileName(stem, 'g', suffix),
                    channelFileName(stem, 'b', suffix)};
        }
        case ExportKind::ThreeDi: return {name};
        case ExportKind::Ply: return {number ? multiViewPlyFileName(name, number) : name};
        default: return {number ? multiViewFileName(name, number) : name};
    }
}

// Writes the files `names` of one view.
Result<SampleSummary> writeView(const ExportRequest& request, const SampledFrame& frame,
                                const std::vector<std::string>& names, const std::string& name, int number,
                                const Viewpoint& at, RandomGenerator& random) {
    const OutputScales& scales = request.scales;
    switch (request.kind) {
        case ExportKind::Colour: return writeColourCgh(frame, names[0], scales, random, at);
        case ExportKind::Grey: return writeGreyCgh(frame, names[0], scales, random, at);
        case ExportKind::Channels: {
            const auto [stem, suffix] = channelStemAndSuffix(name, number);
            return writeChannelCgh(frame, stem, suffix, scales, random, at);
        }
        case ExportKind::ThreeDi: return write3di(frame, names[0], scales);
        case ExportKind::Ply: return writePly(frame, names[0], random, request.plyLayout);
    }
    return Result<SampleSummary>::failure("no such export");
}

// Writes one view's files into the outcome; why not when it fails.
std::optional<std::string> writeViewFiles(const ExportRequest& request, const SampledFrame& frame,
                                          const std::string& name, int number, const Viewpoint& at,
                                          RandomGenerator& random, ExportOutcome& outcome) {
    const std::vector<std::string> names = viewFileNames(request, name, number);
    const auto written = writeView(request, frame, names, name, number, at, random);
    if (!written) return written.error();
    for (const auto& path : names) outcome.files.push_back({path, written->pointCount});
    return std::nullopt;
}

std::optional<std::string> exportOneView(GlView& view, Prompt& prompt, const ClientRect& client,
                                         const ExportRequest& request, RandomGenerator& random,
                                         ExportOutcome& outcome) {
    beginExportFrame(view);
    view.drawFrame();
    const SampledFrame frame = SurfaceSampler::sample(client, prompt);
    return writeViewFiles(request, frame, fileName(request), 0, request.viewpoint, random, outcome);
}

std::optional<std::string> exportSeries(GlView& view, Prompt& prompt, const ClientRect& client,
                                        const ExportRequest& request, RandomGenerator& random,
                                        const ViewProgress& progress, ExportOutcome& outcome) {
    const Viewpoint& start = request.viewpoint;
    const std::string name = fileName(request);
    const std::vector<float> offsets = viewOffsets(*request.views);
    const int count = static_cast<int>(offsets.size());
    const ViewSpan span = shareSpan(count, request.share);
    for (int number = span.first + 1; number <= span.end; ++number) {
        const Viewpoint eye{viewEyeX(start.x, offsets[number - 1]), start.y, start.z};
        if (progress) progress(number, count, eye.x, eye.y, eye.z);
        beginExportFrame(view);
        view.setEye(eye.x, eye.y, eye.z);
        view.drawFrame();
        const SampledFrame frame = SurfaceSampler::sample(client, prompt);
        if (auto failure = writeViewFiles(request, frame, name, number, eye, random, outcome)) return failure;
    }
    return std::nullopt;
}

}  // namespace

bool acceptViewRange(Prompt& prompt, const ViewRange& range) {
    const auto accepted = checkViewRange(range);
    if (!accepted) prompt.show(accepted.error());
    return static_cast<bool>(accepted);
}

std::vector<std::string> exportFileNames(const ExportRequest& request) {
    if (!request.views) return viewFileNames(request, fileName(request), 0);
    if (!checkViewRange(*request.views)) return {};
    const ViewSpan span = shareSpan(static_cast<int>(viewOffsets(*request.views).size()), request.share);
    if (span.first == span.end) return {};
    return viewFileNames(request, fileName(request), span.first + 1);
}

ExportOutcome runExport(GlView& view, Prompt& prompt, const ClientRect& client, const ExportRequest& request,
                        const ViewProgress& progress) {
    ExportOutcome outcome;
    if (request.views && !acceptViewRange(prompt, *request.views)) {
        outcome.status = ExportStatus::Refused;
        return outcome;
    }
    RandomGenerator own;
    RandomGenerator& random = request.random ? *request.random : own;
    const auto failure = request.views ? exportSeries(view, prompt, client, request, random, progress, outcome)
                                       : exportOneView(view, prompt, client, request, random, outcome);
    conclude(outcome, prompt, failure);
    restoreViewingFrame(view);
    return outcome;
}

std::uint64_t pointsBeforeShare(GlView& view, Prompt& prompt, const ClientRect& client, const Viewpoint& start,
                                const ViewRange& range, const ViewShare& share) {
    if (!checkViewRange(range)) return 0;
    const std::vector<float> offsets = viewOffsets(range);
    const ViewSpan span = shareSpan(static_cast<int>(offsets.size()), share);
    // A view's count depends on what its frame shows (the background and
    // the depth cutoff leave pixels out), so each earlier view is drawn and
    // read back, but only counted: no phase is drawn and nothing is
    // formatted or written, which is where a view's time goes.
    std::uint64_t points = 0;
    beginExportFrame(view);
    for (int i = 0; i < span.first; ++i) {
        view.setEye(viewEyeX(start.x, offsets[i]), start.y, start.z);
        view.drawFrame();
        points += static_cast<std::uint64_t>(SurfaceSampler::sample(client, prompt).summarize().pointCount);
    }
    restoreViewingFrame(view);
    return points;
}

void beginExportFrame(GlView& view) { view.setClearColour(GlView::kExportClearColour); }

void restoreViewingFrame(GlView& view) {
    view.setClearColour(GlView::kClearColour);
    view.drawFrame();
}

SampleSummary sampleObjectCoordinates(GlView& view, Prompt& prompt, const ClientRect& client) {
    beginExportFrame(view);
    view.drawFrame();
    return SurfaceSampler::sample(client, prompt).summarize();
}

HologramPoints sampleFramePoints(GlView& view, Prompt& prompt, const ClientRect& client, const OutputScales& scales,
                                 RandomGenerator& random, bool colour) {
    beginExportFrame(view);
    view.drawFrame();
    const SampledFrame frame = SurfaceSampler::sample(client, prompt);
    restoreViewingFrame(view);
    return framePoints(frame, scales, random, colour);
}

std::vector<std::string> objectCoordinateTexts(const SampleSummary& summary) {
    const SampleBounds& b = summary.bounds;
    return {std::to_string(summary.pointCount), fixed6(b.maxX), fixed6(b.minX), fixed6(b.maxY),
            fixed6(b.minY), fixed6(b.maxZ),     fixed6(b.minZ)};
}

}  // namespace velmora
