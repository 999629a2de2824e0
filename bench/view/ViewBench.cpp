// The view's costs on the machine's OpenGL (llvmpipe here), in an 800 x 600
// headless frame:
//   BM_Redraw   one drawFrame of a generated model of about a million
//               one-sided triangles that fills the frame, finished with
//               glFinish so the rendering itself is timed;
//   BM_Resize   one resize: the 256 glyph lists recorded again from the
//               cached outlines, viewport, projection and camera.
//
//   bench_view [--benchmark_...]

#include "model/MeshModel.h"
#include "gl/HeadlessGlSurface.h"
#include "platform/RecordingPrompt.h"
#include "support/TempDir.h"
#include "support/ThreeDsBuilder.h"
#include "view/GlView.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <memory>

using namespace velmora;
using namespace velmora::testing;

namespace {

constexpr int kGrid = 128;          // vertices per side of one tile
constexpr int kTilesAcross = 6;     // 6 x 6 tiles, 2 * 127² faces each
constexpr int kTilesDown = 6;
constexpr long kFacesWanted = 1000000;
constexpr float kSpacing = 12.5f / (kTilesAcross * (kGrid - 1));  // the model spans about 12.5 x 10.4

// One tile of a gently curved sheet facing the home eye, written in file
// axes: the view's (X, Y, Z) is the file's (-x, z, y), and the mesh model
// exchanges a face's last two corners, so a counter-clockwise view triangle
// (a, b, c) is stored as (a, c, b).
Chunk tile(int tx, int ty, long& facesLeft) {
    std::vector<Vec3> vertices;
    vertices.reserve(kGrid * kGrid);
    for (int j = 0; j < kGrid; ++j)
        for (int i = 0; i < kGrid; ++i) {
            const float X = (tx * (kGrid - 1) + i) * kSpacing, Y = (ty * (kGrid - 1) + j) * kSpacing;
            const float Z = 0.3f * std::sin(X * 1.3f) * std::cos(Y * 0.9f);
            vertices.push_back({-X, Z, Y});
        }
    std::vector<Face> faces;
    const auto at = [](int i, int j) { return static_cast<std::uint16_t>(j * kGrid + i); };
    for (int j = 0; j + 1 < kGrid && facesLeft > 0; ++j)
        for (int i = 0; i + 1 < kGrid && facesLeft > 0; ++i) {
            faces.push_back({at(i, j), at(i + 1, j + 1), at(i + 1, j)});
            faces.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1)});
            facesLeft -= 2;
        }
    std::vector<std::uint16_t> all(faces.size());
    for (std::size_t k = 0; k < all.size(); ++k) all[k] = static_cast<std::uint16_t>(k);
    return object("tile", {mesh({vertexList(vertices), faceList(faces, {faceGroup("sheet", all)})})});
}

struct Scene {
    TempDir dir;
    RecordingPrompt prompt;
    ViewerState state;
    std::unique_ptr<HeadlessGlSurface> surface;
    std::unique_ptr<GlView> view;
    bool ok = false;

    Scene() {
        std::string error;
        surface = HeadlessGlSurface::create(800, 600, error);
        if (!surface) {
            std::fprintf(stderr, "no headless OpenGL: %s\n", error.c_str());
            return;
        }
        std::vector<Chunk> children{simpleMaterial("sheet", {120, 120, 120}, {200, 180, 160}, {80, 80, 80})};
        long left = kFacesWanted;
        for (int ty = 0; ty < kTilesDown && left > 0; ++ty)
            for (int tx = 0; tx < kTilesAcross && left > 0; ++tx) children.push_back(tile(tx, ty, left));
        const std::string path = dir.file("sheet.3ds");
        if (!writeFile(path, model(children))) return;
        view = std::make_unique<GlView>(*surface, prompt, state, TextureFactory{}, [](std::string_view) {});
        if (view->loadModel(path, 0) != ModelLoad::Loaded) return;
        view->resize(0, 0, 800, 600);  // the first one also reads the outlines
        ok = true;
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

void BM_Redraw(benchmark::State& st) {
    Scene& s = scene();
    if (!s.ok) return st.SkipWithError("no model");
    for (auto _ : st) {
        s.view->drawFrame();
        glFinish();
    }
    st.counters["triangles"] = static_cast<double>(s.view->model()->triangleCount());
    st.counters["fps"] = benchmark::Counter(static_cast<double>(st.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Redraw)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_Resize(benchmark::State& st) {
    Scene& s = scene();
    if (!s.ok) return st.SkipWithError("no model");
    for (auto _ : st) {
        s.view->resize(0, 0, 800, 600);
        glFinish();
    }
}
BENCHMARK(BM_Resize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
