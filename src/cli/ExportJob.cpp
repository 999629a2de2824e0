#include "cli/ExportJob.h"

#include "export/ExportCommands.h"
#include "export/ExportNaming.h"
#include "hologram/HologramOutputs.h"
#include "hologram/HologramScore.h"
#include "model/MeshModel.h"
#include "platform/ConsolePrompt.h"
#include "platform/FatalExit.h"
#include "platform/OutputCheck.h"
#include "gl/HeadlessGlSurface.h"
#include "textures/TextureManager.h"
#include "view/FrameImage.h"
#include "view/GlView.h"
#include "view/ModelFit.h"
#include "view/ViewerState.h"

#include <cstdio>
#include <random>
#include <string>

namespace velmora {

namespace {

void printColour(const char* label, const std::array<float, 4>& c) {
    std::printf(" %s (%g, %g, %g, %g)", label, c[0], c[1], c[2], c[3]);
}

void printModel(const std::string& path, const MeshModel& model) {
    const ParsedScene& scene = model.scene();
    std::printf("model: %s\n", path.c_str());
    std::printf("materials: %zu\n", model.materials().size());
    for (std::size_t i = 0; i < model.materials().size(); ++i) {
        const MeshMaterial& m = model.materials()[i];
        std::printf("  [%zu] \"%s\"", i, m.name.c_str());
        printColour("ambient", m.ambient);
        printColour("diffuse", m.diffuse);
        printColour("specular", m.specular);
        std::printf(" alpha %g two-sided %s, %zu triangles", m.alpha, m.twoSided ? "yes" : "no",
                    m.triangles.size());
        if (!m.textureFile.empty())
            std::printf(", texture \"%s\" %s", m.textureFile.c_str(), m.textureId ? "loaded" : "not loaded");
        std::printf("\n");
    }
    std::size_t fileVertices = 0, fileFaces = 0;
    std::printf("objects: %zu\n", scene.objects.size());
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const MeshObject& o = scene.objects[i];
        fileVertices += o.vertices.size();
        fileFaces += o.faces.size();
        std::printf("  [%zu] \"%s\": %zu vertices, %zu faces, %zu mapping coordinates, %zu face groups%s\n", i,
                    o.name.c_str(), o.vertices.size(), o.faces.size(), o.mapCoords.size(), o.faceGroups.size(),
                    o.hasLocalMatrix ? ", local matrix" : "");
        for (const FaceGroup& g : o.faceGroups)
            std::printf("      group \"%s\": %zu faces\n", g.materialName.c_str(), g.faceIndices.size());
    }
    std::printf("file: %zu vertices, %zu faces\n", fileVertices, fileFaces);
    std::printf("built: %zu vertices, %zu triangles\n", model.vertices().size(), model.triangleCount());
    std::string bounds = model.boundsText();
    for (std::size_t at; (at = bounds.find("\r\n")) != std::string::npos;) bounds.replace(at, 2, "\n  ");
    std::printf("bounds:\n  %s\n", bounds.c_str());
}

void printFrame(const SampleSummary& summary, const std::vector<std::string>& texts) {
    // texts: count, maxX, minX, maxY, minY, maxZ, minZ as the dialog shows them.
    std::printf("frame: %d points\n", summary.pointCount);
    static const char* const labels[] = {"Object_Max_X", "Object_Min_X", "Object_Max_Y",
                                         "Object_Min_Y", "Object_Max_Z", "Object_Min_Z"};
    for (std::size_t i = 0; i < 6 && i + 1 < texts.size(); ++i)
        std::printf("  %s: %s\n", labels[i], texts[i + 1].c_str());
}

void reportFiles(const ExportOutcome& outcome) {
    for (const ExportedFile& f : outcome.files)
        std::printf("wrote %s (%d points)\n", f.path.c_str(), f.pointCount);
}

// One export the command line asks for, named as its failure message names it.
struct CliExport {
    const char* what;
    ExportRequest request;
};

// In the order the exports run: colour, grey, channels, PLY, ASCII PLY, 3di.
std::vector<CliExport> exportsOf(const CommandLine& cl) {
    std::vector<CliExport> exports;
    const auto add = [&](const char* what, const std::optional<std::string>& path, ExportKind kind,
                         PlyLayout layout = PlyLayout::Binary) {
        // A 3di file holds one view; the command line refuses --views with it.
        const auto views = kind == ExportKind::ThreeDi ? std::nullopt : cl.views;
        if (!path) return;
        ExportRequest request;
        request.kind = kind;
        request.path = *path;
        request.views = views;
        request.share = cl.viewShare.value_or(ViewShare{});
        request.plyLayout = layout;
        request.scales = {cl.scalxy, cl.scalz};
        exports.push_back({what, request});
    };
    add("colour", cl.colour, ExportKind::Colour);
    add("grey", cl.grey, ExportKind::Grey);
    add("channel", cl.channels, ExportKind::Channels);
    add("PLY", cl.ply, ExportKind::Ply);
    add("PLY", cl.plyAscii, ExportKind::Ply, PlyLayout::Ascii);
    add("3di", cl.threeDi, ExportKind::ThreeDi);
    return exports;
}

// The views of the command line's share, as numbers from 1 in the row, and
// their offsets; none for a range the export refuses.
struct ShareViews {
    std::vector<float> offsets;
    ViewSpan span;
};

ShareViews shareViews(const CommandLine& cl) {
    if (!checkViewRange(*cl.views)) return {};
    ShareViews views{viewOffsets(*cl.views), {}};
    views.span = shareSpan(static_cast<int>(views.offsets.size()), cl.viewShare.value_or(ViewShare{}));
    return views;
}

// The prefix of the first hologram the command line makes, if any.
std::optional<std::string> firstHologramPrefix(const CommandLine& cl) {
    if (!cl.views) return *cl.hologram;
    const ViewSpan span = shareViews(cl).span;
    if (span.first == span.end) return std::nullopt;
    return multiViewPrefix(*cl.hologram, span.first + 1);
}

// Every file the command line names, checked before the model is read.
std::optional<OutputRefusal> checkCommandOutputs(const CommandLine& cl) {
    std::vector<std::string> names;
    if (cl.png) names.push_back(*cl.png);
    for (const CliExport& e : exportsOf(cl)) {
        const auto own = exportFileNames(e.request);
        names.insert(names.end(), own.begin(), own.end());
    }
    if (cl.hologram) {
        if (auto refusal = checkOutputPrefix(*cl.hologram)) return refusal;
        if (const auto first = firstHologramPrefix(cl)) {
            HologramOutputRequest request = cl.hologramOptions.output;
            request.prefix = *first;
            const auto own = hologramOutputNames(!cl.greyHologram, cl.hologramOptions.settings, request);
            names.insert(names.end(), own.begin(), own.end());
        }
    }
    return checkOutputs(names);
}

// The model transform and the camera (fitted on request) of the command
// line. Gives the viewpoint the exports start from, or nothing when a
// rescaled model no longer fits in memory.
std::optional<Viewpoint> setUpFrame(const CommandLine& cl, GlView& view, ViewerState& state) {
    view.resize(0, 0, cl.width, cl.height);
    view.setEye(cl.eye[0], cl.eye[1], cl.eye[2]);
    state.modelScale = cl.scale;
    state.modelOffsetX = cl.offset[0];
    state.modelOffsetY = cl.offset[1];
    state.modelOffsetZ = cl.offset[2];
    state.modelRotX = cl.rotX;
    state.modelRotY = cl.rotY;
    for (float factor : cl.rescale)
        if (!view.rescaleModel(factor)) return std::nullopt;
    std::array<float, 3> viewpoint = cl.viewpoint;
    if (cl.fit) {
        const auto eye = fittedEye(view.model()->vertices(), state, cl.eye, view.aspectRatio());
        view.setEye(eye[0], eye[1], eye[2]);
        if (!cl.viewpointGiven) viewpoint = eye;
    }
    return Viewpoint{viewpoint[0], viewpoint[1], viewpoint[2]};
}

RandomGenerator seeded(std::uint32_t seed, std::uint64_t drawnBefore) {
    RandomGenerator random;
    random.seed(seed);
    random.discard(drawnBefore);
    return random;
}

// Without a display there is nobody to ask whether to retry a vertex array
// that memory cannot hold: the model counts as unreadable.
ExitStatus cannotRead(const std::string& model, ModelLoad result, Prompt& prompt) {
    if (result == ModelLoad::OutOfMemory) prompt.show(kVertexArrayFailedText);
    std::fflush(stdout);
    std::fprintf(stderr, "velmora-export: cannot read %s\n", model.c_str());
    return ExitStatus::Unreadable;
}

void printInfo(const CommandLine& cl, GlView& view, Prompt& prompt, const ClientRect& client) {
    printModel(cl.model, *view.model());
    const SampleSummary summary = sampleObjectCoordinates(view, prompt, client);
    restoreViewingFrame(view);
    printFrame(summary, objectCoordinateTexts(summary));
    if (cl.fit) std::printf("eye: %.9g,%.9g,%.9g\n", view.eyeX(), view.eyeY(), view.eyeZ());  // as --eye reads it back
}

bool savePng(const std::string& path, GlView& view, HeadlessGlSurface& surface, int width, int height) {
    beginExportFrame(view);
    view.drawFrame();
    const auto rgba = surface.readRgba();
    restoreViewingFrame(view);
    if (auto written = writeFramePng(path, width, height, rgba); !written) {
        std::fprintf(stderr, "velmora-export: cannot save %s: %s\n", path.c_str(), written.error().c_str());
        return false;
    }
    std::printf("wrote %s (%dx%d)\n", path.c_str(), width, height);
    return true;
}

bool finish(const char* what, const ExportOutcome& outcome) {
    reportFiles(outcome);
    if (outcome.ok()) return true;
    std::fprintf(stderr, "velmora-export: the %s export failed\n", what);
    return false;
}

// The hologram of the points a colour (or grey) export of the frame writes,
// with the files velmora-holo would make from that export.
bool makeHologram(const CommandLine& cl, GlView& view, Prompt& prompt, RandomGenerator& random,
                  const ClientRect& client, const std::string& prefix) {
    HologramOptions options = cl.hologramOptions;
    options.settings.wisdomFolder = defaultWisdomFolder();
    options.output.prefix = prefix;
    options.output.keepFields = options.score;
    const HologramProgress progress = [](const std::string& what) {
        std::fprintf(stderr, "hologram: %s\n", what.c_str());
    };
    const HologramPoints points =
        sampleFramePoints(view, prompt, client, {cl.scalxy, cl.scalz}, random, !cl.greyHologram);
    progress(std::to_string(points.points.size()) + " points");
    auto written = computeAndWriteHolograms(points, options.settings, options.output, progress);
    if (!written) {
        std::fprintf(stderr, "velmora-export: the hologram failed: %s\n", written.error().c_str());
        return false;
    }
    for (const auto& path : written->paths) std::printf("wrote %s\n", path.c_str());
    if (!options.score) return true;
    const auto scores = scoreHologram(points, written->frame, options.settings);
    if (!scores) {
        std::fprintf(stderr, "velmora-export: cannot score the hologram: %s\n", scores.error().c_str());
        return false;
    }
    for (const BandScore& score : *scores) std::printf("%s\n", scoreLine(score).c_str());
    return true;
}

// One hologram of the frame, or one per view of the share, each of the
// points that view's colour (grey) file holds: the generator runs on
// across the views as it does for the point files.
bool makeHolograms(const CommandLine& cl, GlView& view, Prompt& prompt, RandomGenerator& random,
                   const ClientRect& client, const Viewpoint& start, const ViewProgress& progress) {
    if (!cl.views) return makeHologram(cl, view, prompt, random, client, *cl.hologram);
    if (!acceptViewRange(prompt, *cl.views)) return false;
    const ShareViews views = shareViews(cl);
    const int count = static_cast<int>(views.offsets.size());
    for (int number = views.span.first + 1; number <= views.span.end; ++number) {
        const float eyeX = viewEyeX(start.x, views.offsets[number - 1]);
        progress(number, count, eyeX, start.y, start.z);
        view.setEye(eyeX, start.y, start.z);
        if (!makeHologram(cl, view, prompt, random, client, multiViewPrefix(*cl.hologram, number))) return false;
    }
    return true;
}

}  // namespace

ExitStatus runExportJob(const CommandLine& cl) {
    if (auto refusal = checkCommandOutputs(cl)) {
        std::fprintf(stderr, "velmora-export: %s\n", refusal->text().c_str());
        return ExitStatus::Failed;
    }
    ConsolePrompt prompt("velmora-export");
    prompt.setInformational(cl.verbose);

    auto made = HeadlessGlSurface::create(cl.width, cl.height);
    if (!made) {
        std::fprintf(stderr, "velmora-export: cannot draw without OpenGL: %s\n", made.error().c_str());
        return ExitStatus::NoOpenGL;
    }
    HeadlessGlSurface* surface = made->get();

    ViewerState state;
    state.modelPath = cl.model;
    state.forceTwoSided = cl.twoSided;
    TextureManager textures(prompt);
    auto opened = GlView::open(*surface, prompt, state, textures.factory());
    if (!opened) fatalExit(opened.error().status);
    GlView& view = **opened;
    const ModelLoad loaded = view.loadModel(cl.model, cl.twoSided);
    if (loaded != ModelLoad::Loaded) return cannotRead(cl.model, loaded, prompt);
    const auto viewpoint = setUpFrame(cl, view, state);
    if (!viewpoint) return cannotRead(cl.model, ModelLoad::OutOfMemory, prompt);
    // Every export starts the generator afresh from one seed, so a point has
    // the same phase in every file and a file does not depend on the others.
    const std::uint32_t seed = cl.seed ? *cl.seed : std::random_device{}();
    if (cl.verbose) std::fprintf(stderr, "seed: %u\n", seed);
    view.drawFrame();

    const ClientRect client = ClientRect::ofSize(cl.width, cl.height);
    ExitStatus status = ExitStatus::Success;
    if (cl.info) printInfo(cl, view, prompt, client);
    if (cl.png && !savePng(*cl.png, view, *surface, cl.width, cl.height)) status = ExitStatus::Failed;

    const ViewProgress progress = [](int number, int count, float x, float y, float z) {
        std::fprintf(stderr, "view %d of %d: eye (%g, %g, %g)\n", number, count, x, y, z);
    };
    // A share's generator starts where one run of the row is at the share's
    // first view: one draw per point of every view before it.
    const std::uint64_t drawnBefore =
        cl.viewShare ? pointsBeforeShare(view, prompt, client, *viewpoint, *cl.views, *cl.viewShare) : 0;
    for (CliExport& e : exportsOf(cl)) {
        RandomGenerator random = seeded(seed, drawnBefore);
        e.request.viewpoint = *viewpoint;
        e.request.random = &random;
        if (!finish(e.what, runExport(view, prompt, client, e.request, progress))) status = ExitStatus::Failed;
    }
    if (cl.hologram) {
        RandomGenerator random = seeded(seed, drawnBefore);
        if (!makeHolograms(cl, view, prompt, random, client, *viewpoint, progress)) status = ExitStatus::Failed;
    }
    return status;
}

}  // namespace velmora
