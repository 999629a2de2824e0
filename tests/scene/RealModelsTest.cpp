// Every .3ds model of the installed test data loads and builds into a
// consistent model.

#include "model/MeshModel.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

namespace velmora::testing {
namespace {

std::vector<std::string> installedModels() {
    std::vector<std::string> found;
    for (const char* folder : {"/usr/share/assimp/models/3DS", "/usr/share/glmark2/models"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
            std::string ext = entry.path().extension().string();
            std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
            if (ext == ".3ds") found.push_back(entry.path().string());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

TEST(RealModelsTest, EveryInstalledModelLoadsAndBuilds) {
    auto surface = makeHeadlessSurface(64, 64);
    ASSERT_NE(surface, nullptr);
    const auto models = installedModels();
    ASSERT_GE(models.size(), 10u) << "the assimp and glmark2 test models are not installed";
    for (const std::string& path : models) {
        SCOPED_TRACE(path);
        RecordingPrompt prompt;
        std::size_t lines = 0;
        MeshModel m(90, 1, prompt, {}, [&](std::string_view) { ++lines; });
        ASSERT_TRUE(m.read(path));
        ASSERT_TRUE(m.build());
        EXPECT_TRUE(prompt.messages().empty()) << prompt.messages().back().text;  // no GL error boxes

        std::size_t objectVertices = 0;
        for (const auto& o : m.scene().objects) objectVertices += o.vertices.size();
        EXPECT_GE(m.vertices().size(), objectVertices);
        EXPECT_LE(m.vertices().size(), 2 * objectVertices);
        EXPECT_EQ(m.vertexFaces().size(), m.vertices().size());
        const auto count = static_cast<std::int32_t>(m.vertices().size());
        std::size_t triangles = 0;
        for (const MeshMaterial& material : m.materials()) {
            for (const ModelTriangle& t : material.triangles) {
                ++triangles;
                for (std::int32_t i : {t.i0, t.i1, t.i2}) ASSERT_TRUE(i >= 0 && i < count);
                ASSERT_NEAR(t.nx * t.nx + t.ny * t.ny + t.nz * t.nz, 1.0f, 1e-4);
            }
        }
        EXPECT_EQ(triangles, m.triangleCount());
        EXPECT_GT(triangles, 0u);
        for (const ModelVertex& v : m.vertices()) {
            const float length = v.nx * v.nx + v.ny * v.ny + v.nz * v.nz;
            ASSERT_TRUE(length == 0.0f || std::fabs(length - 1.0f) < 1e-4f) << length;
        }
        m.draw();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

}  // namespace
}  // namespace velmora::testing
