// velmora-export: loads a .3ds model headless and reports or exports it.

#include "model/ThreeDsReader.h"
#include "platform/ConsolePrompt.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "Usage: velmora-export [OPTIONS] MODEL.3ds\n"
    "\n"
    "Loads a 3D Studio model without a display and reports what it holds.\n"
    "\n"
    "Options:\n"
    "  --info        print the model's file image: materials (colours, alpha,\n"
    "                two-sidedness, texture) and objects (vertices, faces,\n"
    "                face groups); this is also what runs without options\n"
    "  -h, --help    show this help and exit\n"
    "  --version     show the version and exit\n"
    "\n"
    "Exit status: 0 on success, 1 when the model cannot be read, 2 on a usage error.\n";

void printColour(const char* label, const std::array<float, 3>& c) {
    std::printf(" %s (%g, %g, %g)", label, c[0], c[1], c[2]);
}

void printScene(const std::string& path, const velmora::ParsedScene& scene) {
    std::printf("model: %s\n", path.c_str());
    std::printf("materials: %zu\n", scene.materialDefs.size());
    for (std::size_t i = 0; i < scene.materialDefs.size(); ++i) {
        const auto& m = scene.materialDefs[i];
        std::printf("  [%zu] \"%s\"", i, m.name.c_str());
        printColour("ambient", m.ambient);
        printColour("diffuse", m.diffuse);
        printColour("specular", m.specular);
        std::printf(" alpha %g two-sided %s", m.alpha, m.twoSided ? "yes" : "no");
        if (!m.textureFile.empty()) std::printf(" texture \"%s\"", m.textureFile.c_str());
        std::printf("\n");
    }
    std::size_t vertices = 0, faces = 0;
    std::printf("objects: %zu\n", scene.objects.size());
    for (std::size_t i = 0; i < scene.objects.size(); ++i) {
        const auto& o = scene.objects[i];
        vertices += o.vertices.size();
        faces += o.faces.size();
        std::printf("  [%zu] \"%s\": %zu vertices, %zu faces, %zu mapping coordinates, %zu face groups%s\n", i,
                    o.name.c_str(), o.vertices.size(), o.faces.size(), o.mapCoords.size(), o.faceGroups.size(),
                    o.hasLocalMatrix ? ", local matrix" : "");
        for (const auto& g : o.faceGroups)
            std::printf("      group \"%s\": %zu faces\n", g.materialName.c_str(), g.faceIndices.size());
    }
    std::printf("total: %zu vertices, %zu faces\n", vertices, faces);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> models;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(arg, "--version")) {
            std::printf("velmora-export %s\n", VELMORA_VERSION);
            return 0;
        }
        if (!std::strcmp(arg, "--info")) continue;
        if (arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "velmora-export: unknown option %s\n%s", arg, kUsage);
            return 2;
        }
        models.emplace_back(arg);
    }
    if (models.size() != 1) {
        std::fprintf(stderr, "velmora-export: give exactly one model file\n%s", kUsage);
        return 2;
    }

    velmora::ConsolePrompt prompt("velmora-export");
    velmora::ParsedScene scene;
    velmora::ThreeDsReader reader(prompt);
    if (!reader.ReadFile(models[0], scene)) {
        std::fflush(stdout);
        std::fprintf(stderr, "velmora-export: cannot read %s\n", models[0].c_str());
        return 1;
    }
    printScene(models[0], scene);
    return 0;
}
