#include "model/ThreeDsReader.h"

#include "platform/MappedFile.h"
#include "platform/Prompt.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

// Little-endian loads that compile to plain moves on little-endian hosts.
inline std::uint16_t loadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline float loadF32(const std::uint8_t* p) {
    const std::uint32_t bits = loadU32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kMaxNameLength = 16;

// Bytes per entry of the lists and values the reader takes in.
constexpr std::size_t kVertexSize = 12;       // x, y, z: float32 each
constexpr std::size_t kFaceSize = 8;          // a, b, c, flags: u16 each
constexpr std::size_t kFaceIndexSize = 2;     // u16
constexpr std::size_t kMapCoordSize = 8;      // u, v: float32 each
constexpr std::size_t kLocalMatrixSize = 48;  // 12 float32
constexpr std::size_t kFloatColourSize = 12;  // r, g, b: float32 each
constexpr std::size_t kByteColourSize = 3;    // r, g, b: u8 each

// A face whose flag word is exactly this (all three edges visible) has its
// last two corners exchanged; every other flag word keeps the file's order.
constexpr std::uint16_t kSwappedCornersFlags = 7;
// One 256th, not 1/255: a byte colour of 255 becomes 0.99609375, as the
// models have always been shown.
constexpr float kByteColourScale = 0.00390625f;
// Parsed bytes handed back to the system at a time while walking a big file.
constexpr std::size_t kReleaseStep = std::size_t{16} << 20;

// A regular file whole; of a pipe or device its header first, then no more
// than its main chunk claims (never more than 4 GiB), which is all the reader
// looks at: /dev/zero ends after six bytes.
MappedFile::Status openWhole(MappedFile& file, const std::string& path) {
    const MappedFile::Status status = file.open(path, kHeaderSize);
    if (status != MappedFile::Status::Ok || !file.cutShort() || file.size() < kHeaderSize ||
        loadU16(file.data()) != ThreeDsReader::kMain)
        return status;
    return file.readMore(std::max<std::size_t>(loadU32(file.data() + 2), kHeaderSize));
}

}  // namespace

// Position in the file image. Every read is bounded by the end of the chunk
// it belongs to and by the end of the file.
struct ThreeDsReader::Cursor {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    bool stopped = false;  // the file ended inside a chunk: the walk is over
    MappedFile* file = nullptr;
    std::size_t releasedAt = 0;
    const Diagnostics* diagnostics = nullptr;

    // Bytes that may be read before `end`.
    std::size_t available(std::size_t end) const {
        const std::size_t limit = std::min(end, size);
        return pos < limit ? limit - pos : 0;
    }

    // A read of `wanted` bytes before `end` could not be satisfied.
    void readFailed(std::size_t wanted, std::size_t end) {
        report(*diagnostics, "Error reading file\n");
        // The chunk claims bytes the file does not have: the file is cut short.
        if (end > size && pos + wanted > size) stopped = true;
    }

    bool need(std::size_t n, std::size_t end) {
        if (available(end) >= n) return true;
        readFailed(n, end);
        return false;
    }

    const std::uint8_t* take(std::size_t n) {
        const std::uint8_t* p = data + pos;
        pos += n;
        return p;
    }

    bool readU16(std::uint16_t& value, std::size_t end) {
        if (!need(2, end)) return false;
        value = loadU16(take(2));
        return true;
    }

    // How many entries of `entrySize` bytes of a claimed `count` fit before
    // `end`; reports when not all of them do.
    std::size_t fitting(std::size_t count, std::size_t entrySize, std::size_t end) {
        const std::size_t fit = available(end) / entrySize;
        if (fit >= count) return count;
        readFailed(count * entrySize, end);
        return fit;
    }

    // Takes `n` entries of a list that claimed `count`. When the claim was
    // more than the chunk holds, the chunk's remaining bytes are a broken
    // entry, not sub-chunks: the walk goes on after the chunk.
    const std::uint8_t* takeEntries(std::size_t n, std::size_t entrySize, std::size_t count, std::size_t end) {
        const std::uint8_t* p = take(n * entrySize);
        if (n < count) pos = std::max(pos, std::min(end, size));
        return p;
    }

    void releaseParsed() {
        if (file && pos >= releasedAt + kReleaseStep) {
            file->release(pos);
            releasedAt = pos;
        }
    }
};

ThreeDsReader::ThreeDsReader(Prompt& prompt, Diagnostics diagnostics)
    : prompt_(prompt), diagnostics_(std::move(diagnostics)) {}

bool ThreeDsReader::readFile(const std::string& path, ParsedScene& scene) {
    MappedFile file;
    switch (openWhole(file, path)) {
        case MappedFile::Status::OpenFailed:
            prompt_.show(formatText("Failed to open %s\n", path.c_str()), std::string("Error"),
                         PromptIcon::Error);
            return false;
        case MappedFile::Status::SeekFailed:
            report(diagnostics_, "Error seeking %s\n", path.c_str());
            return false;
        case MappedFile::Status::SizeFailed:
            report(diagnostics_, "Error sizing %s\n", path.c_str());
            return false;
        case MappedFile::Status::ReadFailed:
            report(diagnostics_, "Error reading file\n");
            break;
        case MappedFile::Status::TooLarge:
            report(diagnostics_, "Error reading file\n");
            report(diagnostics_, "Failed to parse %s\n", path.c_str());
            return false;
        case MappedFile::Status::Ok:
            break;
    }

    Cursor in;
    in.data = file.data();
    in.size = file.size();
    in.file = &file;
    in.diagnostics = &diagnostics_;
    if (!checkHeader(in, scene)) {
        report(diagnostics_, "Failed to parse %s\n", path.c_str());
        return false;
    }
    return true;
}

bool ThreeDsReader::readMemory(const std::uint8_t* data, std::size_t size, ParsedScene& scene) {
    Cursor in;
    in.data = data;
    in.size = size;
    in.diagnostics = &diagnostics_;
    return checkHeader(in, scene);
}

bool ThreeDsReader::checkHeader(Cursor& in, ParsedScene& scene) {
    const std::size_t start = in.pos;
    std::uint16_t id = 0;
    std::uint32_t length = 0;
    if (in.need(kHeaderSize, in.size)) {
        id = loadU16(in.take(2));
        length = loadU32(in.take(4));
    }
    if (id != kMain) {
        report(diagnostics_, "Not in 3DS format.\n");
        return false;
    }
    readMainChunk(in, start + length, scene);
    return true;
}

// The common sub-chunk loop. `handler(id, chunkEnd)` returns false for chunks
// it does not read; those are skipped by their length. A handled chunk is not
// skipped to its end: the loop goes on from wherever its reader stopped, so a
// face list's trailing sub-chunks are met here as siblings.
template <typename Handler>
void ThreeDsReader::walk(Cursor& in, std::size_t end, Handler&& handler) {
    while (!in.stopped && in.pos < end) {
        const std::size_t start = in.pos;
        if (in.available(end) < kHeaderSize) {
            if (end > in.size) {
                in.readFailed(kHeaderSize, end);
            }
            in.pos = end;  // a few stray bytes at the end of the parent
            return;
        }
        const std::uint16_t id = loadU16(in.take(2));
        const std::uint32_t length = loadU32(in.take(4));
        if (length < kHeaderSize) {
            // No progress is possible with such a length: the parent is done.
            in.pos = end;
            return;
        }
        const std::size_t chunkEnd = std::min<std::size_t>(start + length, end);
        if (!handler(id, chunkEnd)) in.pos = chunkEnd;
    }
}

void ThreeDsReader::readMainChunk(Cursor& in, std::size_t end, ParsedScene& scene) {
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        if (id != kEditor) return false;
        readEditorChunk(in, chunkEnd, scene);
        return true;
    });
}

void ThreeDsReader::readEditorChunk(Cursor& in, std::size_t end, ParsedScene& scene) {
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        switch (id) {
            case kObject: readObjectChunk(in, chunkEnd, scene); break;
            case kMaterial: readMaterialChunk(in, chunkEnd, scene); break;
            default: return false;
        }
        in.releaseParsed();
        return true;
    });
}

void ThreeDsReader::readObjectChunk(Cursor& in, std::size_t end, ParsedScene& scene) {
    std::string objectName;
    readName(in, end, objectName);
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        if (id != kMesh) return false;
        readMeshChunk(in, chunkEnd, objectName, scene);
        return true;
    });
    if (!in.stopped) in.pos = std::max(in.pos, std::min(end, in.size));
}

void ThreeDsReader::readMeshChunk(Cursor& in, std::size_t end, const std::string& objectName,
                                  ParsedScene& scene) {
    scene.objects.emplace_back();
    MeshObject& object = scene.objects.back();
    object.name = objectName;
    std::uint16_t faceCount = 0;
    bool groupSeen = false;
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        switch (id) {
            case kVertexList: readVertexList(in, chunkEnd, object); break;
            case kFaceList: faceCount = readFaceList(in, chunkEnd, object); break;
            case kFaceGroup:
                readFaceGroup(in, chunkEnd, object);
                groupSeen = true;
                break;
            case kMapCoords: readMapCoords(in, chunkEnd, object); break;
            case kLocalMatrix: readLocalMatrix(in, chunkEnd, object); break;
            default: return false;
        }
        return true;
    });
    if (!groupSeen) {
        scene.needsDefaultMaterial = true;
        addDefaultGroup(object, faceCount);
    }
}

void ThreeDsReader::readName(Cursor& in, std::size_t end, std::string& destination) {
    // The whole name is consumed through its terminator, within its chunk;
    // only the first 16 characters are kept.
    const std::size_t avail = in.available(end);
    if (avail == 0) {
        destination.clear();
        if (end > in.size) in.readFailed(1, end);
        return;
    }
    const std::uint8_t* p = in.data + in.pos;
    const void* zero = std::memchr(p, 0, avail);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - p) : avail;
    destination.assign(reinterpret_cast<const char*>(p), std::min(length, kMaxNameLength));
    in.pos += zero ? length + 1 : length;
    if (!zero && end > in.size) in.readFailed(1, end);
}

void ThreeDsReader::readVertexList(Cursor& in, std::size_t end, MeshObject& object) {
    std::uint16_t count = 0;
    if (!in.readU16(count, end)) return;
    const std::size_t n = in.fitting(count, kVertexSize, end);
    const std::uint8_t* p = in.takeEntries(n, kVertexSize, count, end);
    const std::size_t first = object.vertices.size();
    object.vertices.resize(first + n);
    ObjectVertex* out = object.vertices.data() + first;
    for (std::size_t i = 0; i < n; ++i, p += kVertexSize) {
        out[i].x = loadF32(p);
        out[i].y = loadF32(p + 4);
        out[i].z = loadF32(p + 8);
    }
}

std::uint16_t ThreeDsReader::readFaceList(Cursor& in, std::size_t end, MeshObject& object) {
    std::uint16_t count = 0;
    if (!in.readU16(count, end)) return 0;
    const std::size_t n = in.fitting(count, kFaceSize, end);
    const std::uint8_t* p = in.takeEntries(n, kFaceSize, count, end);
    const std::size_t first = object.faces.size();
    object.faces.resize(first + n);
    ObjectFace* out = object.faces.data() + first;
    for (std::size_t i = 0; i < n; ++i, p += kFaceSize) {
        ObjectFace& f = out[i];
        f.a = loadU16(p);
        f.b = loadU16(p + 2);
        f.c = loadU16(p + 4);
        f.flags = loadU16(p + 6);
        if (f.flags == kSwappedCornersFlags) std::swap(f.b, f.c);
    }
    return static_cast<std::uint16_t>(n);
}

void ThreeDsReader::readFaceGroup(Cursor& in, std::size_t end, MeshObject& object) {
    std::string name;
    readName(in, end, name);
    object.faceGroups.emplace_back();
    FaceGroup& group = object.faceGroups.back();
    group.materialName = std::move(name);
    std::uint16_t count = 0;
    if (!in.readU16(count, end)) return;
    const std::size_t n = in.fitting(count, kFaceIndexSize, end);
    const std::uint8_t* p = in.takeEntries(n, kFaceIndexSize, count, end);
    group.faceIndices.resize(n);
    for (std::size_t i = 0; i < n; ++i) group.faceIndices[i] = loadU16(p + kFaceIndexSize * i);
}

void ThreeDsReader::readMapCoords(Cursor& in, std::size_t end, MeshObject& object) {
    std::uint16_t count = 0;
    if (!in.readU16(count, end)) return;
    const std::size_t n = in.fitting(count, kMapCoordSize, end);
    const std::uint8_t* p = in.takeEntries(n, kMapCoordSize, count, end);
    // Each entry is appended as (0, 0) and the values go to the same index
    // counted from the start of the list: a second chunk overwrites the first
    // entries and leaves its appended ones at (0, 0).
    object.mapCoords.resize(object.mapCoords.size() + n);
    for (std::size_t i = 0; i < n; ++i, p += kMapCoordSize) {
        object.mapCoords[i].u = loadF32(p);
        object.mapCoords[i].v = loadF32(p + 4);
    }
}

void ThreeDsReader::readLocalMatrix(Cursor& in, std::size_t end, MeshObject& object) {
    if (!in.need(kLocalMatrixSize, end)) return;
    const std::uint8_t* p = in.take(kLocalMatrixSize);
    for (std::size_t i = 0; i < 12; ++i) object.localMatrix[i] = loadF32(p + 4 * i);
    object.hasLocalMatrix = true;
}

void ThreeDsReader::addDefaultGroup(MeshObject& object, std::uint16_t faceCount) {
    FaceGroup group;
    group.materialName = kDefaultMaterialName;
    group.faceIndices.resize(faceCount);
    for (std::uint16_t i = 0; i < faceCount; ++i) group.faceIndices[i] = i;
    object.faceGroups.push_back(std::move(group));
}

void ThreeDsReader::readMaterialChunk(Cursor& in, std::size_t end, ParsedScene& scene) {
    scene.materialDefs.emplace_back();
    MaterialDef& material = scene.materialDefs.back();
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        switch (id) {
            case kMaterialName: readName(in, chunkEnd, material.name); break;
            case kAmbient: readColourChunk(in, chunkEnd, material.ambient); break;
            case kDiffuse: readColourChunk(in, chunkEnd, material.diffuse); break;
            case kSpecular: readColourChunk(in, chunkEnd, material.specular); break;
            case kTransparency: readPercentChunk(in, chunkEnd, material.alpha); break;
            case kTwoSided: material.twoSided = true; return false;  // nothing to read
            case kTextureMap: readTextureMapChunk(in, chunkEnd, material.textureFile); break;
            default: return false;
        }
        return true;
    });
}

void ThreeDsReader::readColourChunk(Cursor& in, std::size_t end, std::array<float, 3>& colour) {
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        if (id == kColourFloat) {
            if (in.need(kFloatColourSize, chunkEnd)) {
                const std::uint8_t* p = in.take(kFloatColourSize);
                colour = {loadF32(p), loadF32(p + 4), loadF32(p + 8)};
            }
            return true;
        }
        if (id == kColour24) {
            if (in.need(kByteColourSize, chunkEnd)) {
                const std::uint8_t* p = in.take(kByteColourSize);
                colour = {p[0] * kByteColourScale, p[1] * kByteColourScale, p[2] * kByteColourScale};
            }
            return true;
        }
        return false;
    });
}

void ThreeDsReader::readPercentChunk(Cursor& in, std::size_t end, float& value) {
    // Without a percentage sub-chunk the transparency counts as 0 %.
    std::uint16_t percent = 0;
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        if (id != kPercentInt) return false;
        in.readU16(percent, chunkEnd);
        return true;
    });
    const double fraction = percent * 0.01;
    value = fraction < 0.01 ? 1.0f : static_cast<float>(fraction);
}

void ThreeDsReader::readTextureMapChunk(Cursor& in, std::size_t end, std::string& fileName) {
    walk(in, end, [&](std::uint16_t id, std::size_t chunkEnd) {
        if (id != kMapFileName) return false;
        readName(in, chunkEnd, fileName);
        return true;
    });
}

}  // namespace velmora
