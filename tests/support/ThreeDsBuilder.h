#pragma once
// Builds .3ds files byte by byte for tests and tools: chunks with their ids,
// lengths (computed, or forced to a wrong value), names and counts.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

using Bytes = std::vector<std::uint8_t>;

class Chunk {
public:
    explicit Chunk(std::uint16_t id) : id_(id) {}

    Chunk& u8(std::uint8_t v) {
        data_.push_back(v);
        return *this;
    }
    Chunk& u16(std::uint16_t v) {
        data_.push_back(static_cast<std::uint8_t>(v));
        data_.push_back(static_cast<std::uint8_t>(v >> 8));
        return *this;
    }
    Chunk& u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) data_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    Chunk& f32(float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        return u32(bits);
    }
    // A zero-terminated name.
    Chunk& name(const std::string& s) {
        data_.insert(data_.end(), s.begin(), s.end());
        data_.push_back(0);
        return *this;
    }
    Chunk& raw(const Bytes& b) {
        data_.insert(data_.end(), b.begin(), b.end());
        return *this;
    }
    Chunk& add(const Chunk& child) { return raw(child.bytes()); }
    // Writes this length into the header instead of the real one.
    Chunk& forceLength(std::uint32_t length) {
        forcedLength_ = length;
        return *this;
    }

    Bytes bytes() const {
        Bytes out;
        const auto length = forcedLength_.value_or(static_cast<std::uint32_t>(6 + data_.size()));
        out.push_back(static_cast<std::uint8_t>(id_));
        out.push_back(static_cast<std::uint8_t>(id_ >> 8));
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
        out.insert(out.end(), data_.begin(), data_.end());
        return out;
    }

private:
    std::uint16_t id_;
    Bytes data_;
    std::optional<std::uint32_t> forcedLength_;
};

struct Vec3 {
    float x, y, z;
};
struct Face {
    std::uint16_t a, b, c, flags = 0;
};

inline Chunk vertexList(const std::vector<Vec3>& vertices) {
    Chunk c(0x4110);
    c.u16(static_cast<std::uint16_t>(vertices.size()));
    for (const auto& v : vertices) c.f32(v.x).f32(v.y).f32(v.z);
    return c;
}

// Face entries; `trailing` sub-chunks (face groups, smoothing groups) follow
// the entries inside the face list chunk, as in real files.
inline Chunk faceList(const std::vector<Face>& faces, const std::vector<Chunk>& trailing = {}) {
    Chunk c(0x4120);
    c.u16(static_cast<std::uint16_t>(faces.size()));
    for (const auto& f : faces) c.u16(f.a).u16(f.b).u16(f.c).u16(f.flags);
    for (const auto& t : trailing) c.add(t);
    return c;
}

inline Chunk faceGroup(const std::string& material, const std::vector<std::uint16_t>& faces) {
    Chunk c(0x4130);
    c.name(material).u16(static_cast<std::uint16_t>(faces.size()));
    for (auto f : faces) c.u16(f);
    return c;
}

inline Chunk smoothingGroups(std::size_t faceCount) {
    Chunk c(0x4150);
    for (std::size_t i = 0; i < faceCount; ++i) c.u32(1);
    return c;
}

inline Chunk mapCoords(const std::vector<std::pair<float, float>>& uv) {
    Chunk c(0x4140);
    c.u16(static_cast<std::uint16_t>(uv.size()));
    for (const auto& p : uv) c.f32(p.first).f32(p.second);
    return c;
}

inline Chunk localMatrix(const std::array<float, 12>& m) {
    Chunk c(0x4160);
    for (float f : m) c.f32(f);
    return c;
}

inline Chunk mesh(const std::vector<Chunk>& children) {
    Chunk c(0x4100);
    for (const auto& ch : children) c.add(ch);
    return c;
}

inline Chunk object(const std::string& name, const std::vector<Chunk>& children) {
    Chunk c(0x4000);
    c.name(name);
    for (const auto& ch : children) c.add(ch);
    return c;
}

inline Chunk colour24(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    Chunk c(0x0011);
    c.u8(r).u8(g).u8(b);
    return c;
}

inline Chunk colourFloat(float r, float g, float b) {
    Chunk c(0x0010);
    c.f32(r).f32(g).f32(b);
    return c;
}

// An ambient (0xA010), diffuse (0xA020) or specular (0xA030) block.
inline Chunk colourBlock(std::uint16_t id, const std::vector<Chunk>& children) {
    Chunk c(id);
    for (const auto& ch : children) c.add(ch);
    return c;
}

inline Chunk percent(std::uint16_t p) {
    Chunk c(0x0030);
    c.u16(p);
    return c;
}

inline Chunk transparency(const std::vector<Chunk>& children) {
    Chunk c(0xA050);
    for (const auto& ch : children) c.add(ch);
    return c;
}

inline Chunk materialName(const std::string& name) {
    Chunk c(0xA000);
    c.name(name);
    return c;
}

inline Chunk twoSided() { return Chunk(0xA081); }

inline Chunk textureMap(const std::string& file) {
    Chunk c(0xA200);
    c.add(percent(100));
    Chunk name(0xA300);
    name.name(file);
    c.add(name);
    return c;
}

inline Chunk material(const std::vector<Chunk>& children) {
    Chunk c(0xAFFF);
    for (const auto& ch : children) c.add(ch);
    return c;
}

// A material with a name and 24-bit ambient, diffuse and specular colours.
inline Chunk simpleMaterial(const std::string& name, std::array<std::uint8_t, 3> ambient,
                            std::array<std::uint8_t, 3> diffuse, std::array<std::uint8_t, 3> specular,
                            const std::vector<Chunk>& more = {}) {
    std::vector<Chunk> children{materialName(name),
                                colourBlock(0xA010, {colour24(ambient[0], ambient[1], ambient[2])}),
                                colourBlock(0xA020, {colour24(diffuse[0], diffuse[1], diffuse[2])}),
                                colourBlock(0xA030, {colour24(specular[0], specular[1], specular[2])})};
    children.insert(children.end(), more.begin(), more.end());
    return material(children);
}

inline Chunk editor(const std::vector<Chunk>& children) {
    Chunk c(0x3D3D);
    c.add(Chunk(0x3D3E).u32(3));  // mesh version, skipped by readers
    for (const auto& ch : children) c.add(ch);
    return c;
}

inline Bytes model(const std::vector<Chunk>& editorChildren, const std::vector<Chunk>& mainExtras = {}) {
    Chunk m(0x4D4D);
    m.add(Chunk(0x0002).u32(3));  // file version
    m.add(editor(editorChildren));
    for (const auto& ch : mainExtras) m.add(ch);
    return m.bytes();
}

inline bool writeFile(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace velmora::testing
