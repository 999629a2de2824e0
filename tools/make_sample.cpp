// Generates the bundled sample model: samples/sample.3ds with its two
// textures, samples/checker.tga and samples/gradient.jpg.
//
// The scene, in the file's axes (z up): a textured stone plate, a cube with
// red sides and a gold top and bottom, a pyramid with a JPEG texture, and a
// ring whose mesh has no face-material groups (so it gets the default
// material).
//
// Usage: make_sample OUTPUT_FOLDER

#include "support/ThreeDsBuilder.h"

#include <jpeglib.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

using namespace velmora::testing;

namespace {

struct Mesh {
    std::vector<Vec3> vertices;
    std::vector<std::pair<float, float>> uv;
    std::vector<Face> faces;
};

// An axis-aligned box; faces wound counter-clockwise seen from outside.
Mesh box(Vec3 lo, Vec3 hi, float uvRepeat) {
    Mesh m;
    for (int i = 0; i < 8; ++i) {
        const Vec3 v{(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
        m.vertices.push_back(v);
        m.uv.emplace_back((i & 1) ? uvRepeat : 0.0f, (i & 2) ? uvRepeat : 0.0f);
    }
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        m.faces.push_back({static_cast<std::uint16_t>(q[0]), static_cast<std::uint16_t>(q[1]),
                           static_cast<std::uint16_t>(q[2]), 3});
        m.faces.push_back({static_cast<std::uint16_t>(q[0]), static_cast<std::uint16_t>(q[2]),
                           static_cast<std::uint16_t>(q[3]), 6});
    }
    return m;
}

Mesh pyramid(Vec3 centre, float half, float height) {
    Mesh m;
    m.vertices = {{centre.x - half, centre.y - half, centre.z}, {centre.x + half, centre.y - half, centre.z},
                  {centre.x + half, centre.y + half, centre.z}, {centre.x - half, centre.y + half, centre.z},
                  {centre.x, centre.y, centre.z + height}};
    m.uv = {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0.5f, 0.5f}};
    m.faces = {{0, 1, 4}, {1, 2, 4}, {2, 3, 4}, {3, 0, 4}, {0, 2, 1}, {0, 3, 2}};
    return m;
}

// A ring around the y axis.
Mesh ring(Vec3 centre, float major, float minor, int segments, int sides) {
    Mesh m;
    const float twoPi = 6.2831853f;
    for (int i = 0; i < segments; ++i) {
        const float a = twoPi * static_cast<float>(i) / static_cast<float>(segments);
        for (int j = 0; j < sides; ++j) {
            const float b = twoPi * static_cast<float>(j) / static_cast<float>(sides);
            const float r = major + minor * std::cos(b);
            m.vertices.push_back({centre.x + r * std::cos(a), centre.y + minor * std::sin(b),
                                  centre.z + r * std::sin(a)});
        }
    }
    for (int i = 0; i < segments; ++i) {
        for (int j = 0; j < sides; ++j) {
            const auto at = [&](int s, int t) {
                return static_cast<std::uint16_t>(((s + segments) % segments) * sides + (t + sides) % sides);
            };
            m.faces.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1)});
            m.faces.push_back({at(i, j), at(i + 1, j + 1), at(i, j + 1)});
        }
    }
    return m;
}

std::vector<std::uint16_t> range(std::size_t from, std::size_t to) {
    std::vector<std::uint16_t> r;
    for (std::size_t i = from; i < to; ++i) r.push_back(static_cast<std::uint16_t>(i));
    return r;
}

Chunk meshObject(const std::string& name, const Mesh& m, const std::vector<Chunk>& groups) {
    std::vector<Chunk> children{vertexList(m.vertices)};
    if (!m.uv.empty()) children.push_back(mapCoords(m.uv));
    children.push_back(faceList(m.faces, groups));
    return object(name, {mesh(children)});
}

bool writeTga(const std::string& path) {
    const int size = 64;
    std::vector<std::uint8_t> file(18, 0);
    file[2] = 2;  // uncompressed true colour
    file[12] = size;
    file[14] = size;
    file[16] = 24;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool dark = ((x / 8) + (y / 8)) % 2 != 0;
            file.push_back(dark ? 60 : 200);   // blue
            file.push_back(dark ? 80 : 220);   // green
            file.push_back(dark ? 110 : 235);  // red
        }
    }
    return writeFile(path, file);
}

bool writeJpeg(const std::string& path) {
    const int size = 64;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = size;
    info.image_height = size;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 92, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(size * 3);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        for (int x = 0; x < size; ++x) {
            row[x * 3] = static_cast<std::uint8_t>(40 + 3 * x);
            row[x * 3 + 1] = static_cast<std::uint8_t>(60 + 2 * y);
            row[x * 3 + 2] = static_cast<std::uint8_t>(230 - x - y);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];

    const Mesh plate = box({-4, -4, -0.4f}, {4, 4, 0}, 4);
    const Mesh cube = box({-2.8f, -1.0f, 0}, {-0.8f, 1.0f, 2}, 1);
    const Mesh pyr = pyramid({2.0f, 1.2f, 0}, 1.1f, 2.4f);
    const Mesh torus = ring({0.6f, -2.4f, 1.2f}, 0.9f, 0.3f, 24, 12);

    // Cube faces: 0-3 bottom and top, 4-11 the sides (see box()).
    const std::vector<Chunk> objects{
        simpleMaterial("Stone", {90, 90, 90}, {200, 200, 190}, {40, 40, 40}, {textureMap("checker.tga")}),
        simpleMaterial("Red", {120, 20, 20}, {220, 40, 30}, {255, 255, 255}),
        simpleMaterial("Gold", {110, 90, 20}, {230, 190, 60}, {255, 240, 200}),
        simpleMaterial("Blue", {30, 40, 110}, {90, 120, 230}, {200, 200, 255},
                       {transparency({percent(0)}), textureMap("gradient.jpg")}),
        meshObject("Plate", plate, {faceGroup("Stone", range(0, plate.faces.size()))}),
        meshObject("Cube", cube, {faceGroup("Gold", range(0, 4)), faceGroup("Red", range(4, 12))}),
        meshObject("Pyramid", pyr, {faceGroup("Blue", range(0, pyr.faces.size()))}),
        meshObject("Ring", torus, {}),  // no groups: the default material
    };
    const bool ok = writeFile(dir + "/sample.3ds", model(objects)) && writeTga(dir + "/checker.tga") &&
                    writeJpeg(dir + "/gradient.jpg");
    if (!ok) {
        std::fprintf(stderr, "make_sample: cannot write into %s\n", dir.c_str());
        return 1;
    }
    std::printf("make_sample: wrote %s/sample.3ds, checker.tga and gradient.jpg\n", dir.c_str());
    return 0;
}
