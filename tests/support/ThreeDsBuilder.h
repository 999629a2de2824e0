#pragma once
// Builds .3ds files byte by byte for tests and tools: chunks with their ids,
// lengths (computed, or forced to a wrong value), names and counts.

#include "support/TempDir.h"

#include <array>
#include <cstring>
#include <optional>
#include <utility>

namespace velmora::testing {

class Chunk {
public:
    explicit Chunk(std::uint16_t id) : id_(id) {}

    Chunk& u8(std::uint8_t v) { return raw({v}); }
    Chunk& u16(std::uint16_t v) { return raw({std::uint8_t(v), std::uint8_t(v >> 8)}); }
    Chunk& u32(std::uint32_t v) { return u16(std::uint16_t(v)).u16(std::uint16_t(v >> 16)); }
    Chunk& f32(float f) {
        std::uint32_t bits;
        return std::memcpy(&bits, &f, 4), u32(bits);
    }
    Chunk& name(const std::string& s) { return raw(Bytes(s.begin(), s.end())).u8(0); }  // zero-terminated
    Chunk& raw(const Bytes& b) { return data_.insert(data_.end(), b.begin(), b.end()), *this; }
    Chunk& add(const Chunk& child) { return raw(child.bytes()); }
    Chunk& add(const std::vector<Chunk>& children) {
        for (const auto& c : children) add(c);
        return *this;
    }
    // Writes this length into the header instead of the real one.
    Chunk& forceLength(std::uint32_t length) { return forcedLength_ = length, *this; }

    Bytes bytes() const {
        Chunk header(0);
        return header.u16(id_).u32(forcedLength_.value_or(std::uint32_t(6 + data_.size()))).raw(data_).data_;
    }

private:
    std::uint16_t id_;
    Bytes data_;
    std::optional<std::uint32_t> forcedLength_;
};

struct Vec3 { float x, y, z; };
struct Face { std::uint16_t a, b, c, flags = 0; };

inline Chunk vertexList(const std::vector<Vec3>& vertices) {
    Chunk c = Chunk(0x4110).u16(static_cast<std::uint16_t>(vertices.size()));
    for (const auto& v : vertices) c.f32(v.x).f32(v.y).f32(v.z);
    return c;
}
// Face entries; `trailing` sub-chunks (face groups, smoothing groups) follow
// the entries inside the face list chunk, as in real files.
inline Chunk faceList(const std::vector<Face>& faces, const std::vector<Chunk>& trailing = {}) {
    Chunk c = Chunk(0x4120).u16(static_cast<std::uint16_t>(faces.size()));
    for (const auto& f : faces) c.u16(f.a).u16(f.b).u16(f.c).u16(f.flags);
    return c.add(trailing);
}
inline Chunk faceGroup(const std::string& material, const std::vector<std::uint16_t>& faces) {
    Chunk c = Chunk(0x4130).name(material).u16(static_cast<std::uint16_t>(faces.size()));
    for (auto f : faces) c.u16(f);
    return c;
}
inline Chunk smoothingGroups(std::size_t faceCount) {
    Chunk c(0x4150);
    for (std::size_t i = 0; i < faceCount; ++i) c.u32(1);
    return c;
}
inline Chunk mapCoords(const std::vector<std::pair<float, float>>& uv) {
    Chunk c = Chunk(0x4140).u16(static_cast<std::uint16_t>(uv.size()));
    for (const auto& p : uv) c.f32(p.first).f32(p.second);
    return c;
}
inline Chunk localMatrix(const std::array<float, 12>& m) {
    Chunk c(0x4160);
    for (float f : m) c.f32(f);
    return c;
}
inline Chunk mesh(const std::vector<Chunk>& children) { return Chunk(0x4100).add(children); }
inline Chunk object(const std::string& name, const std::vector<Chunk>& children) {
    return Chunk(0x4000).name(name).add(children);
}

inline Chunk colour24(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Chunk(0x0011).u8(r).u8(g).u8(b); }
inline Chunk colourFloat(float r, float g, float b) { return Chunk(0x0010).f32(r).f32(g).f32(b); }
// An ambient (0xA010), diffuse (0xA020) or specular (0xA030) block.
inline Chunk colourBlock(std::uint16_t id, const std::vector<Chunk>& children) { return Chunk(id).add(children); }
inline Chunk percent(std::uint16_t p) { return Chunk(0x0030).u16(p); }
inline Chunk transparency(const std::vector<Chunk>& children) { return Chunk(0xA050).add(children); }
inline Chunk materialName(const std::string& name) { return Chunk(0xA000).name(name); }
inline Chunk twoSided() { return Chunk(0xA081); }
inline Chunk textureMap(const std::string& file) {
    return Chunk(0xA200).add(percent(100)).add(Chunk(0xA300).name(file));
}
inline Chunk material(const std::vector<Chunk>& children) { return Chunk(0xAFFF).add(children); }

// A material with a name and 24-bit ambient, diffuse and specular colours.
using Rgb24 = std::array<std::uint8_t, 3>;
inline Chunk simpleMaterial(const std::string& name, Rgb24 ambient, Rgb24 diffuse, Rgb24 specular,
                            const std::vector<Chunk>& more = {}) {
    const auto block = [](std::uint16_t id, Rgb24 c) { return colourBlock(id, {colour24(c[0], c[1], c[2])}); };
    return material({materialName(name), block(0xA010, ambient), block(0xA020, diffuse), block(0xA030, specular)}).add(more);
}

// The main chunk with a version, then the editor with a mesh version (both skipped by readers).
inline Bytes model(const std::vector<Chunk>& editorChildren, const std::vector<Chunk>& mainExtras = {}) {
    const Chunk editor = Chunk(0x3D3D).add(Chunk(0x3D3E).u32(3)).add(editorChildren);
    return Chunk(0x4D4D).add(Chunk(0x0002).u32(3)).add(editor).add(mainExtras).bytes();
}

}  // namespace velmora::testing
