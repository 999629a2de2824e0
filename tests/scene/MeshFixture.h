#pragma once
// Loads .3ds bytes into a MeshModel inside a headless OpenGL context, with a
// recording prompt and collected diagnostic lines.

#include "model/MeshModel.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"
#include "support/ThreeDsBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace velmora::testing {

class MeshFixture : public ::testing::Test {
protected:
    void SetUp() override {
        surface_ = makeHeadlessSurface(64, 64);
        ASSERT_NE(surface_, nullptr);
    }
    void TearDown() override {
        model_.reset();  // needs the context
        surface_.reset();
    }

    // Writes the bytes to a file and makes a model for it, not loaded yet.
    MeshModel& prepare(const Bytes& bytes, int forceTwoSided = 0, TextureFactory textures = {}) {
        model_.reset();
        path_ = dir_.file("model.3ds");
        EXPECT_TRUE(writeFile(path_, bytes));
        model_ = std::make_unique<MeshModel>(90, forceTwoSided, prompt_, std::move(textures),
                                             [this](std::string_view line) { lines_.emplace_back(line); });
        return *model_;
    }
    // Writes and loads; the model stays alive until the next load or the end
    // of the test.
    MeshModel& load(const Bytes& bytes, int forceTwoSided = 0, TextureFactory textures = {}) {
        MeshModel& m = prepare(bytes, forceTwoSided, std::move(textures));
        EXPECT_TRUE(m.read(path_));
        EXPECT_TRUE(m.build());
        return m;
    }

    HeadlessGlSurface& surface() { return *surface_; }

    std::unique_ptr<HeadlessGlSurface> surface_;
    TempDir dir_;
    std::string path_;
    RecordingPrompt prompt_;
    std::vector<std::string> lines_;
    std::unique_ptr<MeshModel> model_;
};

inline void expectVertex(const ModelVertex& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

inline void expectNormal(const ModelVertex& v, float nx, float ny, float nz) {
    EXPECT_NEAR(v.nx, nx, 1e-6);
    EXPECT_NEAR(v.ny, ny, 1e-6);
    EXPECT_NEAR(v.nz, nz, 1e-6);
}

inline void expectTriangle(const ModelTriangle& t, int i0, int i1, int i2, float nx, float ny, float nz) {
    EXPECT_EQ(t.i0, i0);
    EXPECT_EQ(t.i1, i1);
    EXPECT_EQ(t.i2, i2);
    EXPECT_FLOAT_EQ(t.nx, nx);
    EXPECT_FLOAT_EQ(t.ny, ny);
    EXPECT_FLOAT_EQ(t.nz, nz);
}

// One object with one face list whose faces all go to `materialName`.
inline Chunk meshObject(const std::string& name, const std::vector<Vec3>& vertices, const std::vector<Face>& faces,
                        const std::string& materialName) {
    std::vector<std::uint16_t> all;
    for (std::size_t i = 0; i < faces.size(); ++i) all.push_back(static_cast<std::uint16_t>(i));
    return object(name, {mesh({vertexList(vertices), faceList(faces, {faceGroup(materialName, all)})})});
}

inline Chunk grey(const std::string& name, const std::vector<Chunk>& more = {}) {
    return simpleMaterial(name, {128, 128, 128}, {128, 128, 128}, {0, 0, 0}, more);
}

}  // namespace velmora::testing
