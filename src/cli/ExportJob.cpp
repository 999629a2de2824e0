#include "cli/ExportJob.h"

#include "export/CghWriter.h"
#include "export/ExportCommands.h"
#include "export/ExportNaming.h"
#include "export/PlyExportCommands.h"
#include "model/MeshModel.h"
#include "platform/ConsolePrompt.h"
#include "platform/HeadlessGlSurface.h"
#include "textures/TextureManager.h"
#include "view/FrameImage.h"
#include "view/GlView.h"
#include "view/ModelFit.h"
#include "view/ViewerState.h"

#include <GL/gl.h>

#include <cstdio>
#include <random>
#include <string>

namespace velmora {

namespace {

constexpr int kExitModel = 1;
constexpr int kExitExport = 3;
constexpr int kExitNoOpenGL = 4;

// The console prompt, quiet about the purely informational boxes (the
// bounds box and the completion box) unless asked to be verbose.
class CliPrompt : public ConsolePrompt {
public:
    CliPrompt(bool verbose) : ConsolePrompt("velmora-export"), verbose_(verbose) {}
    PromptAnswer message(const MessageRequest& request) override {
        if (!verbose_ && request.caption && (*request.caption == "ok" || *request.caption == kCompleteCaption))
            return PromptAnswer::Ok;
        return ConsolePrompt::message(request);
    }

private:
    bool verbose_;
};

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

bool finish(const char* what, const ExportOutcome& outcome) {
    reportFiles(outcome);
    if (outcome.ok()) return true;
    std::fprintf(stderr, "velmora-export: the %s export failed\n", what);
    return false;
}

}  // namespace

int runExportJob(const CommandLine& cl) {
    CliPrompt prompt(cl.verbose);

    std::string error;
    auto surface = HeadlessGlSurface::create(cl.width, cl.height, error);
    if (!surface) {
        std::fprintf(stderr, "velmora-export: cannot draw without OpenGL: %s\n", error.c_str());
        return kExitNoOpenGL;
    }

    ViewerState state;
    state.modelPath = cl.model;
    state.forceTwoSided = cl.twoSided;
    TextureManager textures(prompt);
    GlView view(*surface, prompt, state, textures.factory());
    // Without a display there is nobody to ask whether to retry a vertex
    // array that memory cannot hold: the model counts as unreadable.
    const auto cannotRead = [&](ModelLoad result) {
        if (result == ModelLoad::OutOfMemory) prompt.show(kVertexArrayFailedText);
        std::fflush(stdout);
        std::fprintf(stderr, "velmora-export: cannot read %s\n", cl.model.c_str());
        return kExitModel;
    };
    const ModelLoad loaded = view.loadModel(cl.model, cl.twoSided);
    if (loaded != ModelLoad::Loaded) return cannotRead(loaded);
    view.resize(0, 0, cl.width, cl.height);
    view.setEye(cl.eye[0], cl.eye[1], cl.eye[2]);
    state.modelScale = cl.scale;
    state.modelOffsetX = cl.offset[0];
    state.modelOffsetY = cl.offset[1];
    state.modelOffsetZ = cl.offset[2];
    state.modelRotX = cl.rotX;
    state.modelRotY = cl.rotY;
    for (float factor : cl.rescale)
        if (!view.rescaleModel(factor)) return cannotRead(ModelLoad::OutOfMemory);
    std::array<float, 3> viewpoint = cl.viewpoint;
    if (cl.fit) {
        const auto eye = fittedEye(view.model()->vertices(), state, cl.eye, view.aspectRatio());
        view.setEye(eye[0], eye[1], eye[2]);
        if (!cl.viewpointGiven) viewpoint = eye;
    }
    state.viewPointX = viewpoint[0];
    state.viewPointY = viewpoint[1];
    state.viewPointZ = viewpoint[2];
    state.Output_Scalxy = cl.scalxy;
    state.Output_Scalz = cl.scalz;
    // Every export starts the generator afresh from one seed, so a point has
    // the same phase in every file and a file does not depend on the others.
    const std::uint32_t seed = cl.seed ? *cl.seed : std::random_device{}();
    if (cl.verbose) std::fprintf(stderr, "seed: %u\n", seed);
    view.drawFrame();

    const ClientRect client = ClientRect::ofSize(cl.width, cl.height);
    int status = 0;

    if (cl.info) {
        printModel(cl.model, *view.model());
        const SampleSummary summary = sampleObjectCoordinates(view, prompt, client);
        restoreViewingFrame(view);
        printFrame(summary, objectCoordinateTexts(summary));
        if (cl.fit) std::printf("eye: %.9g,%.9g,%.9g\n", view.eyeX(), view.eyeY(), view.eyeZ());  // as --eye reads it back
    }

    if (cl.png) {
        beginExportFrame(view);
        view.drawFrame();
        const auto rgba = surface->readRgba();
        restoreViewingFrame(view);
        if (auto failure = writeFramePng(*cl.png, cl.width, cl.height, rgba)) {
            std::fprintf(stderr, "velmora-export: cannot save %s: %s\n", cl.png->c_str(), failure->c_str());
            status = kExitExport;
        } else {
            std::printf("wrote %s (%dx%d)\n", cl.png->c_str(), cl.width, cl.height);
        }
    }

    // The save dialogs are answered with the names from the command line and
    // the view range form with the --views values.
    std::string chosen;
    prompt.fileHandler = [&](const FileDialogRequest&) { return std::optional<std::string>(chosen); };
    if (cl.views) {
        prompt.formHandler = [&](FormRequest& form) {
            if (form.resourceId != kViewRangeForm) return false;
            form.field(kLeftViewPointId)->text = cl.views->left;
            form.field(kRightViewPointId)->text = cl.views->right;
            form.field(kViewPointIntervalId)->text = cl.views->interval;
            return true;
        };
    }
    const ViewProgress progress = [](int number, int count, float x, float y, float z) {
        std::fprintf(stderr, "view %d of %d: eye (%g, %g, %g)\n", number, count, x, y, z);
    };

    const auto run = [&](const char* what, const std::string& file, auto&& command) {
        chosen = file;
        state.random.seed(seed);
        if (!finish(what, command())) status = kExitExport;
    };
    if (cl.views) {
        if (cl.colour) run("colour", *cl.colour, [&] { return exportMultiViewColour(&view, prompt, state, client, progress); });
        if (cl.grey) run("grey", *cl.grey, [&] { return exportMultiViewGrey(&view, prompt, state, client, progress); });
        if (cl.channels)
            run("channel", *cl.channels, [&] { return exportMultiViewChannels(&view, prompt, state, client, progress); });
        if (cl.ply)
            run("PLY", *cl.ply, [&] { return exportMultiViewPly(&view, prompt, state, client, false, progress); });
        if (cl.plyAscii)
            run("PLY", *cl.plyAscii, [&] { return exportMultiViewPly(&view, prompt, state, client, true, progress); });
    } else {
        if (cl.colour) run("colour", *cl.colour, [&] { return exportColour(&view, prompt, state, client); });
        if (cl.grey) run("grey", *cl.grey, [&] { return exportGrey(&view, prompt, state, client); });
        if (cl.channels) {
            // One view into three files, named like a series' view without its number.
            const SaveDialog dialog{kExportTitle, {"CGH File", "*.CGH"}, withCghExtension};
            run("channel", *cl.channels, [&] {
                return runSingleViewExport(
                    &view, prompt, state, client, dialog,
                    [&](const SampledFrame& frame, const std::string& name, int, const Viewpoint& at) {
                        return writeChannelCgh(frame, multiViewStem(name), name.substr(name.size() - 4), state, at);
                    });
            });
        }
    }
    if (!cl.views) {
        if (cl.ply) run("PLY", *cl.ply, [&] { return exportPly(&view, prompt, state, client, false); });
        if (cl.plyAscii) run("PLY", *cl.plyAscii, [&] { return exportPly(&view, prompt, state, client, true); });
    }
    if (cl.threeDi) run("3di", *cl.threeDi, [&] { return export3di(&view, prompt, state, client); });
    return status;
}

}  // namespace velmora
