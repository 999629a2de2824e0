#pragma once
// Shared pieces of the view and export tests: models described in the view's
// own axes (written as .3ds files through the fixture builder), a view on a
// headless surface and frame read-back.

#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/ThreeDsBuilder.h"
#include "view/GlView.h"

namespace velmora::testing {

// Triangles in model space (x right, y up, z towards the home eye), front
// faces counter-clockwise, grouped by material. The file stores positions as
// (-x, z, y) and each face with its last two corners exchanged, which the
// mesh model undoes when it loads.
class ModelSpaceBuilder {
public:
    void material(const std::string& name, std::array<float, 3> c) {
        materials_.push_back(Chunk(0xAFFF).add(materialName(name)));
        for (std::uint16_t id : {0xA010, 0xA020, 0xA030}) materials_.back().add(colourBlock(id, {colourFloat(c[0], c[1], c[2])}));
        current_ = name;
    }
    void triangle(Vec3 a, Vec3 b, Vec3 c) {
        if (groups_.empty() || groups_.back().first != current_) groups_.push_back({current_, {}});
        groups_.back().second.push_back(static_cast<std::uint16_t>(faces_.size()));
        const auto n = static_cast<std::uint16_t>(vertices_.size());
        for (const Vec3& p : {a, b, c}) vertices_.push_back({-p.x, p.z, p.y});
        faces_.push_back({n, std::uint16_t(n + 2), std::uint16_t(n + 1)});
    }
    // An axis-aligned cube of half side `h`, faces outwards.
    void cube(Vec3 c, float h) {
        const auto p = [&](int i) { return Vec3{c.x + (i & 1 ? h : -h), c.y + (i & 2 ? h : -h), c.z + (i & 4 ? h : -h)}; };
        for (const auto& q : {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}}) {
            triangle(p(q[0]), p(q[1]), p(q[2]));
            triangle(p(q[0]), p(q[2]), p(q[3]));
        }
    }
    bool write(const std::string& path) const {
        std::vector<Chunk> faceGroups, editorChildren = materials_;
        for (const auto& [name, faces] : groups_) faceGroups.push_back(faceGroup(name, faces));
        editorChildren.push_back(object("model", {mesh({vertexList(vertices_), faceList(faces_, faceGroups)})}));
        return writeFile(path, model(editorChildren));
    }

private:
    std::vector<Chunk> materials_;
    std::string current_;
    std::vector<Vec3> vertices_;
    std::vector<Face> faces_;
    std::vector<std::pair<std::string, std::vector<std::uint16_t>>> groups_;  // in first-use order
};

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

// A view on a headless surface with a recording prompt; `load` writes the
// model, loads it and sizes the view to the whole surface.
struct ViewFixture : ::testing::Test {
    void open(int width, int height) {
        surface = makeHeadlessSurface(width, height);
        ASSERT_TRUE(surface);
        view = std::make_unique<GlView>(*surface, prompt, state, TextureFactory{}, [](std::string_view) {});
    }
    void load(const ModelSpaceBuilder& model, int twoSided = 0) {
        ASSERT_TRUE(model.write(dir.file("model.3ds")));
        ASSERT_EQ(view->loadModel(dir.file("model.3ds"), twoSided), ModelLoad::Loaded);
        view->resize(0, 0, surface->width(), surface->height());
    }
    // A model of one square of half side `h` at the origin, facing +z, in one colour.
    static ModelSpaceBuilder square(std::array<float, 3> colour, float h) {
        ModelSpaceBuilder b;
        b.material("m", colour);
        b.triangle({-h, -h, 0}, {h, -h, 0}, {h, h, 0});
        b.triangle({-h, -h, 0}, {h, h, 0}, {-h, h, 0});
        return b;
    }
    TempDir dir;
    RecordingPrompt prompt;
    ViewerState state;
    std::unique_ptr<HeadlessGlSurface> surface;
    std::unique_ptr<GlView> view;
};

}  // namespace velmora::testing
