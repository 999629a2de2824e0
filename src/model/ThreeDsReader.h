#pragma once
// Reads a 3D Studio mesh file (.3ds) into its file image. One depth-first
// pass over the chunk tree; the parts the viewer does not use are skipped by
// their length. Malformed input (short or overlong lengths, counts beyond the
// data, truncated files) never reads out of bounds and never hangs.

#include "model/ParsedScene.h"
#include "platform/Diagnostics.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace velmora {

class Prompt;
class MappedFile;

class ThreeDsReader {
public:
    // Chunk ids the reader understands.
    enum ChunkId : std::uint16_t {
        kMain = 0x4D4D,
        kEditor = 0x3D3D,
        kObject = 0x4000,
        kMesh = 0x4100,
        kVertexList = 0x4110,
        kFaceList = 0x4120,
        kFaceGroup = 0x4130,
        kMapCoords = 0x4140,
        kSmoothingGroups = 0x4150,
        kLocalMatrix = 0x4160,
        kMaterial = 0xAFFF,
        kMaterialName = 0xA000,
        kAmbient = 0xA010,
        kDiffuse = 0xA020,
        kSpecular = 0xA030,
        kTransparency = 0xA050,
        kTwoSided = 0xA081,
        kTextureMap = 0xA200,
        kMapFileName = 0xA300,
        kColourFloat = 0x0010,
        kColour24 = 0x0011,
        kPercentInt = 0x0030,
        kKeyframer = 0xB000,
    };

    // `prompt` shows the "Failed to open" box; `diagnostics` receives the
    // reader's standard-output lines.
    ThreeDsReader(Prompt& prompt, Diagnostics diagnostics = standardOutput());

    // Opens, checks and parses the file. True when the file is a .3ds file
    // (its first chunk is the main chunk), whatever the walk found.
    bool readFile(const std::string& path, ParsedScene& scene);

    // Parses a file image already in memory: the header check and the walk.
    bool readMemory(const std::uint8_t* data, std::size_t size, ParsedScene& scene);

private:
    struct Cursor;

    bool checkHeader(Cursor& in, ParsedScene& scene);
    void readMainChunk(Cursor& in, std::size_t end, ParsedScene& scene);
    void readEditorChunk(Cursor& in, std::size_t end, ParsedScene& scene);
    void readObjectChunk(Cursor& in, std::size_t end, ParsedScene& scene);
    void readMeshChunk(Cursor& in, std::size_t end, const std::string& objectName, ParsedScene& scene);
    void readMaterialChunk(Cursor& in, std::size_t end, ParsedScene& scene);
    void readColourChunk(Cursor& in, std::size_t end, std::array<float, 3>& colour);
    void readPercentChunk(Cursor& in, std::size_t end, float& value);
    void readTextureMapChunk(Cursor& in, std::size_t end, std::string& fileName);
    void readName(Cursor& in, std::size_t end, std::string& destination);
    void readVertexList(Cursor& in, std::size_t end, MeshObject& object);
    std::uint16_t readFaceList(Cursor& in, std::size_t end, MeshObject& object);
    void readFaceGroup(Cursor& in, std::size_t end, MeshObject& object);
    void readMapCoords(Cursor& in, std::size_t end, MeshObject& object);
    void readLocalMatrix(Cursor& in, std::size_t end, MeshObject& object);
    static void addDefaultGroup(MeshObject& object, std::uint16_t faceCount);

    template <typename Handler>
    void walk(Cursor& in, std::size_t end, Handler&& handler);

    Prompt& prompt_;
    Diagnostics diagnostics_;
};

}  // namespace velmora
