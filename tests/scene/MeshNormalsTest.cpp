// Per-vertex face lists and crease-aware vertex normals.

#include "scene/MeshFixture.h"

#include <cmath>

namespace velmora::testing {
namespace {

using MeshNormalsTest = MeshFixture;

// A hexagonal fan around file vertex 0 in the file's z = 0 plane, or a low
// cone when `apex` is not 0 (the centre raised by `apex`).
Bytes fan(float apex, bool twoSidedMaterial) {
    std::vector<Vec3> vertices{{0, 0, apex}};
    std::vector<Face> faces;
    for (int k = 0; k < 6; ++k) {
        const double angle = k * M_PI / 3.0;
        vertices.push_back({static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)), 0});
        faces.push_back({0, static_cast<std::uint16_t>(1 + k), static_cast<std::uint16_t>(1 + (k + 1) % 6)});
    }
    return model({grey("M", twoSidedMaterial ? std::vector<Chunk>{twoSided()} : std::vector<Chunk>{}),
                  meshObject("fan", vertices, faces, "M")});
}

TEST_F(MeshNormalsTest, FlatFanGivesEveryVertexTheCommonFaceNormal) {
    MeshModel& m = load(fan(0, false));
    ASSERT_EQ(m.vertices().size(), 7u);  // nothing split
    for (const ModelTriangle& t : m.materials()[0].triangles) {
        EXPECT_FLOAT_EQ(t.ny, -1.0f);  // counter-clockwise about the file's +z, corners exchanged
        EXPECT_EQ(t.i0, 0);
    }
    for (const ModelVertex& v : m.vertices()) expectNormal(v, 0, -1, 0);
    // The centre's list holds the six faces in the order they were added.
    ASSERT_EQ(m.vertexFaces().count(0), 6u);
    for (std::uint32_t k = 0; k < 6; ++k)
        EXPECT_EQ(m.vertexFaces().entry(m.vertexFaces().begin(0) + k).triangle, k);
}

TEST_F(MeshNormalsTest, BackFacesOfACurvedTwoSidedSurfaceAllMoveToOneCopy) {
    MeshModel& m = load(fan(0.2f, true));
    const auto& triangles = m.materials()[0].triangles;
    ASSERT_EQ(triangles.size(), 12u);
    // Every vertex is used by front and back faces and splits exactly once.
    ASSERT_EQ(m.vertices().size(), 14u);
    ASSERT_EQ(m.vertexFaces().size(), 14u);
    // The centre is vertex 0 and splits first: its copy is vertex 7, and all
    // six back faces use it.
    for (std::size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(triangles[2 * k].i0, 0);
        EXPECT_EQ(triangles[2 * k + 1].i0, 7);
    }
    // The centre of the symmetric cone gets the mean of the front faces:
    // straight down the model's y.
    expectNormal(m.vertices()[0], 0, -1, 0);
    // The copy carries the first back face's own (tilted) normal, not a mean.
    const ModelTriangle& firstBack = triangles[1];
    expectNormal(m.vertices()[7], firstBack.nx, firstBack.ny, firstBack.nz);
    EXPECT_GT(firstBack.ny, 0.9f);
    EXPECT_GT(std::hypot(firstBack.nx, firstBack.nz), 0.1f);
    expectVertex(m.vertices()[7], m.vertices()[0].x, m.vertices()[0].y, m.vertices()[0].z);
    // The copy's list holds only that first back face.
    ASSERT_EQ(m.vertexFaces().count(7), 1u);
    EXPECT_EQ(m.vertexFaces().entry(m.vertexFaces().begin(7)).triangle, 1u);
}

TEST_F(MeshNormalsTest, CubeCornerSplitsOnceAndTheThirdSideTakesTheSecondSidesNormal) {
    // Three sides of a unit cube meet at file vertex 0, two triangles each;
    // each side has its own other vertices.
    std::vector<Vec3> vertices{{0, 0, 0},
                               {1, 0, 0}, {1, 1, 0}, {0, 1, 0},   // side A, file z = 0
                               {0, 0, 1}, {1, 0, 1}, {1, 0, 0},   // side B, file y = 0
                               {0, 1, 0}, {0, 1, 1}, {0, 0, 1}};  // side C, file x = 0
    std::vector<Face> faces{{0, 1, 2}, {0, 2, 3}, {0, 4, 5}, {0, 5, 6}, {0, 7, 8}, {0, 8, 9}};
    MeshModel& m = load(model({grey("M"), meshObject("corner", vertices, faces, "M")}));
    const auto& triangles = m.materials()[0].triangles;
    ASSERT_EQ(triangles.size(), 6u);
    // File normals +z, +y, +x become (0,-1,0), (0,0,-1), (1,0,0) in the model.
    EXPECT_FLOAT_EQ(triangles[0].ny, -1.0f);
    EXPECT_FLOAT_EQ(triangles[2].nz, -1.0f);
    EXPECT_FLOAT_EQ(triangles[4].nx, 1.0f);

    ASSERT_EQ(m.vertices().size(), 11u);  // one copy of the corner, nothing else split
    EXPECT_EQ(triangles[0].i0, 0);
    EXPECT_EQ(triangles[1].i0, 0);
    for (std::size_t k = 2; k < 6; ++k) EXPECT_EQ(triangles[k].i0, 10) << k;
    expectNormal(m.vertices()[0], 0, -1, 0);  // side A
    expectNormal(m.vertices()[10], 0, 0, -1); // side B's normal, used by side C too
    // The sides' own vertices are flat and keep their side's normal.
    expectNormal(m.vertices()[8], 1, 0, 0);
}

TEST_F(MeshNormalsTest, CornerWeightIsPiMinusTheInteriorAngle) {
    // A 3-4-5 right triangle.
    MeshModel& m = load(model({grey("M"), meshObject("t", {{0, 0, 0}, {4, 0, 0}, {0, 0, 3}}, {{0, 1, 2}}, "M")}));
    const ModelTriangle& t = m.materials()[0].triangles[0];
    EXPECT_NEAR(m.cornerWeight(t, 0), M_PI / 2, 1e-12);
    EXPECT_NEAR(m.cornerWeight(t, 1), M_PI - 0.6435011087932844, 1e-12);  // interior acos(4/5)
    EXPECT_NEAR(m.cornerWeight(t, 2), M_PI - 0.9272952180016122, 1e-12);  // interior acos(3/5)
}

TEST_F(MeshNormalsTest, VertexNormalIsTheCornerWeightedMeanOfTheSmoothFaces) {
    // At file vertex 0: face 0 has a right angle and file normal (0,0,1);
    // face 1 = (0, (0,1,0), (-1,1,1)) has the interior angle acos(1/sqrt 3)
    // and file normal (1,0,1)/sqrt 2, 45 degrees away. Weights pi/2 and
    // pi - acos(1/sqrt 3) = 2.186276035465284; the file-space mean is
    // (w1/sqrt 2, 0, w0 + w1/sqrt 2), which the model sees as (x, -z, -y):
    // (0.44435241393165736, -0.8958520705077981, 0) once normalised.
    // (Interior angles as weights would give (0.2878, -0.9577, 0).)
    std::vector<Vec3> vertices{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 1, 1}};
    MeshModel& m = load(model({grey("M"), meshObject("o", vertices, {{0, 1, 2}, {0, 2, 3}}, "M")}));
    ASSERT_EQ(m.vertices().size(), 4u);
    expectNormal(m.vertices()[0], 0.44435241393165736f, -0.8958520705077981f, 0);
}

}  // namespace
}  // namespace velmora::testing
