// Times loading a generated model of N faces (before two-sided duplication):
// reading the file, building it (materials, triangles, face lists, normals),
// and compiling the display list, and reports the peak memory.
//
//   bench_mesh_build [FACES] [REPEATS]     (defaults 2000000 and 3)
//
// The model is a row of curved 128 x 128 grid objects over four materials,
// every material forced two-sided as the viewer does by default. Run it once
// per size: the peak memory is the process's. Times are the best of the
// repeats, as wall time and as CPU time of the main thread.

#include "model/MeshModel.h"
#include "model/ThreeDsReader.h"
#include "gl/HeadlessGlSurface.h"
#include "platform/RecordingPrompt.h"
#include "support/ThreeDsBuilder.h"

#include <GL/gl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <ctime>
#include <string>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int kGrid = 128;  // vertices per side of one object
constexpr int kFacesPerObject = 2 * (kGrid - 1) * (kGrid - 1);

Chunk gridObject(int index, int faces) {
    std::vector<Vec3> vertices;
    vertices.reserve(kGrid * kGrid);
    for (int j = 0; j < kGrid; ++j)
        for (int i = 0; i < kGrid; ++i) {
            const float x = static_cast<float>(index * kGrid + i) * 0.1f;
            const float y = static_cast<float>(j) * 0.1f;
            vertices.push_back({x, y, 0.5f * std::sin(x * 0.3f) * std::cos(y * 0.2f)});
        }
    std::vector<Face> list;
    list.reserve(static_cast<std::size_t>(faces));
    for (int j = 0; j + 1 < kGrid && static_cast<int>(list.size()) < faces; ++j)
        for (int i = 0; i + 1 < kGrid && static_cast<int>(list.size()) < faces; ++i) {
            const auto at = [](int a, int b) { return static_cast<std::uint16_t>(b * kGrid + a); };
            list.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            if (static_cast<int>(list.size()) < faces) list.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    // Quarters of the faces to the four materials.
    std::vector<Chunk> groups;
    const std::size_t quarter = (list.size() + 3) / 4;
    for (int m = 0; m < 4; ++m) {
        std::vector<std::uint16_t> indices;
        for (std::size_t k = m * quarter; k < std::min(list.size(), (m + 1) * quarter); ++k)
            indices.push_back(static_cast<std::uint16_t>(k));
        groups.push_back(faceGroup("mat" + std::to_string(m), indices));
    }
    return object("grid" + std::to_string(index), {mesh({vertexList(vertices), faceList(list, groups)})});
}

// CPU time of the calling thread: steadier than wall time on a shared machine.
double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double wallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Times {
    double wall = 1e30, cpu = 1e30;
    void take(double wallFrom, double cpuFrom) {
        wall = std::min(wall, wallSeconds() - wallFrom);
        cpu = std::min(cpu, threadSeconds() - cpuFrom);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const long faces = argc > 1 ? std::atol(argv[1]) : 2000000;
    const int repeats = argc > 2 ? std::atoi(argv[2]) : 3;

    std::vector<Chunk> children;
    for (int m = 0; m < 4; ++m)
        children.push_back(simpleMaterial("mat" + std::to_string(m), {200, 100, static_cast<std::uint8_t>(50 * m)},
                                          {150, 150, 150}, {20, 20, 20}));
    long left = faces;
    for (int index = 0; left > 0; ++index) {
        const int here = static_cast<int>(std::min<long>(left, kFacesPerObject));
        children.push_back(gridObject(index, here));
        left -= here;
    }
    const std::string path = "/tmp/velmora-bench-" + std::to_string(::getpid()) + ".3ds";
    if (!writeFile(path, model(children))) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    children.clear();

    std::string error;
    auto surface = HeadlessGlSurface::create(64, 64, error);
    if (!surface) {
        std::fprintf(stderr, "no OpenGL: %s\n", error.c_str());
        return 1;
    }

    // The model is made to ask for its vertex array once: the question marks
    // the moment the build (materials, triangles, face lists, normals) ends
    // and the compilation begins.
    Times read, build, compile, recompile;
    std::size_t vertices = 0, triangles = 0;
    for (int r = 0; r < repeats; ++r) {
        RecordingPrompt prompt;
        {
            ParsedScene scene;
            const double wall = wallSeconds(), cpu = threadSeconds();
            ThreeDsReader(prompt).readFile(path, scene);
            read.take(wall, cpu);
        }
        MeshModel model(90, 1, prompt);
        // No vertex array stops the load right before compiling, so the
        // build is timed alone.
        model.setVertexArrayLimit(0);
        double wall = wallSeconds(), cpu = threadSeconds();
        if (!model.read(path) || model.build()) return 1;
        build.take(wall, cpu);
        model.setVertexArrayLimit(std::numeric_limits<std::size_t>::max());
        wall = wallSeconds(), cpu = threadSeconds();
        if (!model.compileDisplayList()) return 1;
        glFinish();
        compile.take(wall, cpu);
        wall = wallSeconds(), cpu = threadSeconds();
        model.compileDisplayList();
        glFinish();
        recompile.take(wall, cpu);
        vertices = model.vertices().size();
        triangles = model.triangleCount();
    }
    std::remove(path.c_str());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("faces %ld  triangles %zu  vertices %zu (after splitting)\n", faces, triangles, vertices);
    std::printf("        read     build (incl. read)  compile  recompile\n");
    std::printf("wall  %7.3f s  %7.3f s         %7.3f s  %7.3f s\n", read.wall, build.wall, compile.wall,
                recompile.wall);
    std::printf("cpu   %7.3f s  %7.3f s         %7.3f s  %7.3f s\n", read.cpu, build.cpu, compile.cpu,
                recompile.cpu);
    std::printf("peak RSS %.0f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
