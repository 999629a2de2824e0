#include "model/MeshModel.h"

#include "model/AssimpImporter.h"
#include "model/ThreeDsReader.h"
#include "platform/Prompt.h"

#include <GL/gl.h>

#include <cmath>
#include <utility>

namespace velmora {

// ---------------------------------------------------------------------------
// MeshMaterial

MeshMaterial::~MeshMaterial() { releaseTexture(); }

MeshMaterial::MeshMaterial(MeshMaterial&& other) noexcept
    : name(std::move(other.name)),
      textureFile(std::move(other.textureFile)),
      twoSided(other.twoSided),
      ambient(other.ambient),
      diffuse(other.diffuse),
      specular(other.specular),
      alpha(other.alpha),
      textureId(std::exchange(other.textureId, 0u)),
      triangles(std::move(other.triangles)) {}

MeshMaterial& MeshMaterial::operator=(MeshMaterial&& other) noexcept {
    if (this != &other) {
        releaseTexture();
        name = std::move(other.name);
        textureFile = std::move(other.textureFile);
        twoSided = other.twoSided;
        ambient = other.ambient;
        diffuse = other.diffuse;
        specular = other.specular;
        alpha = other.alpha;
        textureId = std::exchange(other.textureId, 0u);
        triangles = std::move(other.triangles);
    }
    return *this;
}

void MeshMaterial::releaseTexture() {
    if (textureId != 0 && glIsTexture(textureId)) glDeleteTextures(1, &textureId);
    textureId = 0;
}

// ---------------------------------------------------------------------------
// MeshModel: construction, loading and building

MeshModel::MeshModel(int creaseAngleDegrees, bool forceTwoSided, Prompt& prompt, TextureFactory textures,
                     Diagnostics diagnostics)
    : prompt_(prompt),
      textures_(std::move(textures)),
      diagnostics_(std::move(diagnostics)),
      forceTwoSided_(forceTwoSided) {
    displayList_ = glGenLists(1);
    creaseCosine_ = static_cast<float>(std::cos(creaseAngleDegrees * 0.017453292519943295));
}

MeshModel::~MeshModel() {
    // Display list, vertex array, file image, then the render data.
    if (displayList_ != 0 && glIsList(displayList_)) glDeleteLists(displayList_, 1);
    vertexArray_ = {};
    scene_ = {};
    materials_.clear();
    vertices_ = {};
    vertexFaces_.clear();
}

bool MeshModel::read(const std::string& path) {
    path_ = path;
    // .3ds files go through our own reader; the other formats through assimp
    // into the same file image.
    if (isAssimpModel(path)) {
        if (!importModel(path, scene_, prompt_, diagnostics_)) return false;
    } else {
        ThreeDsReader reader(prompt_, diagnostics_);
        if (!reader.readFile(path, scene_)) return false;
    }
    addMaterials();
    measureBounds();
    return true;
}

bool MeshModel::build() {
    centreFileImage();
    appendVerticesAndTriangles();
    return prepareGeometry();
}

void MeshModel::addMaterials() {
    if (scene_.needsDefaultMaterial) {
        const std::array<float, 4> white{1.0f, 1.0f, 1.0f, 1.0f};
        addMaterial(white, white, white, 0.0f, kDefaultMaterialName, "", true);
    }
    for (const MaterialDef& d : scene_.materialDefs) {
        const auto withAlpha = [&d](const std::array<float, 3>& c) {
            return std::array<float, 4>{c[0], c[1], c[2], d.alpha};
        };
        addMaterial(withAlpha(d.ambient), withAlpha(d.diffuse), withAlpha(d.specular), d.alpha, d.name,
                    d.textureFile, d.twoSided);
    }
}

void MeshModel::measureBounds() {
    // Starting from the first vertex there is (all zero without any).
    bounds_ = ObjectBounds{};
    for (const MeshObject& o : scene_.objects) {
        if (o.vertices.empty()) continue;
        const ObjectVertex& first = o.vertices.front();
        bounds_ = ObjectBounds{first.x, first.x, first.y, first.y, first.z, first.z};
        break;
    }
    const auto extend = [](float value, float& minimum, float& maximum) {
        if (value > maximum)
            maximum = value;
        else if (value < minimum)
            minimum = value;
    };
    for (const MeshObject& o : scene_.objects) {
        for (const ObjectVertex& p : o.vertices) {
            extend(p.x, bounds_.minX, bounds_.maxX);
            extend(p.y, bounds_.minY, bounds_.maxY);
            extend(p.z, bounds_.minZ, bounds_.maxZ);
        }
    }
}

void MeshModel::centreFileImage() {
    // In place, in the file image: bounds keep the uncentred extent.
    const float cx = static_cast<float>((static_cast<double>(bounds_.maxX) + bounds_.minX) * 0.5);
    const float cy = static_cast<float>((static_cast<double>(bounds_.maxY) + bounds_.minY) * 0.5);
    const float cz = static_cast<float>((static_cast<double>(bounds_.maxZ) + bounds_.minZ) * 0.5);
    for (MeshObject& o : scene_.objects) {
        for (ObjectVertex& p : o.vertices) {
            p.x -= cx;
            p.y -= cy;
            p.z -= cz;
        }
    }
}

void MeshModel::appendVerticesAndTriangles() {
    std::size_t vertexTotal = 0;
    for (const MeshObject& o : scene_.objects) vertexTotal += o.vertices.size();
    vertices_.reserve(vertexTotal);
    reserveTriangles();
    vertexFaces_.reserve(vertexTotal, 0);
    std::int64_t base = 0;
    for (const MeshObject& o : scene_.objects) {
        appendViewVertices(o);
        appendTriangles(o, base);
        base += static_cast<std::int64_t>(o.vertices.size());
    }
}

void MeshModel::appendViewVertices(const MeshObject& o) {
    // x mirrored and the file's z up, the view's up direction.
    for (std::size_t i = 0; i < o.vertices.size(); ++i) {
        const ObjectVertex& p = o.vertices[i];
        ModelVertex v;
        if (i < o.mapCoords.size()) {
            v.u = o.mapCoords[i].u;
            v.v = o.mapCoords[i].v;
        }
        v.x = -p.x;
        v.y = p.z;
        v.z = p.y;
        vertices_.push_back(v);
        vertexFaces_.appendEmpty();
    }
}

void MeshModel::appendTriangles(const MeshObject& o, std::int64_t base) {
    if (o.faces.empty()) return;
    // The mirrored x turns the winding around: the file's second and third
    // corners are exchanged to keep the front faces in front.
    for (const FaceGroup& g : o.faceGroups) {
        for (std::uint16_t k : g.faceIndices) {
            if (k >= o.faces.size()) continue;  // no such face
            const ObjectFace& f = o.faces[k];
            // A corner past this object's vertices lies past all appended so far: addTriangle drops the face.
            addTriangle(static_cast<std::int32_t>(base + f.a), static_cast<std::int32_t>(base + f.c),
                        static_cast<std::int32_t>(base + f.b), g.materialName);
        }
    }
}

void MeshModel::reserveTriangles() {
    // Room for every listed face, twice in two-sided materials: the most the
    // build can add, so the lists never regrow while they fill.
    std::vector<std::size_t> room(materials_.size(), 0);
    for (const MeshObject& o : scene_.objects) {
        if (o.faces.empty()) continue;
        for (const FaceGroup& g : o.faceGroups) {
            for (std::size_t m = 0; m < materials_.size(); ++m) {
                if (materials_[m].name != g.materialName) continue;
                room[m] += g.faceIndices.size() * (materials_[m].twoSided ? 2 : 1);
                break;
            }
        }
    }
    for (std::size_t m = 0; m < materials_.size(); ++m) materials_[m].triangles.reserve(room[m]);
}

std::string MeshModel::boundsText() const {
    return formatText("maxx:%f minx:%f\r\nmaxy:%f miny:%f\r\nmaxz:%f minz:%f", static_cast<double>(bounds_.maxX),
                      static_cast<double>(bounds_.minX), static_cast<double>(bounds_.maxY),
                      static_cast<double>(bounds_.minY), static_cast<double>(bounds_.maxZ),
                      static_cast<double>(bounds_.minZ));
}

void MeshModel::addMaterial(const std::array<float, 4>& ambient, const std::array<float, 4>& diffuse,
                            const std::array<float, 4>& specular, float alpha, const std::string& name,
                            const std::string& textureFile, bool twoSided) {
    MeshMaterial m;
    m.ambient = ambient;
    m.diffuse = diffuse;
    m.specular = specular;
    m.alpha = alpha;
    m.name = name;
    m.textureFile = textureFile;
    m.twoSided = forceTwoSided_ || twoSided;
    m.textureId = 0;
    if (!textureFile.empty() && textures_) m.textureId = textures_(textureFile, path_);
    materials_.push_back(std::move(m));
}

void MeshModel::addTriangle(std::int32_t i0, std::int32_t i1, std::int32_t i2, const std::string& materialName) {
    ModelTriangle front{i0, i1, i2, 0, 0, 0};
    if (!computeFaceNormal(front)) return;  // no area: dropped without a word
    const int m = findMaterial(materialName);
    if (m < 0) return;
    MeshMaterial& material = materials_[static_cast<std::size_t>(m)];
    material.triangles.push_back(front);
    if (material.twoSided) {
        ModelTriangle back{i0, i2, i1, 0, 0, 0};
        computeFaceNormal(back);
        material.triangles.push_back(back);
    }
}

int MeshModel::findMaterial(const std::string& name) const {
    for (std::size_t i = 0; i < materials_.size(); ++i)
        if (materials_[i].name == name) return static_cast<int>(i);
    report(diagnostics_, "Parse Error: Can't find material %s\n", name.c_str());
    return -1;
}

bool MeshModel::computeFaceNormal(ModelTriangle& t) const {
    const auto count = static_cast<std::int64_t>(vertices_.size());
    if (t.i0 < 0 || t.i1 < 0 || t.i2 < 0 || t.i0 >= count || t.i1 >= count || t.i2 >= count) return false;
    const ModelVertex& p0 = vertices_[static_cast<std::size_t>(t.i0)];
    const ModelVertex& p1 = vertices_[static_cast<std::size_t>(t.i1)];
    const ModelVertex& p2 = vertices_[static_cast<std::size_t>(t.i2)];
    const float e1x = p1.x - p0.x, e1y = p1.y - p0.y, e1z = p1.z - p0.z;
    const float e2x = p2.x - p1.x, e2y = p2.y - p1.y, e2z = p2.z - p1.z;
    const float nx = e1y * e2z - e1z * e2y;
    const float ny = e1z * e2x - e1x * e2z;
    const float nz = e1x * e2y - e1y * e2x;
    const float s = nx * nx + ny * ny + nz * nz;
    if (s == 0.0f) return false;
    if (!std::isfinite(s)) {
        // Not a number from positions that are not numbers: degenerate. From
        // a face too large for single precision: the same normal in double.
        for (const ModelVertex* p : {&p0, &p1, &p2})
            if (!std::isfinite(p->x) || !std::isfinite(p->y) || !std::isfinite(p->z)) return false;
        const double ax = static_cast<double>(p1.x) - p0.x, ay = static_cast<double>(p1.y) - p0.y,
                     az = static_cast<double>(p1.z) - p0.z;
        const double bx = static_cast<double>(p2.x) - p1.x, by = static_cast<double>(p2.y) - p1.y,
                     bz = static_cast<double>(p2.z) - p1.z;
        const double cx = ay * bz - az * by, cy = az * bx - ax * bz, cz = ax * by - ay * bx;
        const double length = std::sqrt(cx * cx + cy * cy + cz * cz);
        // Finite floats give at most about 1e156 here: only 0 is left to refuse.
        if (!(length > 0.0)) return false;
        t.nx = static_cast<float>(cx / length);
        t.ny = static_cast<float>(cy / length);
        t.nz = static_cast<float>(cz / length);
        return true;
    }
    const float inverse = 1.0f / std::sqrt(s);
    t.nx = nx * inverse;
    t.ny = ny * inverse;
    t.nz = nz * inverse;
    return true;
}

std::size_t MeshModel::triangleCount() const {
    std::size_t total = 0;
    for (const MeshMaterial& m : materials_) total += m.triangles.size();
    return total;
}

bool MeshModel::scaleVertices(float factor) {
    for (ModelVertex& v : vertices_) {
        v.x *= factor;
        v.y *= factor;
        v.z *= factor;
    }
    return compileDisplayList();
}

void MeshModel::draw() const { glCallList(displayList_); }

}  // namespace velmora
