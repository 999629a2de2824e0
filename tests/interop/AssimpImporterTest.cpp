// The importer's file image: axes and winding, baked transforms, splitting,
// materials and textures, real files, and failures.

#include "model/AssimpImporter.h"

#include "interop/InteropSupport.h"
#include "platform/RecordingPrompt.h"
#include "support/TempDir.h"
#include "textures/PngReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace velmora {
namespace {

struct Importer {
    RecordingPrompt prompt;
    std::vector<std::string> lines;
    bool read(const std::string& path, ParsedScene& scene) {
        return importModel(path, scene, prompt, [this](std::string_view line) { lines.emplace_back(line); });
    }
};

using testing::writeText;

TEST(AssimpImporter, PositionsAreStoredSoTheBuilderGivesBackTheSourceAxesAndWinding) {
    testing::TempDir dir;
    writeText(dir.file("t.obj"), "v 1 2 3\nv 4 5 6\nv 7 8 10\nf 1 2 3\n");
    Importer importer;
    ParsedScene scene;
    ASSERT_TRUE(importer.read(dir.file("t.obj"), scene));
    ASSERT_EQ(scene.objects.size(), 1u);
    const MeshObject& o = scene.objects[0];
    ASSERT_EQ(o.vertices.size(), 3u);
    // The builder makes (-x, z, y) of a stored vertex: (1, 2, 3) again.
    const auto at = [&o](int i) { return std::array<float, 3>{o.vertices[i].x, o.vertices[i].y, o.vertices[i].z}; };
    EXPECT_EQ(at(0), (std::array<float, 3>{-1, 3, 2}));
    EXPECT_EQ(at(2), (std::array<float, 3>{-7, 10, 8}));
    // ... and (a, c, b) of a stored face: the source's (0, 1, 2).
    ASSERT_EQ(o.faces.size(), 1u);
    EXPECT_EQ((std::array<int, 3>{o.faces[0].a, o.faces[0].b, o.faces[0].c}), (std::array<int, 3>{0, 2, 1}));
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].faceIndices, std::vector<std::uint16_t>{0});
    EXPECT_FALSE(scene.needsDefaultMaterial);
    // Without an MTL file the library's default material is named by the group.
    ASSERT_EQ(scene.materialDefs.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].materialName, scene.materialDefs[0].name);
}

// A glTF file of one triangle used by two nodes: one translated and scaled,
// one mirrored in x.
std::string twoNodeGltf() {
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    return std::string(R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0,1]}],)") +
           R"("nodes":[{"mesh":0,"translation":[5,0,0],"scale":[2,2,2]},{"mesh":0,"scale":[-1,1,1]}],)" +
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],)" +
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]}],)" +
           R"("bufferViews":[{"buffer":0,"byteLength":36}],)" +
           R"("buffers":[{"byteLength":36,"uri":"data:application/octet-stream;base64,)" +
           testing::base64(positions, sizeof positions) + "\"}]}";
}

TEST(AssimpImporter, NodeTransformsAreBakedPerUseAndAMirrorKeepsTheFrontSide) {
    testing::TempDir dir;
    writeText(dir.file("two.gltf"), twoNodeGltf());
    Importer importer;
    ParsedScene scene;
    ASSERT_TRUE(importer.read(dir.file("two.gltf"), scene)) << (importer.lines.empty() ? "" : importer.lines.back());
    ASSERT_EQ(scene.objects.size(), 2u);
    // First use: (1, 0, 0) becomes (7, 0, 0), stored (-7, 0, 0); (0, 1, 0) becomes (5, 2, 0).
    const MeshObject& moved = scene.objects[0];
    ASSERT_EQ(moved.vertices.size(), 3u);
    std::set<std::array<float, 3>> stored;
    for (const auto& v : moved.vertices) stored.insert({v.x, v.y, v.z});
    EXPECT_EQ(stored, (std::set<std::array<float, 3>>{{-5, 0, 0}, {-7, 0, 0}, {-5, 0, 2}}));
    // Its face, turned back by the builder (a, c, b), runs counter-clockwise
    // about +z as the source's does: the cross product of the source edges is +z.
    const auto source = [&](const MeshObject& o, int corner) {
        const ObjectVertex& v = o.vertices[corner];
        return std::array<float, 3>{-v.x, v.z, v.y};
    };
    const auto normalZ = [&](const MeshObject& o) {
        const ObjectFace& f = o.faces.at(0);
        const auto a = source(o, f.a), b = source(o, f.c), c = source(o, f.b);
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    };
    EXPECT_GT(normalZ(moved), 0.0f);
    // The mirrored use: x negated, and the winding reversed so that the side
    // that was the front (+z) stays the front.
    const MeshObject& mirrored = scene.objects[1];
    stored.clear();
    for (const auto& v : mirrored.vertices) stored.insert({v.x, v.y, v.z});
    EXPECT_EQ(stored, (std::set<std::array<float, 3>>{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}));
    EXPECT_GT(normalZ(mirrored), 0.0f);
}

TEST(AssimpImporter, MeshesBeyond65535VerticesAreSplitWithoutLosingAFace) {
    testing::TempDir dir;
    constexpr int kSide = 260;  // 67,600 vertices, 134,162 triangles
    {
        std::ofstream obj(dir.file("grid.obj"));
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) obj << "v " << x << ' ' << y << " 0\n";
        for (int y = 0; y + 1 < kSide; ++y)
            for (int x = 0; x + 1 < kSide; ++x) {
                const int a = y * kSide + x + 1;
                obj << "f " << a << ' ' << a + 1 << ' ' << a + kSide + 1 << '\n';
                obj << "f " << a << ' ' << a + kSide + 1 << ' ' << a + kSide << '\n';
            }
    }
    Importer importer;
    ParsedScene scene;
    ASSERT_TRUE(importer.read(dir.file("grid.obj"), scene));
    ASSERT_GE(scene.objects.size(), 3u);
    std::size_t faces = 0;
    std::set<std::pair<float, float>> corners;
    std::set<std::array<float, 6>> triangles;
    for (const MeshObject& o : scene.objects) {
        EXPECT_LE(o.vertices.size(), 65535u);
        EXPECT_LE(o.faces.size(), 65535u);
        ASSERT_EQ(o.faceGroups.size(), 1u);
        EXPECT_EQ(o.faceGroups[0].faceIndices.size(), o.faces.size());
        faces += o.faces.size();
        for (const ObjectFace& f : o.faces) {
            ASSERT_LT(std::max({f.a, f.b, f.c}), o.vertices.size());
            // Stored (-x, 0, y): a face is identified by its corners in the grid.
            std::array<std::pair<float, float>, 3> c{{{-o.vertices[f.a].x, o.vertices[f.a].z},
                                                      {-o.vertices[f.b].x, o.vertices[f.b].z},
                                                      {-o.vertices[f.c].x, o.vertices[f.c].z}}};
            std::sort(c.begin(), c.end());
            triangles.insert({c[0].first, c[0].second, c[1].first, c[1].second, c[2].first, c[2].second});
            for (const auto& p : c) corners.insert(p);
        }
    }
    EXPECT_EQ(faces, 2u * (kSide - 1) * (kSide - 1));
    EXPECT_EQ(triangles.size(), faces);  // every triangle once
    EXPECT_EQ(corners.size(), static_cast<std::size_t>(kSide) * kSide);
}

TEST(AssimpImporter, MaterialsCarryColoursOpacityTextureAndShortUniqueNames) {
    testing::TempDir dir;
    writeText(dir.file("m.mtl"),
              "newmtl a_very_long_material_name_1\nKa 0.1 0.2 0.3\nKd 0.4 0.5 0.6\nKs 0.7 0.8 0.9\nd 0.25\n"
              "map_Kd tex.png\n"
              "newmtl a_very_long_material_name_2\nKa 0 0 0\nKd 1 1 1\nKs 0 0 0\n");
    writeText(dir.file("m.obj"),
              "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\n"
              "usemtl a_very_long_material_name_1\nf 1 2 3\nusemtl a_very_long_material_name_2\nf 2 4 3\n");
    Importer importer;
    ParsedScene scene;
    ASSERT_TRUE(importer.read(dir.file("m.obj"), scene));
    const MaterialDef* first = nullptr;
    const MaterialDef* second = nullptr;
    std::set<std::string> names;
    for (const MaterialDef& m : scene.materialDefs) {
        EXPECT_LE(m.name.size(), 16u);
        names.insert(m.name);
        if (m.textureFile == "tex.png") first = &m;
        else if (m.diffuse[0] == 1.0f) second = &m;
    }
    EXPECT_EQ(names.size(), scene.materialDefs.size());
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->name, "a_very_long_mate");
    EXPECT_EQ(second->name, "a_very_long_ma~1");
    EXPECT_EQ(first->ambient, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(first->diffuse, (std::array<float, 3>{0.4f, 0.5f, 0.6f}));
    EXPECT_EQ(first->specular, (std::array<float, 3>{0.7f, 0.8f, 0.9f}));
    EXPECT_EQ(first->alpha, 0.25f);  // opacity d
    EXPECT_EQ(second->alpha, 1.0f);
    EXPECT_TRUE(second->textureFile.empty());
    // One face group per mesh, naming its material.
    std::set<std::string> grouped;
    for (const MeshObject& o : scene.objects) {
        ASSERT_EQ(o.faceGroups.size(), 1u);
        grouped.insert(o.faceGroups[0].materialName);
    }
    EXPECT_EQ(grouped, (std::set<std::string>{first->name, second->name}));
}

TEST(AssimpImporter, GltfMaterialIsTwoSidedWithItsEmbeddedPngWrittenOutForTheTextureManager) {
    testing::TempDir dir;
    ASSERT_TRUE(testing::writePngRgba(dir.file("p.png"), 3, 2, std::vector<std::uint8_t>(3 * 2 * 4, 200)));
    const auto png = testing::readBytes(dir.file("p.png"));
    const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const float uv[6] = {0, 0, 1, 0, 0, 1};
    std::vector<std::uint8_t> buffer(sizeof positions + sizeof uv);
    std::memcpy(buffer.data(), positions, sizeof positions);
    std::memcpy(buffer.data() + sizeof positions, uv, sizeof uv);
    writeText(dir.file("t.gltf"),
              std::string(R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)") +
                  R"("meshes":[{"primitives":[{"attributes":{"POSITION":0,"TEXCOORD_0":1},"material":0}]}],)" +
                  R"("materials":[{"name":"skin","doubleSided":true,"pbrMetallicRoughness":{"baseColorFactor":[0.5,0.25,1,1],"baseColorTexture":{"index":0}}}],)" +
                  R"("textures":[{"source":0}],"images":[{"uri":"data:image/png;base64,)" +
                  testing::base64(png.data(), png.size()) + R"("}],)" +
                  R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3","min":[0,0,0],"max":[1,1,0]},)" +
                  R"({"bufferView":1,"componentType":5126,"count":3,"type":"VEC2"}],)" +
                  R"("bufferViews":[{"buffer":0,"byteLength":36},{"buffer":0,"byteOffset":36,"byteLength":24}],)" +
                  R"("buffers":[{"byteLength":60,"uri":"data:application/octet-stream;base64,)" +
                  testing::base64(buffer.data(), buffer.size()) + "\"}]}");
    Importer importer;
    ParsedScene scene;
    ASSERT_TRUE(importer.read(dir.file("t.gltf"), scene)) << (importer.lines.empty() ? "" : importer.lines.back());
    const MaterialDef* skin = nullptr;
    for (const auto& m : scene.materialDefs)
        if (m.name == "skin") skin = &m;
    ASSERT_TRUE(skin);
    EXPECT_EQ(skin->twoSided, 1);
    EXPECT_EQ(skin->diffuse, (std::array<float, 3>{0.5f, 0.25f, 1.0f}));
    EXPECT_EQ(skin->ambient, skin->diffuse);  // glTF has none: the diffuse one
    ASSERT_FALSE(skin->textureFile.empty());
    EXPECT_TRUE(std::filesystem::path(skin->textureFile).is_absolute());
    EXPECT_EQ(std::filesystem::path(skin->textureFile).extension(), ".png");
    EXPECT_EQ(testing::readBytes(skin->textureFile), png);
    // Texture coordinates come along, in OpenGL's orientation (v up).
    ASSERT_EQ(scene.objects.size(), 1u);
    ASSERT_EQ(scene.objects[0].mapCoords.size(), 3u);
    std::set<std::pair<float, float>> coords;
    for (const auto& c : scene.objects[0].mapCoords) coords.insert({c.u, c.v});
    EXPECT_EQ(coords, (std::set<std::pair<float, float>>{{0, 1}, {1, 1}, {0, 0}}));
}

const std::string kModels = "/usr/share/assimp/models";

// The triangle count of a binary STL file, from its header.
std::uint32_t stlTriangles(const std::string& path) {
    const auto bytes = testing::readBytes(path);
    return bytes.size() < 84 ? 0 : bytes[80] | bytes[81] << 8 | bytes[82] << 16 | std::uint32_t{bytes[83]} << 24;
}

TEST(AssimpImporter, RealFilesLoadWithTheirTriangleCountsAndTextures) {
    if (!std::filesystem::exists(kModels)) GTEST_SKIP() << "assimp-testmodels is not installed";
    Importer importer;
    ParsedScene scene;
    const auto faceCount = [&scene] {
        std::size_t n = 0;
        for (const auto& o : scene.objects) n += o.faces.size();
        return n;
    };

    ASSERT_TRUE(importer.read(kModels + "/STL/Spider_binary.stl", scene));
    // Degenerate triangles may be dropped by the library, never more.
    EXPECT_LE(faceCount(), stlTriangles(kModels + "/STL/Spider_binary.stl"));
    EXPECT_GT(faceCount(), stlTriangles(kModels + "/STL/Spider_binary.stl") * 99 / 100);

    ASSERT_TRUE(importer.read(kModels + "/OBJ/spider.obj", scene));
    std::size_t objTriangles = 0;
    {
        std::ifstream obj(kModels + "/OBJ/spider.obj");
        std::string line;
        while (std::getline(obj, line)) {
            if (line.rfind("f ", 0) != 0) continue;
            std::istringstream corners(line.substr(2));
            std::string corner;
            int n = 0;
            while (corners >> corner) ++n;
            objTriangles += n - 2;
        }
    }
    EXPECT_EQ(faceCount(), objTriangles);
    std::set<std::string> textures;
    for (const auto& m : scene.materialDefs)
        if (!m.textureFile.empty()) textures.insert(m.textureFile);
    EXPECT_TRUE(textures.count(".\\SpiderTex.jpg")) << *textures.begin();

    ASSERT_TRUE(importer.read(kModels + "/glTF2/BoxTextured-glTF/BoxTextured.gltf", scene));
    EXPECT_EQ(faceCount(), 12u);
    bool png = false;
    for (const auto& m : scene.materialDefs) png = png || m.textureFile == "CesiumLogoFlat.png";
    EXPECT_TRUE(png);

    // The binary form embeds the same picture: written out, a PNG of 256 × 256.
    ASSERT_TRUE(importer.read(kModels + "/glTF2/BoxTextured-glTF-Binary/BoxTextured.glb", scene));
    std::string embedded;
    for (const auto& m : scene.materialDefs)
        if (!m.textureFile.empty()) embedded = m.textureFile;
    ASSERT_FALSE(embedded.empty());
    auto image = PngReader(importer.prompt).readPng(embedded);
    ASSERT_TRUE(image);
    const auto original = PngReader(importer.prompt).readPng(kModels + "/glTF2/BoxTextured-glTF/CesiumLogoFlat.png");
    ASSERT_TRUE(original);
    EXPECT_EQ(image->pixels, original->pixels);
    EXPECT_TRUE(importer.prompt.messages().empty());
}

TEST(AssimpImporter, FailuresAreReportedAndLeaveNoModel) {
    testing::TempDir dir;
    Importer importer;
    ParsedScene scene;
    EXPECT_FALSE(importer.read(dir.file("absent.obj"), scene));
    EXPECT_EQ(importer.prompt.transcript(),
              std::vector<std::string>{"message Error: Failed to open " + dir.file("absent.obj") + "\n"});

    writeText(dir.file("bad.glb"), "glTF but not really a binary glTF file at all");
    EXPECT_FALSE(importer.read(dir.file("bad.glb"), scene));
    ASSERT_FALSE(importer.lines.empty());
    EXPECT_EQ(importer.lines[0], "Failed to parse " + dir.file("bad.glb") + "\n");

    importer.lines.clear();
    writeText(dir.file("points.obj"), "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\n");
    EXPECT_FALSE(importer.read(dir.file("points.obj"), scene));
    EXPECT_TRUE(scene.objects.empty());
    EXPECT_FALSE(importer.lines.empty());
}

TEST(AssimpImporter, FormatsAreKnownByTheirExtensionInAnyCase) {
    for (const char* yes : {"a.obj", "A.OBJ", "b.Stl", "c.ply", "d.gltf", "e.GLB", "f.dae", "g.fbx", "dir/h.obj"})
        EXPECT_TRUE(isAssimpModel(yes)) << yes;
    for (const char* no : {"a.3ds", "A.3DS", "obj", "dir.obj/file", "a.objx", "a.jpeg", ""})
        EXPECT_FALSE(isAssimpModel(no)) << no;
    const auto filters = modelFileFilters();
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].name, "3D Studio Files");
    EXPECT_EQ(filters[0].pattern, "*.3DS");
    EXPECT_EQ(filters[1].name, "All supported models");
    EXPECT_EQ(filters[1].pattern, "*.3ds *.obj *.stl *.ply *.gltf *.glb *.dae *.fbx");
}

}  // namespace
}  // namespace velmora
