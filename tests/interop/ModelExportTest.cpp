// End to end in a headless OpenGL context: the same boxes written as .3ds,
// OBJ and glTF export the same points; the PLY commands; real model files no
// one here wrote; a PNG-textured quad.

#include "export/ExportCommands.h"
#include "export/ExportNaming.h"

#include "export/ExportTestSupport.h"
#include "export/SurfaceSampler.h"
#include "interop/InteropSupport.h"
#include "model/AssimpImporter.h"
#include "model/ThreeDsReader.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"
#include "textures/TextureManager.h"
#include "view/GlView.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

namespace velmora {
namespace {

using testing::readAll;

struct V3 {
    float x, y, z;
};
struct Tri {
    int a, b, c;
};

// A box in view axes as 8 corners and 12 triangles wound counter-clockwise
// seen from outside.
struct Box {
    std::vector<V3> corners;
    std::vector<Tri> triangles;
};

Box makeBox(V3 lo, V3 hi) {
    Box box;
    for (int i = 0; i < 8; ++i)
        box.corners.push_back({i & 1 ? hi.x : lo.x, i & 2 ? hi.y : lo.y, i & 4 ? hi.z : lo.z});
    const int quads[6][4] = {{0, 2, 6, 4}, {1, 3, 7, 5}, {0, 1, 5, 4}, {2, 3, 7, 6}, {0, 1, 3, 2}, {4, 5, 7, 6}};
    const V3 centre{(lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    for (const auto& q : quads) {
        for (const Tri t : {Tri{q[0], q[1], q[2]}, Tri{q[0], q[2], q[3]}}) {
            const V3 &a = box.corners[t.a], &b = box.corners[t.b], &c = box.corners[t.c];
            const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
            const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
            const double n[3] = {uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
            const double out = n[0] * (a.x - centre.x) + n[1] * (a.y - centre.y) + n[2] * (a.z - centre.z);
            box.triangles.push_back(out > 0 ? t : Tri{t.a, t.c, t.b});
        }
    }
    return box;
}

// A large box and a small one sticking out towards the upper right front.
std::vector<Box> boxes() { return {makeBox({-2, -1, -1}, {2, 1, 1}), makeBox({2, 1, 0.5f}, {3, 2, 1.5f})}; }
constexpr float kGrey = 0.75f;

// The .3ds file: a view point (x, y, z) is stored as (-x, z, y) and each
// triangle with its last two corners exchanged; the model builder undoes both.
void write3ds(const std::string& path) {
    using namespace testing;
    std::vector<Chunk> children{material({materialName("grey"), colourBlock(0xA010, {colourFloat(kGrey, kGrey, kGrey)}),
                                          colourBlock(0xA020, {colourFloat(kGrey, kGrey, kGrey)}),
                                          colourBlock(0xA030, {colourFloat(0, 0, 0)})})};
    int n = 0;
    for (const Box& box : boxes()) {
        std::vector<Vec3> vertices;
        for (const V3& p : box.corners) vertices.push_back({-p.x, p.z, p.y});
        std::vector<Face> faces;
        std::vector<std::uint16_t> all;
        for (const Tri& t : box.triangles) {
            all.push_back(static_cast<std::uint16_t>(faces.size()));
            faces.push_back({static_cast<std::uint16_t>(t.a), static_cast<std::uint16_t>(t.c),
                             static_cast<std::uint16_t>(t.b)});
        }
        children.push_back(
            object("box" + std::to_string(++n), {mesh({vertexList(vertices), faceList(faces, {faceGroup("grey", all)})})}));
    }
    ASSERT_TRUE(writeFile(path, model(children)));
}

void writeObj(const std::string& folder) {
    std::ofstream mtl(folder + "/boxes.mtl");
    mtl << "newmtl grey\nKa 0.75 0.75 0.75\nKd 0.75 0.75 0.75\nKs 0 0 0\nd 1\n";
    std::ofstream obj(folder + "/boxes.obj");
    obj << "mtllib boxes.mtl\n";
    int base = 1, n = 0;
    for (const Box& box : boxes()) {
        obj << "o box" << ++n << "\nusemtl grey\n";
        for (const V3& p : box.corners) obj << "v " << p.x << ' ' << p.y << ' ' << p.z << '\n';
        for (const Tri& t : box.triangles) obj << "f " << base + t.a << ' ' << base + t.b << ' ' << base + t.c << '\n';
        base += 8;
    }
}

// glTF with both boxes under a parent node whose matrix is M = translate
// (10, 0, 0) · rotate 90° about y · scale 2; the buffer holds M⁻¹ of the boxes.
void writeGltf(const std::string& path) {
    std::vector<std::uint8_t> buffer;
    const auto append = [&buffer](const void* data, std::size_t size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        buffer.insert(buffer.end(), bytes, bytes + size);
    };
    std::ostringstream meshes, accessors, views;
    int n = 0;
    for (const Box& box : boxes()) {
        const std::size_t positionsAt = buffer.size();
        float lo[3] = {1e9f, 1e9f, 1e9f}, hi[3] = {-1e9f, -1e9f, -1e9f};
        for (const V3& p : box.corners) {
            // rotate⁻¹ (x, y, z) = (-z, y, x) of (p - (10, 0, 0)) / 2
            const float stored[3] = {-p.z / 2, p.y / 2, (p.x - 10) / 2};
            append(stored, sizeof stored);
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], stored[k]), hi[k] = std::max(hi[k], stored[k]);
        }
        const std::size_t indicesAt = buffer.size();
        for (const Tri& t : box.triangles) {
            const std::uint16_t i[3] = {static_cast<std::uint16_t>(t.a), static_cast<std::uint16_t>(t.b),
                                        static_cast<std::uint16_t>(t.c)};
            append(i, sizeof i);
        }
        if (n) meshes << ',', accessors << ',', views << ',';
        meshes << R"({"primitives":[{"attributes":{"POSITION":)" << 2 * n << R"(},"indices":)" << 2 * n + 1
               << R"(,"material":0}]})";
        accessors << R"({"bufferView":)" << 2 * n << R"(,"componentType":5126,"count":8,"type":"VEC3","min":[)"
                  << lo[0] << ',' << lo[1] << ',' << lo[2] << "],\"max\":[" << hi[0] << ',' << hi[1] << ','
                  << hi[2] << "]},"
                  << R"({"bufferView":)" << 2 * n + 1 << R"(,"componentType":5123,"count":36,"type":"SCALAR"})";
        views << R"({"buffer":0,"byteOffset":)" << positionsAt << R"(,"byteLength":96},)"
              << R"({"buffer":0,"byteOffset":)" << indicesAt << R"(,"byteLength":72})";
        ++n;
        while (buffer.size() % 4) buffer.push_back(0);
    }
    std::ofstream out(path);
    out << R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],)"
        << R"("nodes":[{"matrix":[0,0,-2,0, 0,2,0,0, 2,0,0,0, 10,0,0,1],"children":[1,2]},)"
        << R"({"mesh":0},{"mesh":1}],)"
        << R"("materials":[{"name":"grey","pbrMetallicRoughness":{"baseColorFactor":[0.75,0.75,0.75,1],)"
        << R"("metallicFactor":0}}],)"
        << "\"meshes\":[" << meshes.str() << "],\"accessors\":[" << accessors.str() << "],\"bufferViews\":["
        << views.str() << "],\"buffers\":[{\"byteLength\":" << buffer.size()
        << ",\"uri\":\"data:application/octet-stream;base64," << testing::base64(buffer.data(), buffer.size())
        << "\"}]}";
}

struct Sample {
    double x, y, z;
    int r, g, b;
};
using Samples = std::map<std::pair<int, int>, Sample>;

constexpr int kWidth = 202;
constexpr int kHeight = 160;

struct ViewFixture : ::testing::Test {
    void SetUp() override {
        surface = testing::makeHeadlessSurface(kWidth, kHeight);
        ASSERT_TRUE(surface);
        view = std::make_unique<GlView>(*surface, prompt, state, textures.factory(), [](std::string_view) {});
        view->resize(0, 0, kWidth, kHeight);
    }
    // Opens a model: .3ds directly, the other formats through the importer,
    // the file image written back as .3ds beside it.
    void open(const std::string& path) {
        std::string file = path;
        if (isAssimpModel(path)) {
            ParsedScene scene;
            ASSERT_TRUE(importModel(path, scene, prompt, [](std::string_view) {})) << path;
            file = dir.file("imported" + std::to_string(++imports) + ".3ds");
            ASSERT_TRUE(testing::writeSceneAs3ds(scene, file));
            // The .3ds round trip keeps the file image as the importer made it.
            ParsedScene back;
            ASSERT_TRUE(ThreeDsReader(prompt, [](std::string_view) {}).readFile(file, back));
            ASSERT_EQ(back.objects.size(), scene.objects.size());
            for (std::size_t i = 0; i < scene.objects.size(); ++i) {
                ASSERT_EQ(back.objects[i].vertices.size(), scene.objects[i].vertices.size());
                ASSERT_EQ(back.objects[i].faces.size(), scene.objects[i].faces.size());
            }
        }
        ASSERT_EQ(view->loadModel(file, 0), ModelLoad::Loaded) << path;
        view->resize(0, 0, kWidth, kHeight);
    }
    Samples sample() {
        beginExportFrame(*view);
        view->drawFrame();
        Samples samples;
        SurfaceSampler::sample(rect, prompt).walk([&](const SurfacePoint& p, int) {
            samples[{p.column, p.row}] = {p.x, p.y, p.z, p.red, p.green, p.blue};
        });
        restoreViewingFrame(*view);
        return samples;
    }

    testing::TempDir dir;
    RecordingPrompt prompt;
    ViewerState state;
    TextureManager textures{prompt, [](std::string_view) {}};
    std::unique_ptr<HeadlessGlSurface> surface;
    std::unique_ptr<GlView> view;
    int imports = 0;
    const ClientRect rect = ClientRect::ofSize(kWidth, kHeight);
};

TEST_F(ViewFixture, TheSameBoxesAs3dsObjAndGltfExportTheSamePoints) {
    write3ds(dir.file("boxes.3ds"));
    writeObj(dir.path().string());
    writeGltf(dir.file("boxes.gltf"));

    // Seen straight on: the small box (bounds centre (0.5, 0.5, 0.25)) is the
    // nearest surface, at z 1.25, and lies up and to the right: the import
    // neither mirrors nor turns the model over.
    for (const std::string name : {"boxes.3ds", "boxes.obj", "boxes.gltf"}) {
        open(dir.file(name));
        int front = 0;
        for (const auto& [pixel, s] : sample()) {
            if (std::abs(s.z - 1.25) > 1e-3) continue;
            ++front;
            ASSERT_LT(s.x, -1.5 + 1e-3) << name;  // world x 1.5 .. 2.5, inverted
            ASSERT_GT(s.y, 0.5 - 1e-3) << name;
        }
        EXPECT_GT(front, 100) << name;
    }

    // Turned so that three faces of each box show, every format gives the
    // same pixels with the same depth and colour.
    state.modelRotX = 20.0f;
    state.modelRotY = -35.0f;
    std::vector<Samples> results;
    for (const std::string name : {"boxes.3ds", "boxes.obj", "boxes.gltf"}) {
        open(dir.file(name));
        results.push_back(sample());
    }
    ASSERT_GT(results[0].size(), 3000u);
    for (std::size_t k = 1; k < results.size(); ++k) {
        ASSERT_EQ(results[k].size(), results[0].size()) << k;
        for (const auto& [pixel, s] : results[0]) {
            const auto it = results[k].find(pixel);
            ASSERT_NE(it, results[k].end()) << k;
            const Sample& o = it->second;
            ASSERT_NEAR(o.x, s.x, 1e-4);
            ASSERT_NEAR(o.y, s.y, 1e-4);
            ASSERT_NEAR(o.z, s.z, 1e-4);
            ASSERT_EQ((std::array<int, 3>{o.r, o.g, o.b}), (std::array<int, 3>{s.r, s.g, s.b})) << k;
        }
    }
}

std::int64_t plyCount(const std::string& bytes) {
    const std::size_t at = bytes.find("element vertex ");
    return at == std::string::npos ? -1 : std::stoll(bytes.substr(at + 15));
}

TEST_F(ViewFixture, PlyExportsNameWriteAndReportLikeTheCghExports) {
    write3ds(dir.file("boxes.3ds"));
    open(dir.file("boxes.3ds"));
    prompt.clear();

    // Single view: the colour CGH file and the ASCII PLY file of the same
    // frame and seed hold the same points with the same phases.
    const auto ply = [&](const std::string& name, PlyLayout layout, std::optional<ViewRange> views = std::nullopt,
                         const ViewProgress& progress = {}) {
        return runExport(*view, prompt, state, rect, {ExportKind::Ply, dir.file(name), views, layout}, progress);
    };
    state.random.seed(77);
    ASSERT_TRUE(runExport(*view, prompt, state, rect, {ExportKind::Colour, dir.file("scene"), std::nullopt}).ok());
    state.random.seed(77);
    prompt.clear();
    const ExportOutcome outcome = ply("scene", PlyLayout::Ascii);
    ASSERT_EQ(outcome.status, ExportStatus::Done);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].path, dir.file("scene.ply"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message 完成!: 导出完成!"});

    const auto cgh = testing::cghPoints(dir.file("scene.CGH"));
    const std::string text = readAll(dir.file("scene.ply"));
    ASSERT_EQ(plyCount(text), outcome.files[0].pointCount);
    ASSERT_EQ(static_cast<std::size_t>(outcome.files[0].pointCount), cgh.size());
    std::istringstream body(text.substr(text.find("end_header\n") + 11));
    std::string line;
    std::getline(body, line);
    EXPECT_EQ(line, "3");
    for (const testing::CghPoint& c : cgh) {
        ASSERT_TRUE(std::getline(body, line));
        double x, y, z, phase;
        long r, g, b;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf %lf %lf %ld %ld %ld %lf", &x, &y, &z, &r, &g, &b, &phase), 7);
        ASSERT_NEAR(x, c.x, 2e-6 + 1e-7 * std::abs(c.x));
        ASSERT_NEAR(y, c.y, 2e-6 + 1e-7 * std::abs(c.y));
        ASSERT_NEAR(z, c.z, 2e-6 + 1e-7 * std::abs(c.z));
        ASSERT_NEAR(phase, c.phase, 5e-7);
        ASSERT_EQ((std::array<long, 3>{r, g, b}),
                  (std::array<long, 3>{std::lround(c.r * 255), std::lround(c.g * 255), std::lround(c.b * 255)}));
    }

    // A name ending in .PLY keeps its letter case.
    EXPECT_EQ(ply("upper.PLY", PlyLayout::Binary).files.at(0).path, dir.file("upper.PLY"));

    // Series: -1 .. 1 in steps of 1 gives obj1.ply .. obj3.ply from eyes x -1, 0, 1.
    std::vector<float> eyes;
    const ExportOutcome series =
        ply("obj.ply", PlyLayout::Binary, ViewRange{-1, 1, 1}, [&](int, int count, float x, float, float) {
            EXPECT_EQ(count, 3);
            eyes.push_back(x);
        });
    ASSERT_EQ(series.status, ExportStatus::Done);
    EXPECT_EQ(eyes, (std::vector<float>{-1, 0, 1}));
    ASSERT_EQ(series.files.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(series.files[i].path, dir.file("obj" + std::to_string(i + 1) + ".ply"));
        const std::string bytes = readAll(series.files[i].path);
        EXPECT_EQ(plyCount(bytes), series.files[i].pointCount);
        EXPECT_EQ(bytes.size() - (bytes.find("end_header\n") + 11), 19u * series.files[i].pointCount);
    }

    // A folder that does not exist: the error box, nothing left behind.
    prompt.clear();
    ::testing::internal::CaptureStderr();
    const ExportOutcome failed = ply("missing/scene", PlyLayout::Ascii);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(failed.status, ExportStatus::Failed);
    EXPECT_EQ(prompt.transcript(),
              std::vector<std::string>{"message Error: Cant open file " + dir.file("missing/scene.ply")});
}

TEST(PlyNaming, PlyIsAppendedUnlessTheNameEndsInPlyAnyCase) {
    for (const auto& [given, written] : {std::pair<std::string, std::string>{"scan", "scan.ply"},
                                         {"scan.PlY", "scan.PlY"}, {"scan.txt", "scan.txt.ply"}, {"ply", "ply.ply"}})
        EXPECT_EQ(withPlyExtension(given), written);
    EXPECT_EQ(multiViewPlyFileName("obj.ply", 10), "obj10.ply");
    EXPECT_EQ(multiViewPlyFileName("obj.PLY", 2), "obj2.ply");
}

TEST_F(ViewFixture, RealModelsNoOneHereWroteLoadAndExport) {
    for (const char* name : {"OBJ/spider.obj", "STL/Spider_binary.stl", "glTF2/BoxTextured-glTF/BoxTextured.gltf"}) {
        const std::string file = "/usr/share/assimp/models/" + std::string(name);
        SCOPED_TRACE(file);
        if (!std::filesystem::exists(file)) GTEST_SKIP() << "assimp-testmodels is not installed";
        open(file);
        prompt.clear();
        const ExportOutcome outcome = runExport(*view, prompt, state, rect, {ExportKind::Ply, dir.file("real"), std::nullopt});
        ASSERT_EQ(outcome.status, ExportStatus::Done);
        // The smallest, a unit box seen from 30 units, covers about 17 × 17 pixels.
        EXPECT_GT(outcome.files.at(0).pointCount, 200);
        // Textures that the files name were found and loaded: no box about them.
        EXPECT_EQ(prompt.messages().size(), 1u);  // the completion box
    }
}

TEST_F(ViewFixture, PngTexturedQuadShowsItsTexelsWhereTheyBelong) {
    // 2 × 2 texels, top row first as PNG stores them: red (transparent),
    // green / blue, yellow. The alpha channel is dropped, not blended.
    ASSERT_TRUE(testing::writePngRgba(dir.file("quad.PNG"), 2, 2,
                                      {255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 128, 255, 255, 0, 255}));
    // A white square of half size 3 facing the eye, texture coordinates 0..1
    // from its lower left corner; stored as the .3ds convention wants it.
    using namespace testing;
    const float h = 3.0f;
    const std::vector<Vec3> vertices{{h, 0, -h}, {-h, 0, -h}, {-h, 0, h}, {h, 0, h}};  // view (-h,-h) (h,-h) (h,h) (-h,h)
    const std::vector<Face> faces{{0, 2, 1}, {0, 3, 2}};
    const auto white = material({materialName("white"), colourBlock(0xA010, {colourFloat(1, 1, 1)}),
                                 colourBlock(0xA020, {colourFloat(1, 1, 1)}), colourBlock(0xA030, {colourFloat(1, 1, 1)}),
                                 textureMap("quad.PNG")});
    const auto quad = object("quad", {mesh({vertexList(vertices), faceList(faces, {faceGroup("white", {0, 1})}),
                                            mapCoords({{0, 0}, {1, 0}, {1, 1}, {0, 1}})})});
    ASSERT_TRUE(writeFile(dir.file("quad.3ds"), model({white, quad})));
    open(dir.file("quad.3ds"));
    view->drawFrame();
    const auto rgba = surface->readRgba();  // bottom row first

    // A quadrant centre (±1.5, ±1.5) lands cot(9°) · 1.5 / 30 of the half
    // height from the middle; across, divided by the aspect ratio.
    const double focal = 1.0 / std::tan(9.0 * M_PI / 180.0);
    const double dy = focal * 1.5 / 30.0 * kHeight / 2.0;
    const double dx = dy * kHeight / kWidth;
    const auto at = [&](double x, double y) {
        const std::size_t i = (static_cast<std::size_t>(std::lround(y)) * kWidth + std::lround(x)) * 4;
        return std::array<int, 3>{rgba[i], rgba[i + 1], rgba[i + 2]};
    };
    const double cx = kWidth / 2.0, cy = kHeight / 2.0;
    // Lighting of a white surface this close to the axis saturates, so the
    // modulated texel shows unchanged.
    EXPECT_EQ(at(cx - dx, cy + dy), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(at(cx + dx, cy + dy), (std::array<int, 3>{0, 255, 0}));
    EXPECT_EQ(at(cx - dx, cy - dy), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(at(cx + dx, cy - dy), (std::array<int, 3>{255, 255, 0}));
    for (const auto& m : prompt.messages()) EXPECT_EQ(m.caption, "ok") << m.text;  // only the bounds box
}

}  // namespace
}  // namespace velmora
