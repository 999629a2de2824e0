// Building the render model from a file image: materials, bounds, centring,
// axes, triangles.

#include "scene/MeshFixture.h"

#include <GL/gl.h>

#include <cfloat>
#include <cmath>
#include <cstring>

namespace velmora::testing {
namespace {

using MeshModelTest = MeshFixture;

// Object "box": the eight corners (±1, ±2, ±3), first (1, 2, 3), so the
// bounds centre is the origin; no faces, and a face group that names a face
// it does not have. Object "tri": a right triangle in the file's z = 0 plane.
Bytes twoObjects(const std::vector<Chunk>& materials) {
    std::vector<Vec3> corners{{1, 2, 3}, {-1, -2, -3}, {1, -2, 3}, {-1, 2, 3},
                              {1, 2, -3}, {-1, -2, 3}, {1, -2, -3}, {-1, 2, -3}};
    std::vector<Chunk> children = materials;
    children.push_back(object("box", {mesh({vertexList(corners), faceList({}, {faceGroup("M", {0})})})}));
    children.push_back(meshObject("tri", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, "M"));
    return model(children);
}

TEST_F(MeshModelTest, ConvertsAxesAndOffsetsLaterObjectsByTheEarlierVertexCounts) {
    MeshModel& m = load(twoObjects({grey("M")}));
    ASSERT_EQ(m.vertices().size(), 11u);
    expectVertex(m.vertices()[0], -1, 3, 2);  // file (1, 2, 3)
    expectVertex(m.vertices()[9], -1, 0, 0);  // file (1, 0, 0)
    expectVertex(m.vertices()[10], 0, 0, 1);  // file (0, 1, 0)
    ASSERT_EQ(m.materials().size(), 1u);
    ASSERT_EQ(m.materials()[0].triangles.size(), 1u);
    // (8, 10, 9): (0,0,1) x (-1,0,-1) = (0,-1,0).
    expectTriangle(m.materials()[0].triangles[0], 8, 10, 9, 0, -1, 0);
    EXPECT_EQ(m.vertexFaces().size(), m.vertices().size());
    // Vertices no face uses keep the zero normal; the used ones get the face's.
    expectNormal(m.vertices()[0], 0, 0, 0);
    expectNormal(m.vertices()[8], 0, -1, 0);
}

TEST_F(MeshModelTest, TwoSidedFacesComeInPairsWithOppositeNormals) {
    // A two-sided material, and any material while two-sidedness is forced.
    for (int force : {0, 1}) {
        SCOPED_TRACE(force);
        MeshModel& m = load(twoObjects({force ? grey("M") : grey("M", {twoSided()})}), force);
        ASSERT_EQ(m.materials().size(), 1u);
        EXPECT_EQ(m.materials()[0].twoSided, 1);
        const auto& triangles = m.materials()[0].triangles;
        ASSERT_EQ(triangles.size(), 2u);
        expectTriangle(triangles[0], 8, 10, 9, 0, -1, 0);
        // The back face lies beyond the crease at each of its corners, so all
        // three corners moved to copies 11, 12, 13 of vertices 8, 9, 10.
        expectTriangle(triangles[1], 11, 12, 13, 0, 1, 0);
        ASSERT_EQ(m.vertices().size(), 14u);
        EXPECT_FLOAT_EQ(m.vertices()[12].x, m.vertices()[9].x);
        EXPECT_FLOAT_EQ(m.vertices()[12].ny, 1.0f);
        EXPECT_FLOAT_EQ(m.vertices()[9].ny, -1.0f);

        // Added directly, the pair is (i0, i1, i2), (i0, i2, i1).
        m.addTriangle(8, 10, 9, "M");
        ASSERT_EQ(triangles.size(), 4u);
        expectTriangle(triangles[2], 8, 10, 9, 0, -1, 0);
        expectTriangle(triangles[3], 8, 9, 10, 0, 1, 0);
    }
}

TEST_F(MeshModelTest, DropsDegenerateFacesSilentlyAndFacesOfUnknownMaterialsWithALine) {
    std::vector<Vec3> vertices{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}};
    std::vector<Face> faces{
        {0, 0, 1},  // repeated corner
        {0, 3, 1},  // two corners at one position
        {0, 1, 2},  // fine, but its material does not exist
        {0, 1, 7},  // a corner beyond the vertex list
        {0, 1, 2},  // fine
    };
    Chunk list = faceList(faces, {faceGroup("NOPE", {0, 1, 2}), faceGroup("M", {3, 9, 4, 0})});
    MeshModel& m = load(model({grey("M"), object("o", {mesh({vertexList(vertices), list})})}));
    EXPECT_EQ(lines_, std::vector<std::string>{"Parse Error: Can't find material NOPE\n"});
    ASSERT_EQ(m.materials().size(), 1u);
    ASSERT_EQ(m.materials()[0].triangles.size(), 1u);
    expectTriangle(m.materials()[0].triangles[0], 0, 2, 1, 0, -1, 0);
    EXPECT_EQ(m.triangleCount(), 1u);
}

TEST_F(MeshModelTest, DefaultMaterialComesFirstAndShadowsAFileMaterialOfTheSameName) {
    Chunk noGroups = object("plain", {mesh({vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), faceList({{0, 1, 2}})})});
    Chunk named = meshObject("named", {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}, {{0, 1, 2}}, "QK_DEFAULT");
    MeshModel& m = load(model({simpleMaterial("QK_DEFAULT", {255, 0, 0}, {255, 0, 0}, {0, 0, 0}), grey("M"),
                               noGroups, named}));
    ASSERT_TRUE(m.needsDefaultMaterial());
    ASSERT_EQ(m.materials().size(), 3u);
    const MeshMaterial& fallback = m.materials()[0];
    EXPECT_EQ(fallback.name, "QK_DEFAULT");
    EXPECT_EQ(fallback.twoSided, 1);
    EXPECT_EQ(fallback.alpha, 0.0f);
    for (const auto* colour : {&fallback.ambient, &fallback.diffuse, &fallback.specular})
        EXPECT_EQ(*colour, (std::array<float, 4>{1, 1, 1, 1}));
    EXPECT_EQ(fallback.triangles.size(), 4u);  // two faces, each two-sided
    EXPECT_EQ(m.materials()[1].name, "QK_DEFAULT");
    EXPECT_FLOAT_EQ(m.materials()[1].diffuse[0], 255.0f / 256.0f);
    EXPECT_TRUE(m.materials()[1].triangles.empty());
    EXPECT_EQ(m.materials()[2].name, "M");
    EXPECT_TRUE(lines_.empty());
}

TEST_F(MeshModelTest, MaterialsCarryTheirColoursAlphaAndTexture) {
    std::vector<std::pair<std::string, std::string>> requests;
    unsigned made = 0;
    TextureFactory factory = [&](const std::string& file, const std::string& modelPath) {
        requests.emplace_back(file, modelPath);
        glGenTextures(1, &made);
        glBindTexture(GL_TEXTURE_2D, made);
        glBindTexture(GL_TEXTURE_2D, 0);
        return made;
    };
    MeshModel& m = load(
        model({simpleMaterial("plain", {128, 64, 32}, {64, 32, 16}, {32, 16, 8}),
               simpleMaterial("half", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {transparency({percent(50)})}),
               simpleMaterial("clear", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {transparency({percent(0)}), twoSided()}),
               simpleMaterial("wood", {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {textureMap("wood.tga")})}),
        0, factory);
    ASSERT_EQ(m.materials().size(), 4u);
    const auto& plain = m.materials()[0];
    EXPECT_EQ(plain.ambient, (std::array<float, 4>{0.5f, 0.25f, 0.125f, 1.0f}));
    EXPECT_EQ(plain.diffuse, (std::array<float, 4>{0.25f, 0.125f, 0.0625f, 1.0f}));
    EXPECT_EQ(plain.specular, (std::array<float, 4>{0.125f, 0.0625f, 0.03125f, 1.0f}));
    EXPECT_EQ(plain.alpha, 1.0f);
    EXPECT_EQ(plain.twoSided, 0);
    EXPECT_EQ(plain.textureId, 0u);
    const auto& half = m.materials()[1];
    EXPECT_EQ(half.alpha, 0.5f);
    for (const auto* colour : {&half.ambient, &half.diffuse, &half.specular}) EXPECT_EQ((*colour)[3], 0.5f);
    EXPECT_EQ(m.materials()[2].alpha, 1.0f);
    EXPECT_EQ(m.materials()[2].twoSided, 1);

    // Only the textured material asks the factory, with the model's path.
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, "wood.tga");
    EXPECT_EQ(requests[0].second, path_);
    EXPECT_EQ(m.materials()[3].textureFile, "wood.tga");
    EXPECT_EQ(m.materials()[3].textureId, made);
    ASSERT_TRUE(glIsTexture(made));
    model_.reset();  // the material deletes its texture
    EXPECT_FALSE(glIsTexture(made));
}

TEST_F(MeshModelTest, MeasuresTheBoundsAndCentresTheFileImage) {
    MeshModel& m = load(model({grey("M"), meshObject("o", {{-1, 0, -0.5f}, {1, 2, 0.5f}, {0, 1, 0}}, {{0, 1, 2}}, "M")}));
    EXPECT_EQ(m.boundsText(),
              "maxx:1.000000 minx:-1.000000\r\nmaxy:2.000000 miny:0.000000\r\nmaxz:0.500000 minz:-0.500000");

    const auto& b = m.bounds();
    EXPECT_EQ((std::array<float, 4>{b.minX, b.maxY, b.minY, b.maxZ}), (std::array<float, 4>{-1, 2, 0, 0.5f}));
    // The file image itself is centred on (0, 1, 0).
    const auto& v = m.scene().objects[0].vertices;
    EXPECT_EQ((std::array<float, 5>{v[0].x, v[0].y, v[0].z, v[1].y, v[2].y}),
              (std::array<float, 5>{-1, -1, -0.5f, 1, 0}));
    expectVertex(m.vertices()[1], -1, 0.5f, 1);  // file (1, 1, 0.5) after centring
}

TEST_F(MeshModelTest, BoundsStartAtTheFirstVertexThatExists) {
    Chunk empty = object("empty", {mesh({})});
    MeshModel& m = load(model({grey("M"), empty,
                               meshObject("o", {{2, 3, 4}, {5, 6, 7}, {3, 3, 5}}, {{0, 1, 2}}, "M")}));
    EXPECT_EQ(m.boundsText(),
              "maxx:5.000000 minx:2.000000\r\nmaxy:6.000000 miny:3.000000\r\nmaxz:7.000000 minz:4.000000");
    expectVertex(m.vertices()[0], 1.5f, -1.5f, -1.5f);  // (2,3,4) - (3.5,4.5,5.5), then axes

    // No vertex at all: a model with nothing in it, and zero bounds.
    MeshModel& none = load(model({grey("M")}));
    EXPECT_EQ(none.boundsText(),
              "maxx:0.000000 minx:0.000000\r\nmaxy:0.000000 miny:0.000000\r\nmaxz:0.000000 minz:0.000000");
    EXPECT_TRUE(none.vertices().empty());
    EXPECT_EQ(none.triangleCount(), 0u);
}

TEST_F(MeshModelTest, BoundsTextHoldsTheLargestCoordinates) {
    // The face's edges overflow single precision; it still gets its unit
    // normal: file (v2-v1) x (v3-v1) = (2M,0,2M) x (0,2M,2M) points along
    // (-1,-1,1), which the model sees as (x, -z, -y) = (-1,-1,1) / sqrt 3.
    MeshModel& m = load(model({grey("M"), meshObject("o", {{FLT_MAX, FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX, -FLT_MAX},
                                                           {FLT_MAX, -FLT_MAX, FLT_MAX}, {-FLT_MAX, FLT_MAX, FLT_MAX}},
                                                     {{1, 2, 3}}, "M")}));
    const std::string big = "340282346638528859811704183484516925440.000000";
    EXPECT_EQ(m.boundsText(), "maxx:" + big + " minx:-" + big + "\r\nmaxy:" + big + " miny:-" + big +
                                  "\r\nmaxz:" + big + " minz:-" + big);
    expectVertex(m.vertices()[0], -FLT_MAX, FLT_MAX, FLT_MAX);  // the centre is the origin
    ASSERT_EQ(m.triangleCount(), 1u);
    const float third = 1.0f / std::sqrt(3.0f);
    expectTriangle(m.materials()[0].triangles[0], 1, 3, 2, -third, -third, third);
}

TEST_F(MeshModelTest, SurplusVerticesGetZeroTextureCoordinates) {
    Chunk o = object("o", {mesh({vertexList({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), mapCoords({{0.25f, 0.5f}, {0.75f, 1}}),
                                 faceList({{0, 1, 2}}, {faceGroup("M", {0})})})});
    MeshModel& m = load(model({grey("M"), o}));
    ASSERT_EQ(m.vertices().size(), 3u);
    const auto& v = m.vertices();
    EXPECT_EQ((std::array<float, 6>{v[0].u, v[0].v, v[1].u, v[1].v, v[2].u, v[2].v}),
              (std::array<float, 6>{0.25f, 0.5f, 0.75f, 1, 0, 0}));
}

TEST_F(MeshModelTest, ScalingByTwoThenHalfRestoresPositionsExactly) {
    MeshModel& m = load(model({grey("M"), meshObject("o", {{0.1f, 0.2f, 0.3f}, {1.7f, -0.3f, 0.9f}, {-0.6f, 1.1f, 2.3f}},
                                                     {{0, 1, 2}}, "M")}));
    const auto before = m.vertices();
    const ObjectBounds bounds = m.bounds();
    const float sceneX = m.scene().objects[0].vertices[1].x;
    const unsigned list = m.displayList();
    m.scaleVertices(2.0f);
    EXPECT_EQ(m.vertices()[1].x, before[1].x * 2.0f);
    EXPECT_EQ(m.vertices()[2].z, before[2].z * 2.0f);
    m.scaleVertices(0.5f);
    ASSERT_EQ(m.vertices().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(i);
        const ModelVertex& v = m.vertices()[i];
        EXPECT_EQ((std::array<float, 6>{v.x, v.y, v.z, v.nx, v.ny, v.nz}),
                  (std::array<float, 6>{before[i].x, before[i].y, before[i].z, before[i].nx, before[i].ny,
                                        before[i].nz}));
    }
    EXPECT_EQ(std::memcmp(&m.bounds(), &bounds, sizeof bounds), 0);
    EXPECT_EQ(m.scene().objects[0].vertices[1].x, sceneX);
    EXPECT_EQ(m.displayList(), list);
}

}  // namespace
}  // namespace velmora::testing
