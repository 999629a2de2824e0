#pragma once
// Helpers for the interoperability tests: a file image written back as .3ds
// bytes (so an imported model can be opened by the view while it reads .3ds
// files), PNG files made with libpng, base64 for glTF data URIs, the points
// of a CGH file, and running a Python snippet.

#include "export/ExportTestSupport.h"
#include "model/ParsedScene.h"
#include "support/ThreeDsBuilder.h"

#include <png.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velmora::testing {

// The .3ds file of a file image. Texture files are copied beside `path`
// under short names (a .3ds name holds at most 16 characters).
inline bool writeSceneAs3ds(const ParsedScene& scene, const std::string& path) {
    namespace fs = std::filesystem;
    std::vector<Chunk> editorChildren;
    int textureCount = 0;
    for (const MaterialDef& m : scene.materialDefs) {
        std::vector<Chunk> children{materialName(m.name),
                                    colourBlock(0xA010, {colourFloat(m.ambient[0], m.ambient[1], m.ambient[2])}),
                                    colourBlock(0xA020, {colourFloat(m.diffuse[0], m.diffuse[1], m.diffuse[2])}),
                                    colourBlock(0xA030, {colourFloat(m.specular[0], m.specular[1], m.specular[2])})};
        if (m.alpha != 1.0f)
            children.push_back(transparency({percent(static_cast<std::uint16_t>(std::lround(m.alpha * 100)))}));
        if (m.twoSided) children.push_back(twoSided());
        if (!m.textureFile.empty()) {
            std::string source = m.textureFile;
            for (char& c : source)
                if (c == '\\') c = '/';
            const std::string name = "t" + std::to_string(++textureCount) + fs::path(source).extension().string();
            std::error_code ec;
            fs::copy_file(source, fs::path(path).parent_path() / name, fs::copy_options::overwrite_existing, ec);
            children.push_back(textureMap(name));
        }
        editorChildren.push_back(material(children));
    }
    for (const MeshObject& o : scene.objects) {
        std::vector<Vec3> vertices;
        for (const auto& v : o.vertices) vertices.push_back({v.x, v.y, v.z});
        std::vector<Face> faces;
        for (const auto& f : o.faces) faces.push_back({f.a, f.b, f.c, f.flags});
        std::vector<Chunk> groups;
        for (const auto& g : o.faceGroups) groups.push_back(faceGroup(g.materialName, g.faceIndices));
        std::vector<Chunk> meshChildren{vertexList(vertices), faceList(faces, groups)};
        if (!o.mapCoords.empty()) {
            std::vector<std::pair<float, float>> uv;
            for (const auto& c : o.mapCoords) uv.emplace_back(c.u, c.v);
            meshChildren.push_back(mapCoords(uv));
        }
        editorChildren.push_back(object(o.name, {mesh(meshChildren)}));
    }
    return writeFile(path, model(editorChildren));
}

// An 8-bit RGBA PNG; `rgba` holds the rows top row first, as PNG stores them.
inline bool writePngRgba(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const bool ok = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

inline Bytes readBytes(const std::string& path) {
    const std::string bytes = readAll(path);
    return Bytes(bytes.begin(), bytes.end());
}

// The point lines of a CGH file: index, x, y, z, phase, red, green, blue.
struct CghPoint {
    int index;
    double x, y, z, phase, r, g, b;
};
inline std::vector<CghPoint> cghPoints(const std::string& path) {
    const auto lines = crlfLines(readAll(path));
    std::vector<CghPoint> points;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        CghPoint p{};
        EXPECT_EQ(std::sscanf(lines[i].c_str(), "%d %lf %lf %lf %lf %lf %lf %lf", &p.index, &p.x, &p.y, &p.z,
                              &p.phase, &p.r, &p.g, &p.b),
                  8);
        points.push_back(p);
    }
    return points;
}

inline std::string base64(const void* data, std::size_t size) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::string out;
    for (std::size_t i = 0; i < size; i += 3) {
        const std::uint32_t n = (bytes[i] << 16) | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                                (i + 2 < size ? bytes[i + 2] : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += i + 1 < size ? kAlphabet[(n >> 6) & 63] : '=';
        out += i + 2 < size ? kAlphabet[n & 63] : '=';
    }
    return out;
}

// Runs the system's Python 3 on `script`; its standard output, or nothing
// when it could not run or failed.
inline std::optional<std::string> runPython(const std::string& script, const std::string& scriptPath) {
    writeText(scriptPath, script);
    const std::string out = scriptPath + ".out";
    if (std::system(("/usr/bin/python3 " + scriptPath + " >" + out + " 2>/dev/null").c_str()) != 0) return std::nullopt;
    return readAll(out);
}

}  // namespace velmora::testing
