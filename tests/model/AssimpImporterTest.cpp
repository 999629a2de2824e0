// The importer's file image from small files written here; real files are in check_real_models.py.
// What users rely on: other formats come in with the source's axes and winding, materials with their colours,
// opacity, texture and short unique names; failures are reported and leave no model.

#include "model/AssimpImporter.h"

#include "support/Prompts.h"
#include "support/TempDir.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace velmora {
namespace {

using testing::writeFile;
using V3 = std::array<float, 3>;

struct Importer {
    RecordingPrompt prompt;
    std::vector<std::string> lines;
    ParsedScene scene;
    testing::TempDir dir;
    bool read(const std::string& name, const std::string& text = "") {
        if (!text.empty()) writeFile(dir.file(name), text);
        scene = {};
        return importModel(dir.file(name), scene, prompt, [this](std::string_view l) { lines.emplace_back(l); });
    }
    std::set<V3> vertices(std::size_t object) const {
        std::set<V3> out;
        for (const auto& v : scene.objects.at(object).vertices) out.insert({v.x, v.y, v.z});
        return out;
    }
    // The z of the first face's normal in the source's axes: the mesh model
    // turns a stored (x, y, z) into (-x, z, y) and a face (a, b, c) into (a, c, b).
    float sourceNormalZ(std::size_t object) const {
        const MeshObject& o = scene.objects.at(object);
        const auto at = [&o](int i) { return V3{-o.vertices[i].x, o.vertices[i].z, o.vertices[i].y}; };
        const V3 a = at(o.faces[0].a), b = at(o.faces[0].c), c = at(o.faces[0].b);
        return (b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]);
    }
};

// The buffer of tests/data/model/*.gltf: the triangle (0,0,0) (1,0,0) (0,1,0), its texture coordinates,
// then untyped pictures cut short after their signatures: a PNG, a JPEG and a BMP whose third byte is a JPEG's.
const std::string kPictures[3] = {"\x89PNG\r\n\x1a\n", "\xFF\xD8\xFF\xE1" "Exif!", "BM\xFF" "Bitmap"};
void writeBuffer(const testing::TempDir& dir) {
    const float data[15] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1};
    const std::string floats(reinterpret_cast<const char*>(data), sizeof data);
    writeFile(dir.file("triangle.bin"), floats + kPictures[0] + kPictures[1] + kPictures[2]);
}

TEST(AssimpImporter, StoredSoTheMeshModelGivesBackTheSourceAxesAndWinding) {
    Importer in;
    ASSERT_TRUE(in.read("t.obj", "v 1 2 3\nv 4 5 6\nv 7 8 10\nf 1 2 3\n"));
    ASSERT_EQ(in.scene.objects.size(), 1u);
    const MeshObject& o = in.scene.objects[0];
    EXPECT_EQ(in.vertices(0), (std::set<V3>{{-1, 3, 2}, {-4, 6, 5}, {-7, 10, 8}}));
    EXPECT_EQ((std::array<int, 3>{o.faces.at(0).a, o.faces[0].b, o.faces[0].c}), (std::array<int, 3>{0, 2, 1}));
    ASSERT_EQ(o.faceGroups.size(), 1u);
    EXPECT_EQ(o.faceGroups[0].faceIndices, std::vector<std::uint16_t>{0});
    EXPECT_FALSE(in.scene.needsDefaultMaterial);
    ASSERT_EQ(in.scene.materialDefs.size(), 1u);  // the library's default, named by the group
    EXPECT_EQ(o.faceGroups[0].materialName, in.scene.materialDefs[0].name);
    // Two uses of one mesh: translated by (5, 0, 0) and scaled by 2, then mirrored in x.
    writeBuffer(in.dir);
    ASSERT_TRUE(in.read("two.gltf", testing::dataText("model/two_nodes.gltf")));
    ASSERT_EQ(in.scene.objects.size(), 2u);
    EXPECT_EQ(in.vertices(0), (std::set<V3>{{-5, 0, 0}, {-7, 0, 0}, {-5, 0, 2}}));
    EXPECT_EQ(in.vertices(1), (std::set<V3>{{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}));
    // Both keep the source's front side (+z), the mirrored one by a reversed winding.
    for (std::size_t k : {0, 1}) EXPECT_GT(in.sourceNormalZ(k), 0.0f) << k;
}

// The box of assimp's sample FBX files, 47.24 units on a side scaled by 0.0254, standing on the file's
// z = 0 with z up. Its axes are declared in the file; each case declares others and gives the box's
// bounds in the importer's axes (x right, y up, z towards the viewer) as the declaration implies.
TEST(AssimpImporter, FbxFilesComeInWithTheAxesTheyDeclare) {
    std::ifstream file("/usr/share/assimp/models/FBX/embedded_ascii/box.FBX", std::ios::binary);
    ASSERT_TRUE(file) << "the assimp test models are not installed";
    const std::string shipped{std::istreambuf_iterator<char>(file), {}};
    const auto declaring = [&shipped](std::initializer_list<std::pair<std::string, int>> axes) {
        std::string text = shipped;
        for (const auto& [name, value] : axes) {
            const std::string key = "\"" + name + "\", \"int\", \"Integer\", \"\",";
            const std::size_t at = text.find(key) + key.size();
            text.replace(at, text.find('\n', at) - at, std::to_string(value));
        }
        return text;
    };
    using Bounds = std::array<float, 6>;  // x, y and z: low, high
    const float h = 0.6f, s = 1.2f;
    const std::pair<std::string, Bounds> cases[] = {
        {shipped, {-h, h, 0, s, -h, h}},  // z up, y away from the viewer: stands on y = 0
        {declaring({{"CoordAxis", 2}, {"CoordAxisSign", -1}, {"UpAxis", 0}, {"FrontAxis", 1}}),
         {-s, 0, -h, h, -h, h}},  // x from -z, y from x, z from -y
        {declaring({{"UpAxis", 0}, {"FrontAxis", 0}}), {-h, h, -h, h, 0, s}},  // not three axes: taken as they are
        {declaring({{"CoordAxis", -1}}), {-h, h, -h, h, 0, s}},                // no axis -1: taken as they are
    };
    for (std::size_t c = 0; c < std::size(cases); ++c) {
        Importer in;
        ASSERT_TRUE(in.read("box.fbx", cases[c].first));
        Bounds got{1e9f, -1e9f, 1e9f, -1e9f, 1e9f, -1e9f};
        for (const MeshObject& o : in.scene.objects) for (const auto& v : o.vertices) {
            const V3 q{-v.x, v.z, v.y};  // the stored form back in the importer's axes
            for (int k = 0; k < 3; ++k)
                got[2 * k] = std::min(got[2 * k], q[k]), got[2 * k + 1] = std::max(got[2 * k + 1], q[k]);
        }
        for (int k = 0; k < 6; ++k) EXPECT_NEAR(got[k], cases[c].second[k], 1e-3f) << "bound " << k << " of case " << c;
    }
}

TEST(AssimpImporter, MeshesBeyond65535VerticesAreSplitWithoutLosingAFace) {
    constexpr int kSide = 260, kLoose = 22000;  // a grid split by its faces, loose triangles by their vertices
    std::ostringstream obj;
    for (int i = 0; i < kSide * kSide; ++i) obj << "v " << i % kSide << ' ' << i / kSide << " 0\n";
    for (int a = 1; a <= kSide * (kSide - 1); ++a)
        if (a % kSide) obj << "f " << a << ' ' << a + 1 << ' ' << a + kSide + 1 << "\nf " << a << ' ' << a + kSide + 1 << ' ' << a + kSide << '\n';
    for (int i = 0; i < kLoose; ++i) obj << "v " << i << " 2 0\nv " << i << " 3 0\nv " << i << ".5 2 0\nf -3 -2 -1\n";
    Importer in;
    ASSERT_TRUE(in.read("grid.obj", obj.str()));
    ASSERT_GE(in.scene.objects.size(), 3u);
    std::set<std::array<float, 6>> triangles;  // by their corners in the grid
    for (const MeshObject& o : in.scene.objects) {
        EXPECT_LE(o.vertices.size(), 65535u);
        ASSERT_EQ(o.faceGroups.size(), 1u);
        EXPECT_EQ(o.faceGroups[0].faceIndices.size(), o.faces.size());
        for (const ObjectFace& f : o.faces) {
            ASSERT_LT(std::max({f.a, f.b, f.c}), o.vertices.size());
            std::array<std::pair<float, float>, 3> c;
            for (int k = 0; k < 3; ++k) c[k] = {-o.vertices[(&f.a)[k]].x, o.vertices[(&f.a)[k]].z};
            std::sort(c.begin(), c.end());
            triangles.insert({c[0].first, c[0].second, c[1].first, c[1].second, c[2].first, c[2].second});
        }
    }
    EXPECT_EQ(triangles.size(), 2u * (kSide - 1) * (kSide - 1) + kLoose);
}

TEST(AssimpImporter, MaterialsCarryColoursOpacityTextureAndShortUniqueNames) {
    Importer in;
    writeFile(in.dir.file("long_names.mtl"), testing::dataText("model/long_names.mtl"));
    ASSERT_TRUE(in.read("m.obj", testing::dataText("model/long_names.obj")));
    std::map<std::string, MaterialDef> byName;
    for (const MaterialDef& m : in.scene.materialDefs) byName[m.name] = m;
    const MaterialDef first = byName["a_very_long_mate"], second = byName["a_very_long_ma~1"];
    EXPECT_EQ((std::array{first.ambient, first.diffuse, first.specular, second.diffuse}),
              (std::array{V3{0.1f, 0.2f, 0.3f}, V3{0.4f, 0.5f, 0.6f}, V3{0.7f, 0.8f, 0.9f}, V3{1, 1, 1}}));
    EXPECT_EQ(first.alpha + second.alpha, 1.25f);  // opacity d 0.25, and opaque without one
    EXPECT_EQ(first.textureFile + "|" + second.textureFile + "|" + std::to_string(first.twoSided), "tex.png||0");
    std::set<std::string> grouped;
    for (const MeshObject& o : in.scene.objects) grouped.insert(o.faceGroups.at(0).materialName);
    EXPECT_EQ(grouped, (std::set<std::string>{"a_very_long_mate", "a_very_long_ma~1"}));
    // glTF materials: two-sided, ambient as the diffuse colour, embedded pictures written out. Untyped, each is
    // named by its signature, so that a damaged one still goes to its own reader, which reports it.
    writeBuffer(in.dir);
    ASSERT_TRUE(in.read("t.gltf", testing::dataText("model/materials.gltf")));
    for (const MaterialDef& m : in.scene.materialDefs) byName[m.name] = m;
    const MaterialDef& skin = byName["skin"];
    EXPECT_EQ(std::make_tuple(skin.twoSided, skin.ambient, skin.diffuse),
              std::make_tuple(1, V3{0.5f, 0.25f, 1.0f}, V3{0.5f, 0.25f, 1.0f}));
    const std::filesystem::path textures[3] = {skin.textureFile, byName["damaged"].textureFile,
                                               byName["bitmap"].textureFile};
    for (int k : {0, 1, 2}) {
        const std::string ending = std::array{".png", ".jpg", ".bmp"}[k];
        EXPECT_TRUE(textures[k].is_absolute() && textures[k].extension() == ending) << textures[k];
        EXPECT_EQ(testing::fileText(textures[k]), kPictures[k]);
    }
    std::set<std::pair<float, float>> uv;  // in OpenGL's orientation, v up
    for (const auto& c : in.scene.objects.at(0).mapCoords) uv.insert({c.u, c.v});
    EXPECT_EQ(uv, (std::set<std::pair<float, float>>{{0, 1}, {1, 1}, {0, 0}}));
    // A skin that comes uncompressed (BGRA texels, top row first) is written as a 32-bit TGA with eight alpha bits,
    // 1272 x 1114 (F8 04 5A 04), bottom row first.
    const std::string skinned = "/usr/share/assimp/models/MDL/MDL3 (3DGS A4)/minigun.MDL";
    Assimp::Importer source;  // the texels as the library gives them
    const aiScene* mdl = source.ReadFile(skinned, 0);
    ASSERT_TRUE(mdl && mdl->mNumTextures == 1 && importModel(skinned, in.scene, in.prompt, [](std::string_view) {}));
    std::string expected("\0\0\2\0\0\0\0\0\0\0\0\0\xF8\4\x5A\4\x20\x08", 18);
    for (unsigned row = 1114; row-- > 0;)
        for (const aiTexel* p = mdl->mTextures[0]->pcData + row * 1272; p != mdl->mTextures[0]->pcData + (row + 1) * 1272; ++p)
            expected += {char(p->b), char(p->g), char(p->r), char(p->a)};
    EXPECT_TRUE(testing::fileText(in.scene.materialDefs.at(0).textureFile) == expected);
}

TEST(AssimpImporter, FailuresAreReportedAndLeaveNoModel) {
    Importer in;
    EXPECT_FALSE(in.read("absent.obj"));
    testing::expectBox(in.prompt, "Error", "Failed to open " + in.dir.file("absent.obj") + "\n");
    EXPECT_FALSE(in.read("bad.glb", "glTF but not really a binary glTF file at all"));
    EXPECT_FALSE(in.read("points.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\np 1 2 3\n"));
    EXPECT_TRUE(in.scene.objects.empty());
    ASSERT_EQ(in.lines.size(), 4u);  // each followed by the library's reason
    EXPECT_EQ(in.lines[0] + in.lines[2], "Failed to parse " + in.dir.file("bad.glb") + "\nFailed to parse " +
                                             in.dir.file("points.obj") + "\n");
    // A folder cannot be opened; a device, a file larger than any memory and a FIFO without a writer end at once.
    const testing::AwkwardPaths awkward(in.dir, ".obj", std::uintmax_t{1} << 40);
    RecordingPrompt refused;
    EXPECT_FALSE(importModel(awkward.folder, in.scene, refused));
    testing::expectBox(refused, "Error", "Failed to open " + awkward.folder + "\n");
    for (const auto& [path, reason] : {std::pair{awkward.zero, "128 MiB or more from a pipe or device"},
                                       {awkward.big, "the file needs 1024.0 GiB, "}, {awkward.fifo, "the file is empty"}}) {
        in.lines.clear();
        EXPECT_FALSE(importModel(path, in.scene, in.prompt, [&in](std::string_view l) { in.lines.emplace_back(l); }));
        ASSERT_EQ(in.lines.size(), 2u) << path;
        EXPECT_EQ(in.lines[0] + in.lines[1].substr(0, std::strlen(reason)), "Failed to parse " + path + "\n" + reason);
    }
    const int keeper = testing::fillFifo(awkward.fifo, "v 1 2 3\nv 4 5 6\nv 7 8 10\nf 1 2 3\n");
    EXPECT_TRUE(importModel(awkward.fifo, in.scene, in.prompt));
    ::close(keeper);
    for (const char* yes : {"a.obj", "A.OBJ", "b.Stl", "c.ply", "d.gltf", "e.GLB", "f.dae", "g.fbx", "dir/h.obj"})
        EXPECT_TRUE(isAssimpModel(yes)) << yes;
    for (const char* no : {"a.3ds", "A.3DS", "obj", "dir.obj/file", "a.objx", "a.jpeg", ""})
        EXPECT_FALSE(isAssimpModel(no)) << no;
    std::string filters;
    for (const auto& f : modelFileFilters()) filters += f.name + "|" + f.pattern + ";";
    EXPECT_EQ(filters, "3D Studio Files|*.3DS;All supported models|*.3ds *.obj *.stl *.ply *.gltf *.glb *.dae *.fbx;");
}

}  // namespace
}  // namespace velmora
