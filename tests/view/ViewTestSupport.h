#pragma once
// Shared by the view and export tests: models in the view's own axes, a view on a headless surface.

#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/ThreeDsBuilder.h"
#include "view/GlView.h"

namespace velmora::testing {

// A model in the view's own axes (x right, y up, z towards the home eye): for
// each colour, its triangles as corner triples, front faces counter-clockwise.
using ModelParts = std::vector<std::pair<std::array<float, 3>, std::vector<Vec3>>>;

// One material and one object for each part, all as see-through as given. The file stores positions as (-x, z, y)
// and each face with its last two corners exchanged, which the mesh model undoes when it loads.
inline bool writeModel(const std::string& path, const ModelParts& parts, std::uint16_t seeThroughPercent = 0) {
    std::vector<Chunk> chunks, objects;
    for (const auto& [c, corners] : parts) {
        const std::string name = "m" + std::to_string(objects.size());
        chunks.push_back(Chunk(0xAFFF).add(materialName(name)));
        for (std::uint16_t id : {0xA010, 0xA020, 0xA030}) chunks.back().add(colourBlock(id, {colourFloat(c[0], c[1], c[2])}));
        if (seeThroughPercent) chunks.back().add(transparency({percent(seeThroughPercent)}));
        std::vector<Vec3> vertices;
        std::vector<Face> faces;
        std::vector<std::uint16_t> group;
        for (const Vec3& p : corners) vertices.push_back({-p.x, p.z, p.y});
        for (std::uint16_t n = 0; n < vertices.size(); n += 3) {
            faces.push_back({n, std::uint16_t(n + 2), std::uint16_t(n + 1)});
            group.push_back(std::uint16_t(n / 3));
        }
        objects.push_back(object(name, {mesh({vertexList(vertices), faceList(faces, {faceGroup(name, group)})})}));
    }
    chunks.insert(chunks.end(), objects.begin(), objects.end());
    return writeFile(path, model(chunks));
}

struct Pixel {
    int r, g, b;
};

// The surface's pixels; (x, y) counts from the bottom-left corner.
struct Frame {
    explicit Frame(const HeadlessGlSurface& s) : width(s.width()), height(s.height()), rgba(s.readRgba()) {}
    Pixel at(int x, int y) const {
        const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
        return {p[0], p[1], p[2]};
    }
    int width, height;
    std::vector<std::uint8_t> rgba;
};

inline bool near(Pixel p, int r, int g, int b, int tolerance = 1) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}
// The viewing clear colour (0.25, 0.5, 0.75) in 8-bit steps.
inline bool isClearColour(Pixel p) { return near(p, 64, 128, 191); }

// `load` writes the model, loads it and sizes the view to the whole surface.
struct ViewFixture : ::testing::Test {
    void open(int width, int height) {
        surface = makeHeadlessSurface(width, height);
        ASSERT_TRUE(surface);
        auto opened = GlView::open(*surface, prompt, state, TextureFactory{}, [](std::string_view) {});
        ASSERT_TRUE(opened) << "the view ended the program with status " << opened.error().status;
        view = std::move(*opened);
    }
    void load(const ModelParts& model, int twoSided = 0) {
        ASSERT_TRUE(writeModel(dir.file("model.3ds"), model));
        ASSERT_EQ(view->loadModel(dir.file("model.3ds"), twoSided), ModelLoad::Loaded);
        view->resize(0, 0, surface->width(), surface->height());
    }
    static ModelParts square(std::array<float, 3> colour, float h) {
        return {{colour, {{-h, -h, 0}, {h, -h, 0}, {h, h, 0}, {-h, -h, 0}, {h, h, 0}, {-h, h, 0}}}};
    }
    TempDir dir;
    RecordingPrompt prompt;
    ViewerState state;
    std::unique_ptr<HeadlessGlSurface> surface;
    std::unique_ptr<GlView> view;
};

}  // namespace velmora::testing
