// The render model built from a file image in a headless OpenGL context.
// What users rely on: materials carry colours, alpha and textures, a failed texture leaves one untextured; two-sided
// faces are drawn twice, their back copies together; smooth normals are corner-angle weighted means; the display
// list draws each face where the projection puts it; each pending OpenGL error shows its own text.

#include "model/GlErrorReporter.h"
#include "model/MeshModel.h"
#include "support/GlTestContext.h"
#include "support/Prompts.h"
#include "support/SceneDump.h"
#include "support/ThreeDsBuilder.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <cstring>

namespace velmora::testing {
namespace {

struct MeshModelTest : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(surface = makeHeadlessSurface(64, 64)); }
    MeshModel& load(const Bytes& bytes, int forceTwoSided = 0, TextureFactory textures = {}) {
        EXPECT_TRUE(writeFile(path, bytes));
        loaded = std::make_unique<MeshModel>(90, forceTwoSided, prompt, std::move(textures),
                                             [this](std::string_view line) { lines.emplace_back(line); });
        EXPECT_TRUE(loaded->read(path));
        EXPECT_TRUE(loaded->build());
        EXPECT_EQ(loaded->vertexFaces().size(), loaded->vertices().size());
        return *loaded;
    }
    std::unique_ptr<HeadlessGlSurface> surface;
    TempDir dir;
    std::string path = dir.file("model.3ds");
    RecordingPrompt prompt;
    std::vector<std::string> lines;
    std::unique_ptr<MeshModel> loaded;  // after surface: freed while its context is current
};

using Floats = std::vector<float>;
Floats normal(const ModelVertex& v) { return {v.nx, v.ny, v.nz}; }
::testing::AssertionResult same(const Floats& actual, const Floats& expected) {
    bool equal = actual.size() == expected.size();
    for (std::size_t i = 0; equal && i < actual.size(); ++i)
        equal = std::fabs(actual[i] - expected[i]) <= 1e-6f * std::max(1.0f, std::fabs(expected[i]));
    return equal ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << ::testing::PrintToString(actual);
}

Chunk meshObject(const std::string& name, const std::vector<Vec3>& vertices, const std::vector<Face>& faces,
                 const std::string& material = "M") {
    std::vector<std::uint16_t> all;
    for (std::size_t i = 0; i < faces.size(); ++i) all.push_back(std::uint16_t(i));
    return object(name, {mesh({vertexList(vertices), faceList(faces, {faceGroup(material, all)})})});
}
Chunk grey(const std::string& name = "M", const std::vector<Chunk>& more = {}) {
    return simpleMaterial(name, {128, 128, 128}, {128, 128, 128}, {0, 0, 0}, more);
}

// Bounds, each material with its triangles (corners, face normal), each vertex; a zero prints without a sign.
std::string dump(const MeshModel& m) {
    const auto n = [](float f) { return num(f + 0.0f); };
    const auto three = [&n](float a, float b, float c) { return n(a) + "," + n(b) + "," + n(c); };
    const auto rgba = [&](const std::array<float, 4>& c) { return three(c[0], c[1], c[2]) + "," + n(c[3]); };
    std::string s = m.boundsText() + "\n";
    s.erase(std::remove(s.begin(), s.end(), '\r'), s.end());
    for (const MeshMaterial& x : m.materials()) {
        s += "material '" + x.name + "' ambient " + rgba(x.ambient) + " diffuse " + rgba(x.diffuse) + " specular " +
             rgba(x.specular) + " alpha " + n(x.alpha) + (x.twoSided ? " two-sided" : "") +
             (x.textureFile.empty() ? "" : " texture " + x.textureFile) + "\n";
        for (const ModelTriangle& t : x.triangles)
            s += " " + three(float(t.i0), float(t.i1), float(t.i2)) + " " + three(t.nx, t.ny, t.nz) + "\n";
    }
    for (std::size_t i = 0; i < m.vertices().size(); ++i) {
        const ModelVertex& v = m.vertices()[i];
        s += "vertex " + std::to_string(i) + " " + three(v.x, v.y, v.z) + " normal " + three(v.nx, v.ny, v.nz) +
             (v.u != 0 || v.v != 0 ? " uv " + n(v.u) + "," + n(v.v) : "") + "\n";
    }
    return s;
}

// Each case's bytes and forced two-sidedness; its text is worked out by hand: a model (x, y, z) is the file's
// (-x, z, y) about the bounds centre, a face (a, b, c) is (a, c, b), a 24-bit colour c reads as c / 256.
std::map<std::string, std::pair<Bytes, int>> cases() {
    std::map<std::string, std::pair<Bytes, int>> c;
    // "box": corners (±1, ±2, ±3) and a group naming a face it does not have. "tri": (0,0,1) x (-1,0,-1) =
    // (0,-1,0). Two-sided, its back face lies beyond the crease: copies 11, 12, 13 with the normal (0,1,0).
    const auto twoObjects = [](const Chunk& material) {
        const Chunk box = object("box", {mesh({vertexList({{1, 2, 3}, {-1, -2, -3}, {1, -2, 3}, {-1, 2, 3}, {1, 2, -3},
                                                           {-1, -2, 3}, {1, -2, -3}, {-1, 2, -3}}),
                                               faceList({}, {faceGroup("M", {0})})})});
        return model({material, box, meshObject("tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})});
    };
    c["one-sided"] = {twoObjects(grey()), 0};
    c["two-sided material"] = {twoObjects(grey("M", {twoSided()})), 0};
    c["two-sidedness forced"] = {twoObjects(grey()), 1};
    // A repeated corner, two corners at one position, a material that does not exist, the vertex count 4
    // as a corner (the next object's vertex is not this one's), and a face that is fine.
    std::vector<Face> faces{{0, 0, 1}, {0, 3, 1}, {0, 1, 2}, {4, 0, 1}, {0, 4, 1}, {0, 1, 4}, {0, 1, 2}};
    Chunk list = faceList(faces, {faceGroup("NOPE", {0, 1, 2}), faceGroup("M", {3, 4, 5, 9, 6, 0})});
    const Chunk o = object("o", {mesh({vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}}), list})});
    c["faces dropped"] = {model({grey(), o, object("next", {mesh({vertexList({{5, 5, 5}})})})}), 0};
    // The fallback comes first, white, two-sided and clear, and takes the faces named after it too.
    const Chunk noGroups =
        object("plain", {mesh({vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), faceList({{0, 1, 2}})})});
    const Chunk red = simpleMaterial("QK_DEFAULT", {255, 0, 0}, {255, 0, 0}, {0, 0, 0});
    const Chunk named = meshObject("named", {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}}, "QK_DEFAULT");
    c["default material"] = {model({red, grey(), noGroups, named}), 0};
    // Three sides of a unit cube meet at file vertex 0 (file normals +z, +y, +x), two triangles each. The
    // corner splits once: its copy 10 takes the second side's normal and serves the third side as well.
    const std::vector<Vec3> sides{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1},
                                  {1, 0, 1}, {1, 0, 0}, {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};
    const std::vector<Face> corner{{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 6}, {0, 7, 8}, {0, 8, 9}};
    c["cube corner"] = {model({grey(), meshObject("c", sides, corner)}), 0};
    // Bounds start at the first vertex there is ("empty" has none), and the file image is centred on
    // (3.5, 4.5, 5.5) before the axes turn; a vertex beyond the mapping coordinates gets (0, 0).
    const Chunk mapped =
        object("o", {mesh({vertexList({{2, 3, 4}, {5, 6, 7}, {3, 3, 5}}), mapCoords({{0.25f, 0.5f}, {0.75f, 1}})})});
    c["bounds"] = {model({grey(), object("empty", {mesh({})}), mapped}), 0};
    c["no vertex"] = {model({grey(), grey("N")}), 0};  // zero bounds; a list of nothing compiles without a box
    return c;
}

TEST_F(MeshModelTest, BuiltFilesGiveTheWorkedOutModel) {
    const auto expected = dataSections("mesh_model.txt");
    const auto built = cases();
    ASSERT_EQ(expected.size(), built.size() + 1);  // and the materials below
    for (const auto& [name, c] : built) {
        SCOPED_TRACE(name);
        lines.clear();
        std::string text = dump(load(c.first, c.second));
        for (const std::string& line : lines) text += "> " + line;
        expectData(text, "mesh_model.txt", name);
        EXPECT_TRUE(name != "bounds" || loaded->scene().objects[1].vertices[0].y == -1.5f);  // the file image too
    }
    EXPECT_TRUE(prompt.messages().empty());
}

TEST_F(MeshModelTest, MaterialsCarryTheirColoursAlphaAndTexturesAndATextureThatFailsLeavesOneUntextured) {
    std::vector<std::string> requests;
    unsigned made = 0;
    const TextureFactory factory = [&](const std::string& file, const std::string& modelPath) {
        requests.push_back(file + " of " + modelPath);
        if (file == "broken.tga") return 0u;  // the factory has told the user
        glGenTextures(1, &made);
        glBindTexture(GL_TEXTURE_2D, made);  // a name becomes a texture once bound
        return made;
    };
    MeshModel& m = load(model({simpleMaterial("plain", {128, 64, 32}, {64, 32, 16}, {32, 16, 8}),
        simpleMaterial("half", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {transparency({percent(50)}), textureMap("broken.tga")}),
        simpleMaterial("clear", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {transparency({percent(0)}), twoSided()}),
        simpleMaterial("wood", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {textureMap("wood.tga")}),
        meshObject("o", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, "wood")}), 0, factory);
    expectData(dump(m), "mesh_model.txt", "materials");
    EXPECT_EQ(requests, (std::vector<std::string>{"broken.tga of " + path, "wood.tga of " + path}));
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(m.materials()[i].textureId, i == 3 ? made : 0u) << i;
    ASSERT_TRUE(glIsTexture(made));
    loaded.reset();  // the material deletes its texture
    EXPECT_FALSE(glIsTexture(made));
}

// A low two-sided hexagonal cone around file vertex 0, its rim in the file's z = 0 plane.
Bytes cone() {
    std::vector<Vec3> vertices{{0, 0, 0.2f}};
    std::vector<Face> faces;
    for (int k = 0; k < 6; ++k) {
        vertices.push_back({float(std::cos(k * M_PI / 3)), float(std::sin(k * M_PI / 3)), 0});
        faces.push_back({0, std::uint16_t(1 + k), std::uint16_t(1 + (k + 1) % 6)});
    }
    return model({grey("M", {twoSided()}), meshObject("fan", vertices, faces)});
}

TEST_F(MeshModelTest, TheBackFacesOfACurvedTwoSidedFanAllMoveToOneCopy) {
    MeshModel& m = load(cone());
    const auto& triangles = m.materials()[0].triangles;
    ASSERT_EQ(triangles.size(), 12u);
    ASSERT_EQ(m.vertices().size(), 14u);  // every vertex splits exactly once
    // The centre splits first: its copy is vertex 7, and all six back faces use it.
    for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(std::make_pair(triangles[2 * k].i0, triangles[2 * k + 1].i0), std::make_pair(0, 7));
    EXPECT_TRUE(same(normal(m.vertices()[0]), {0, -1, 0}));  // the mean of the symmetric front faces
    // The copy carries the first back face's own tilted normal, not a mean, and lists that face alone.
    EXPECT_TRUE(same(normal(m.vertices()[7]), {triangles[1].nx, triangles[1].ny, triangles[1].nz}));
    EXPECT_EQ(std::make_pair(m.vertexFaces().count(7), m.vertexFaces().entry(m.vertexFaces().begin(7)).triangle), std::make_pair(std::size_t(1), 1u));
}

TEST_F(MeshModelTest, VertexNormalIsTheMeanOfTheSmoothFacesWeightedByPiMinusTheirCornerAngles) {
    // At file vertex 0: face 0 has a right angle, normal (0,0,1); face 1 the angle acos(1/sqrt 3), normal
    // (1,0,1)/sqrt 2. Weights pi/2, 2.186276035465284: the mean (w1/sqrt 2, 0, w0 + w1/sqrt 2) seen as (x, -z, -y).
    MeshModel& m = load(model({grey(), meshObject("o", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 1, 1}}, {{0, 1, 2}, {0, 2, 3}})}));
    EXPECT_TRUE(same(normal(m.vertices()[0]), {0.44435241393165736f, -0.8958520705077981f, 0}));
    const ModelTriangle& right = m.materials()[0].triangles[0];
    EXPECT_NEAR(m.cornerWeight(right, 0), M_PI / 2, 1e-12);
    EXPECT_NEAR(m.cornerWeight(right, 1) + m.cornerWeight(right, 2), 1.5 * M_PI, 1e-12);  // interior angles sum to pi
    // A face whose cross product's square overflows single precision (1e40 squared) still gets the unit
    // normal: file +z, seen as -y.
    MeshModel& huge = load(model({grey(), meshObject("o", {{0, 0, 0}, {1e20f, 0, 0}, {0, 1e20f, 0}}, {{0, 1, 2}})}));
    ASSERT_EQ(huge.materials()[0].triangles.size(), 1u);
    const ModelTriangle& face = huge.materials()[0].triangles[0];
    EXPECT_EQ((Floats{face.nx, face.ny, face.nz}), (Floats{0, -1, 0}));
    // So in general position: (2, 3, 5) x (7, 11, 13) = (-16, 9, 1), over sqrt 338, seen as (x, -z, -y).
    const std::vector<Vec3> far{{0, 0, 0}, {2e20f, 3e20f, 5e20f}, {7e20f, 11e20f, 13e20f}};
    MeshModel& general = load(model({grey(), meshObject("o", far, {{0, 1, 2}})}));
    const ModelTriangle& tilted = general.materials()[0].triangles[0];
    const float r = std::sqrt(338.0f);
    EXPECT_TRUE(same({tilted.nx, tilted.ny, tilted.nz}, {-16 / r, -1 / r, -9 / r}));
}

// The pixels at model points (x, y in [-2, 2]) looking down -z, lit by a white ambient light only:
// each face shows its ambient colour (a 24-bit 255 reads as 255/256, stored as 254).
using Pixels = std::vector<std::array<int, 3>>;
Pixels drawAt(const MeshModel& m, HeadlessGlSurface& surface, const std::vector<std::pair<double, double>>& at) {
    glViewport(0, 0, 64, 64), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION), glLoadIdentity(), glOrtho(-2, 2, -2, 2, -10, 10);
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white), glEnable(GL_LIGHTING);
    m.draw();
    const auto rgba = surface.readRgba();
    Pixels pixels;
    for (const auto& [x, y] : at) {
        const std::size_t i = (std::size_t((y + 2) * 16) * 64 + std::size_t((x + 2) * 16)) * 4;
        pixels.push_back({rgba[i], rgba[i + 1], rgba[i + 2]});
    }
    return pixels;
}

// Right triangles in the file's y = 0 plane: the model sees red over x in [-1.5, -0.5], y in [0.5, 1.5]
// with its right angle at (-0.5, 0.5), green mirrored through 0.
Bytes redAndGreen() {
    return model({simpleMaterial("red", {255, 0, 0}, {0, 0, 0}, {0, 0, 0}), simpleMaterial("green", {0, 255, 0}, {0, 0, 0}, {0, 0, 0}),
                  meshObject("r", {{0.5f, 0, 0.5f}, {1.5f, 0, 0.5f}, {0.5f, 0, 1.5f}}, {{0, 1, 2}}, "red"),
                  meshObject("g", {{-0.5f, 0, -0.5f}, {-1.5f, 0, -0.5f}, {-0.5f, 0, -1.5f}}, {{0, 1, 2}}, "green")});
}
const std::array<int, 3> kRed{254, 0, 0}, kGreen{0, 254, 0}, kNone{0, 0, 0};

TEST_F(MeshModelTest, DisplayListDrawsEachFaceWhereTheProjectionPutsItAndScalingRecompilesIt) {
    MeshModel& m = load(redAndGreen());
    const unsigned list = m.displayList();
    ASSERT_TRUE(glIsList(list));
    // Beyond the hypotenuse at (-1.3, 1.3); (-1.2, 0.6) leaves the red face when the model is halved.
    EXPECT_EQ(drawAt(m, *surface, {{-0.75, 0.75}, {0.75, -0.75}, {0.75, 0.75}, {-1.3, 1.3}, {-1.2, 0.6}}),
              (Pixels{kRed, kGreen, kNone, kNone, kRed}));
    const auto before = m.vertices();
    ASSERT_TRUE(m.scaleVertices(0.5f));
    EXPECT_EQ(drawAt(m, *surface, {{-1.2, 0.6}, {-0.4, 0.4}}), (Pixels{kNone, kRed}));
    EXPECT_TRUE(m.displayList() == list && !glIsList(list + 1));
    const ObjectBounds bounds = m.bounds();
    m.scaleVertices(2.0f);
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(std::memcmp(&m.vertices()[i], &before[i], sizeof before[i]), 0) << i;
    EXPECT_EQ(std::memcmp(&m.bounds(), &bounds, sizeof bounds), 0);
    EXPECT_EQ(m.scene().objects[0].vertices[1].x, 1.5f);
    // A vertex array memory cannot hold comes back as a failure without a box, and the next compilation recovers.
    m.setVertexArrayLimit(5);
    EXPECT_FALSE(m.scaleVertices(1.0f));
    EXPECT_TRUE(m.vertexArray().empty() && prompt.messages().empty());
    m.setVertexArrayLimit(6);
    ASSERT_TRUE(m.compileDisplayList());
    EXPECT_EQ(drawAt(m, *surface, {{-0.75, 0.75}}), Pixels{kRed});
    loaded.reset();
    EXPECT_FALSE(glIsList(list));
}

TEST_F(MeshModelTest, EachPendingGlErrorShowsItsOwnTextAndCompilationReportsThem) {
    std::string texts;  // GL_INVALID_ENUM to GL_OUT_OF_MEMORY, then the unlisted code after them
    for (unsigned code = GL_INVALID_ENUM; code <= GL_OUT_OF_MEMORY + 1; ++code)
        texts += glErrorText(code) ? std::string(glErrorText(code)) + "\n" : "(none)\n";
    expectData(texts, "gl_errors.txt");
    RecordingPrompt titled("VELMORA");
    glEndList();  // GL_INVALID_OPERATION
    reportGlErrors(titled);
    reportGlErrors(titled);  // drained: nothing more to show
    expectBox(titled, "VELMORA", glErrorText(GL_INVALID_OPERATION));  // the framework's box, titled by the program
    MeshModel& m = load(redAndGreen());
    glGenLists(-1);
    m.scaleVertices(1.0f);
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{glErrorText(GL_INVALID_VALUE)});
}

}  // namespace
}  // namespace velmora::testing
