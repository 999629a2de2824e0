#pragma once
// The file image of a .3ds model: materials and triangle meshes exactly as
// the file gives them, before any conversion. Lists keep file order.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

struct ObjectVertex {
    float x = 0, y = 0, z = 0;
};

struct ObjectFace {
    std::uint16_t a = 0, b = 0, c = 0;
    std::uint16_t flags = 0;
};

struct MapCoord {
    float u = 0, v = 0;
};

struct FaceGroup {
    std::string materialName;
    std::vector<std::uint16_t> faceIndices;
};

struct MeshObject {
    std::string name;
    bool hasLocalMatrix = false;
    std::array<float, 12> localMatrix{};  // kept, never applied
    std::vector<ObjectFace> faces;
    std::vector<ObjectVertex> vertices;
    std::vector<FaceGroup> faceGroups;
    std::vector<MapCoord> mapCoords;
};

struct MaterialDef {
    std::string name;
    std::array<float, 3> ambient{};
    std::array<float, 3> diffuse{};
    std::array<float, 3> specular{};
    std::string textureFile;
    bool twoSided = false;
    // Opaque unless the block carries a transparency chunk. (Many exporters
    // write none; a zero here would make such materials invisible.)
    float alpha = 1.0f;
};

struct ParsedScene {
    std::vector<MaterialDef> materialDefs;
    std::vector<MeshObject> objects;
    // Set when a mesh without any face-material group was read.
    bool needsDefaultMaterial = false;
};

// The material name given to faces of meshes without face-material groups.
inline constexpr const char* kDefaultMaterialName = "QK_DEFAULT";

}  // namespace velmora
