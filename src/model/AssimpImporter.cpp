#include "model/AssimpImporter.h"

#include "platform/InputFile.h"
#include "platform/MappedFile.h"
#include "platform/MemoryBudget.h"
#include "platform/NameSuffix.h"

#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/metadata.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <set>

namespace velmora {

namespace fs = std::filesystem;

namespace {

// The most vertices, and faces, one object may hold: the file image's
// indices are 16 bits wide, as in a .3ds file.
constexpr std::size_t kMaxPerObject = 65535;
constexpr std::size_t kMaxNameLength = 16;
// A model from a pipe or device is held whole before the library parses it.
// From this size on (some millions of triangles of OBJ text) it is taken for
// a device that never ends, such as /dev/zero, and refused.
constexpr std::size_t kMostStreamed = std::size_t{128} << 20;

const char* const kExtensions[] = {"obj", "stl", "ply", "gltf", "glb", "dae", "fbx"};

std::string lowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string extensionOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lowerCase(path.substr(dot + 1));
}

// Holds the textures that came embedded in model files, for the life of the
// process; the texture manager reads them back by name.
class EmbeddedTextureFolder {
public:
    static EmbeddedTextureFolder& instance() {
        static EmbeddedTextureFolder folder;
        return folder;
    }
    ~EmbeddedTextureFolder() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    EmbeddedTextureFolder(const EmbeddedTextureFolder&) = delete;
    EmbeddedTextureFolder& operator=(const EmbeddedTextureFolder&) = delete;

    // The path of a new file holding `bytes`, or nothing when it cannot be written.
    std::string write(const std::string& extension, const std::string& bytes) {
        if (path_.empty()) {
            std::error_code ec;
            std::string pattern = (fs::temp_directory_path(ec) / "velmora-textures-XXXXXX").string();
            if (ec || !::mkdtemp(pattern.data())) return {};
            path_ = pattern;
        }
        const fs::path file = path_ / ("texture" + std::to_string(++count_) + "." + extension);
        std::ofstream out(file, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        return out ? file.string() : std::string();
    }

private:
    EmbeddedTextureFolder() = default;
    fs::path path_;
    unsigned count_ = 0;
};

// The file type of a compressed embedded texture: by its first bytes, else
// by the format hint the file gave.
std::string embeddedExtension(const aiTexture& texture) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(texture.pcData);
    const std::size_t size = texture.mWidth;
    if (size >= 8 && std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) return "png";
    if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "jpg";
    if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return "bmp";
    const std::string hint = lowerCase(std::string(texture.achFormatHint, strnlen(texture.achFormatHint, HINTMAXTEXTURELEN)));
    if (hint == "jpeg") return "jpg";
    return hint.empty() ? "bin" : hint;
}

// An uncompressed embedded texture (BGRA texels, top row first) as a 32-bit
// TGA file, bottom row first.
std::string tgaOf(const aiTexture& texture) {
    const unsigned width = texture.mWidth, height = texture.mHeight;
    std::string bytes(18, '\0');
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>(width >> 8);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>(height >> 8);
    bytes[16] = 32;
    bytes[17] = 8;  // eight alpha bits, bottom-left origin
    bytes.reserve(18 + std::size_t{4} * width * height);
    for (unsigned row = height; row-- > 0;) {
        for (unsigned column = 0; column < width; ++column) {
            const aiTexel& t = texture.pcData[std::size_t{row} * width + column];
            bytes += static_cast<char>(t.b);
            bytes += static_cast<char>(t.g);
            bytes += static_cast<char>(t.r);
            bytes += static_cast<char>(t.a);
        }
    }
    return bytes;
}

// The importer's y-up axes for FBX files that declare others.
aiMatrix4x4 sourceAxes(const aiScene& scene, const std::string& extension) {
    aiMatrix4x4 identity;
    if (extension != "fbx" || !scene.mMetaData) return identity;
    // All six are read before any is used.
    std::int32_t axis[3]{}, sign[3]{};
    const aiMetadata& meta = *scene.mMetaData;
    if (!meta.Get("CoordAxis", axis[0]) || !meta.Get("UpAxis", axis[1]) || !meta.Get("FrontAxis", axis[2]) ||
        !meta.Get("CoordAxisSign", sign[0]) || !meta.Get("UpAxisSign", sign[1]) ||
        !meta.Get("FrontAxisSign", sign[2]))
        return identity;
    std::set<std::int32_t> seen(axis, axis + 3);
    if (seen.size() != 3 || *seen.begin() != 0 || *seen.rbegin() != 2) return identity;
    aiMatrix4x4 m;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) m[row][column] = 0.0f;
        m[row][axis[row]] = sign[row] < 0 ? -1.0f : 1.0f;
    }
    return m;
}

class SceneBuilder {
public:
    SceneBuilder(const aiScene& source, const std::string& extension, ParsedScene& scene)
        : source_(source), extension_(extension), scene_(scene) {}

    void build() {
        for (unsigned i = 0; i < source_.mNumMaterials; ++i) addMaterial(*source_.mMaterials[i]);
        if (!source_.mRootNode) return;
        std::vector<std::pair<const aiNode*, aiMatrix4x4>> pending{{source_.mRootNode, sourceAxes(source_, extension_)}};
        while (!pending.empty()) {
            auto [node, parent] = pending.back();
            pending.pop_back();
            const aiMatrix4x4 transform = parent * node->mTransformation;
            for (unsigned i = 0; i < node->mNumMeshes; ++i) {
                if (node->mMeshes[i] < source_.mNumMeshes)
                    addMesh(*source_.mMeshes[node->mMeshes[i]], transform, node->mName.C_Str());
            }
            // Children in reverse onto the stack: they come off in file order.
            for (unsigned i = node->mNumChildren; i-- > 0;) pending.emplace_back(node->mChildren[i], transform);
        }
    }

private:
    std::string uniqueName(std::string name) {
        if (name.empty()) name = "Material";
        std::string candidate = name.substr(0, kMaxNameLength);
        for (int k = 1; usedNames_.count(candidate); ++k) {
            const std::string suffix = "~" + std::to_string(k);
            candidate = name.substr(0, kMaxNameLength - suffix.size()) + suffix;
        }
        usedNames_.insert(candidate);
        return candidate;
    }

    std::string textureFile(const aiMaterial& material) {
        aiString path;
        if (material.GetTexture(aiTextureType_DIFFUSE, 0, &path) != AI_SUCCESS &&
            material.GetTexture(aiTextureType_BASE_COLOR, 0, &path) != AI_SUCCESS)
            return {};
        const auto [texture, index] = source_.GetEmbeddedTextureAndIndex(path.C_Str());
        if (!texture) return path.C_Str();
        auto known = embedded_.find(index);
        if (known != embedded_.end()) return known->second;
        std::string written;
        if (texture->mHeight == 0) {
            written = EmbeddedTextureFolder::instance().write(
                embeddedExtension(*texture), std::string(reinterpret_cast<const char*>(texture->pcData), texture->mWidth));
        } else {
            written = EmbeddedTextureFolder::instance().write("tga", tgaOf(*texture));
        }
        embedded_[index] = written;
        return written;
    }

    void addMaterial(const aiMaterial& material) {
        MaterialDef def;
        aiString name;
        material.Get(AI_MATKEY_NAME, name);
        def.name = uniqueName(name.C_Str());
        def.textureFile = textureFile(material);
        const auto rgb = [](const aiColor4D& c) { return std::array<float, 3>{c.r, c.g, c.b}; };
        aiColor4D colour;
        if (material.Get(AI_MATKEY_COLOR_DIFFUSE, colour) == AI_SUCCESS ||
            material.Get(AI_MATKEY_BASE_COLOR, colour) == AI_SUCCESS)
            def.diffuse = rgb(colour);
        else
            def.diffuse = def.textureFile.empty() ? std::array<float, 3>{0.6f, 0.6f, 0.6f}
                                                  : std::array<float, 3>{1.0f, 1.0f, 1.0f};
        def.ambient = material.Get(AI_MATKEY_COLOR_AMBIENT, colour) == AI_SUCCESS ? rgb(colour) : def.diffuse;
        if (material.Get(AI_MATKEY_COLOR_SPECULAR, colour) == AI_SUCCESS) def.specular = rgb(colour);
        float opacity = 1.0f;
        if (material.Get(AI_MATKEY_OPACITY, opacity) == AI_SUCCESS) def.alpha = opacity;
        int twoSided = 0;
        if (material.Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS) def.twoSided = twoSided != 0;
        scene_.materialDefs.push_back(std::move(def));
    }

    void addMesh(const aiMesh& mesh, const aiMatrix4x4& transform, const std::string& nodeName) {
        if (!(mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE) || mesh.mNumVertices == 0) return;
        const bool mirrored = transform.Determinant() < 0.0f;
        const std::string& material =
            mesh.mMaterialIndex < scene_.materialDefs.size() ? scene_.materialDefs[mesh.mMaterialIndex].name
                                                              : std::string(kDefaultMaterialName);
        if (mesh.mMaterialIndex >= scene_.materialDefs.size()) scene_.needsDefaultMaterial = true;
        const std::string name = (mesh.mName.length > 0 ? std::string(mesh.mName.C_Str()) : nodeName)
                                     .substr(0, kMaxNameLength);
        const bool hasUv = mesh.HasTextureCoords(0);

        // Where each source vertex went in the current object; a stamp per
        // object saves clearing the table.
        std::vector<std::uint16_t> slot(mesh.mNumVertices, 0);
        std::vector<std::uint32_t> stamp(mesh.mNumVertices, 0);
        std::uint32_t current = 0;
        MeshObject object;
        const auto startObject = [&] {
            finish(object, material);
            object = MeshObject{};
            object.name = name;
            ++current;
        };
        startObject();
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices != 3) continue;
            bool valid = true;
            std::size_t fresh = 0;
            for (int k = 0; k < 3; ++k) {
                const unsigned v = face.mIndices[k];
                valid = valid && v < mesh.mNumVertices;
                if (valid && stamp[v] != current) ++fresh;
            }
            if (!valid) continue;
            if (object.vertices.size() + fresh > kMaxPerObject || object.faces.size() >= kMaxPerObject) {
                startObject();
            }
            std::uint16_t corner[3];
            for (int k = 0; k < 3; ++k) {
                const unsigned v = face.mIndices[k];
                if (stamp[v] != current) {
                    stamp[v] = current;
                    slot[v] = static_cast<std::uint16_t>(object.vertices.size());
                    const aiVector3D p = transform * mesh.mVertices[v];
                    // The model builder turns the stored (x, y, z) into (-x, z, y).
                    object.vertices.push_back({-p.x, p.z, p.y});
                    if (hasUv) object.mapCoords.push_back({mesh.mTextureCoords[0][v].x, mesh.mTextureCoords[0][v].y});
                }
                corner[k] = slot[v];
            }
            // The builder exchanges the second and third corners.
            if (mirrored)
                object.faces.push_back({corner[0], corner[1], corner[2], 0});
            else
                object.faces.push_back({corner[0], corner[2], corner[1], 0});
        }
        finish(object, material);
    }

    void finish(MeshObject& object, const std::string& material) {
        if (object.faces.empty()) return;
        FaceGroup group;
        group.materialName = material;
        group.faceIndices.resize(object.faces.size());
        for (std::size_t i = 0; i < object.faces.size(); ++i) group.faceIndices[i] = static_cast<std::uint16_t>(i);
        object.faceGroups.push_back(std::move(group));
        scene_.objects.push_back(std::move(object));
    }

    const aiScene& source_;
    std::string extension_;
    ParsedScene& scene_;
    std::set<std::string> usedNames_;
    std::map<int, std::string> embedded_;
};

void configure(Assimp::Importer& importer) {
    // The model computes its own normals: without the file's, vertices that
    // differ only in their normal are joined and smooth across their faces.
    importer.SetPropertyInteger(AI_CONFIG_PP_RVC_FLAGS, aiComponent_NORMALS | aiComponent_TANGENTS_AND_BITANGENTS |
                                                            aiComponent_COLORS | aiComponent_BONEWEIGHTS |
                                                            aiComponent_ANIMATIONS | aiComponent_LIGHTS |
                                                            aiComponent_CAMERAS);
    importer.SetPropertyInteger(AI_CONFIG_PP_SBP_REMOVE, aiPrimitiveType_POINT | aiPrimitiveType_LINE);
}

constexpr unsigned kImportSteps = aiProcess_RemoveComponent | aiProcess_Triangulate |
                                  aiProcess_JoinIdenticalVertices | aiProcess_SortByPType |
                                  aiProcess_ValidateDataStructure;

bool hasTriangles(const ParsedScene& scene) {
    for (const auto& object : scene.objects)
        if (!object.faces.empty()) return true;
    return false;
}

}  // namespace

bool isAssimpModel(const std::string& path) {
    for (const char* known : kExtensions)
        if (hasSuffixIgnoringCase(path, std::string(".") + known)) return true;
    return false;
}

std::vector<FileFilter> modelFileFilters() {
    std::string all = "*.3ds";
    for (const char* known : kExtensions) all += std::string(" *.") + known;
    return {{"3D Studio Files", "*.3DS"}, {"All supported models", all}};
}

AssimpImporter::AssimpImporter(Prompt& prompt, Diagnostics diagnostics)
    : prompt_(prompt), diagnostics_(std::move(diagnostics)) {}

bool AssimpImporter::readFile(const std::string& path, ParsedScene& scene) {
    scene = ParsedScene{};
    InputFile in;
    if (in.open(path) != InputFile::Status::Ok) {
        prompt_.show(formatText("Failed to open %s\n", path.c_str()), std::string("Error"), PromptIcon::Error);
        return false;
    }
    const auto refuse = [&](const std::string& reason) {
        report(diagnostics_, "Failed to parse %s\n", path.c_str());
        report(diagnostics_, "%s\n", reason.c_str());
        return false;
    };
    Assimp::Importer importer;
    configure(importer);
    const aiScene* source = nullptr;
    MappedFile streamed;
    try {
        if (in.regular()) {
            // The library holds the whole file and more while it parses.
            if (auto shortfall = memoryShortfall(in.size())) return refuse("the file " + *shortfall);
            in.close();
            source = importer.ReadFile(path, kImportSteps);
        } else {
            const auto status = streamed.open(std::move(in), kMostStreamed);
            if (status == MappedFile::Status::TooLarge || streamed.cutShort())
                return refuse(std::to_string(kMostStreamed >> 20) + " MiB or more from a pipe or device");
            if (status != MappedFile::Status::Ok) return refuse("the file cannot be read to its end");
            if (streamed.size() == 0) return refuse("the file is empty");
            source = importer.ReadFileFromMemory(streamed.data(), streamed.size(), kImportSteps,
                                                 extensionOf(path).c_str());
        }
        if (!source) return refuse(importer.GetErrorString());
        SceneBuilder(*source, extensionOf(path), scene).build();
    } catch (const std::bad_alloc&) {
        scene = ParsedScene{};
        return refuse("not enough memory for the model");
    }
    if (!hasTriangles(scene)) {
        report(diagnostics_, "No triangles in %s\n", path.c_str());
        return false;
    }
    return true;
}

bool importModel(const std::string& path, ParsedScene& scene, Prompt& prompt, Diagnostics diagnostics) {
    return AssimpImporter(prompt, std::move(diagnostics)).readFile(path, scene);
}

}  // namespace velmora
