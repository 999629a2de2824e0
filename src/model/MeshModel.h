#pragma once
// The loaded model: the file image, the render materials with their
// triangles, one vertex list for all objects, the per-vertex face lists and
// the display list that draws everything. Every operation that touches
// OpenGL needs the owner's context to be current, construction and
// destruction included.

#include "model/ParsedScene.h"
#include "model/TextureFactory.h"
#include "model/VertexFaceLists.h"
#include "platform/Diagnostics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace velmora {

class Prompt;


// One vertex: texture coordinates, normal, position. The field order is the
// interleaved GL_T2F_N3F_V3F layout handed to OpenGL.
struct ModelVertex {
    float u = 0, v = 0;
    float nx = 0, ny = 0, nz = 0;
    float x = 0, y = 0, z = 0;
};
static_assert(sizeof(ModelVertex) == 32, "ModelVertex must match GL_T2F_N3F_V3F");

// Corner indices into the model's vertices and the unit face normal, which
// follows the winding i0, i1, i2 by the right-hand rule.
struct ModelTriangle {
    std::int32_t i0 = 0, i1 = 0, i2 = 0;
    float nx = 0, ny = 0, nz = 0;
};

// Extent of the model in file units and file axes, before centring.
struct ObjectBounds {
    float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

// A render material. Owns its texture object (deleted with the material when
// OpenGL still knows it) and its triangles.
struct MeshMaterial {
    std::string name;
    std::string textureFile;
    bool twoSided = false;
    std::array<float, 4> ambient{};
    std::array<float, 4> diffuse{};
    std::array<float, 4> specular{};
    float alpha = 0;
    unsigned textureId = 0;  // 0: untextured
    std::vector<ModelTriangle> triangles;

    MeshMaterial() = default;
    ~MeshMaterial();
    MeshMaterial(MeshMaterial&& other) noexcept;
    MeshMaterial& operator=(MeshMaterial&& other) noexcept;
    MeshMaterial(const MeshMaterial&) = delete;
    MeshMaterial& operator=(const MeshMaterial&) = delete;

private:
    void releaseTexture();
};

class MeshModel {
public:
    // Reserves the display list, so a context must be current. `prompt`
    // shows the reader's and the compiler's boxes; `diagnostics` receives
    // the reader's lines and the unknown-material lines; `textures` makes
    // the texture objects of textured materials.
    MeshModel(int creaseAngleDegrees, bool forceTwoSided, Prompt& prompt, TextureFactory textures = {},
              Diagnostics diagnostics = standardOutput());
    ~MeshModel();
    MeshModel(const MeshModel&) = delete;
    MeshModel& operator=(const MeshModel&) = delete;

    // Loading takes two calls, so that whoever loads can show the bounds
    // between them, before the long part of the work.
    // Reads the file, makes the render materials and measures the bounds.
    // False when the file could not be read (the reader has told the user);
    // the model then holds no render data and should be discarded.
    bool read(const std::string& path);
    // Centres the file image and makes the vertices in the view's axes, the
    // triangles, the normals and the display list. False as
    // compileDisplayList: the model is complete but not yet compiled.
    bool build();
    // Executes the display list.
    void draw() const;
    // Multiplies every vertex position by `factor` and recompiles; false as
    // compileDisplayList.
    bool scaleVertices(float factor);

    // Building steps, in the order read and build run them.
    void addMaterial(const std::array<float, 4>& ambient, const std::array<float, 4>& diffuse,
                     const std::array<float, 4>& specular, float alpha, const std::string& name,
                     const std::string& textureFile, bool twoSided);
    void addTriangle(std::int32_t i0, std::int32_t i1, std::int32_t i2, const std::string& materialName);
    // Index into materials() of the first material with that exact name, or
    // -1 (after a diagnostic line) when there is none.
    int findMaterial(const std::string& name) const;
    // Sets the triangle's unit normal; false (normal untouched) when the
    // triangle has no area or a corner is not a vertex of the model.
    bool computeFaceNormal(ModelTriangle& triangle) const;
    // Face lists, vertex normals, display list; false as compileDisplayList.
    bool prepareGeometry();
    void buildFaceLists();
    void computeVertexNormals();
    // π minus the interior angle of `triangle` at its corner `vertex`.
    double cornerWeight(const ModelTriangle& triangle, std::int32_t vertex) const;
    // False, with nothing compiled, when memory for the vertex array cannot
    // be had; asking the user whether to try again is the caller's business.
    bool compileDisplayList();

    // Read access.
    const std::vector<MeshMaterial>& materials() const { return materials_; }
    const std::vector<ModelVertex>& vertices() const { return vertices_; }
    const VertexFaceLists& vertexFaces() const { return vertexFaces_; }
    const ObjectBounds& bounds() const { return bounds_; }
    // The text of the bounds box: "maxx:%f minx:%f\r\nmaxy:%f ..." of bounds().
    std::string boundsText() const;
    unsigned displayList() const { return displayList_; }
    float creaseCosine() const { return creaseCosine_; }
    const ParsedScene& scene() const { return scene_; }
    bool needsDefaultMaterial() const { return scene_.needsDefaultMaterial; }
    bool forceTwoSided() const { return forceTwoSided_; }
    // Triangles of all materials (two-sided faces count twice).
    std::size_t triangleCount() const;
    // The interleaved vertex array of the last compilation (empty before).
    const std::vector<ModelVertex>& vertexArray() const { return vertexArray_; }

    // The largest vertex array, in vertices, that the compilation may
    // allocate; a larger one fails as if memory were exhausted. For checking
    // the out-of-memory question without exhausting memory.
    void setVertexArrayLimit(std::size_t vertices) { vertexArrayLimit_ = vertices; }

private:
    const ModelTriangle& triangle(FaceRef face) const { return materials_[face.material].triangles[face.triangle]; }
    ModelTriangle& triangle(FaceRef face) { return materials_[face.material].triangles[face.triangle]; }
    void addMaterials();
    void measureBounds();
    void centreFileImage();
    void appendVerticesAndTriangles();
    void appendViewVertices(const MeshObject& object);
    void appendTriangles(const MeshObject& object, std::int64_t vertexBase);
    void reserveTriangles();
    bool allocateVertexArray();

    Prompt& prompt_;
    TextureFactory textures_;
    Diagnostics diagnostics_;
    std::string path_;

    std::vector<MeshMaterial> materials_;
    std::vector<ModelVertex> vertices_;
    VertexFaceLists vertexFaces_;
    ObjectBounds bounds_;
    unsigned displayList_ = 0;
    float creaseCosine_ = 0;
    ParsedScene scene_;
    bool forceTwoSided_ = false;
    std::vector<ModelVertex> vertexArray_;
    std::size_t vertexArrayLimit_ = std::numeric_limits<std::size_t>::max();
};

}  // namespace velmora
