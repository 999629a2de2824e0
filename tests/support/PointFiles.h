#pragma once
// Readers of the point files the exporters write: CGH text, the 3di grid and PLY.

#include "support/TempDir.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace velmora::testing {

struct Point {
    double x = 0, y = 0, z = 0, phase = 0;
    int r = 0, g = 0, b = 0;
};

// A CGH file's lines (CR LF removed) and the points among them: "index x y z phase r g b".
struct CghFile {
    std::vector<std::string> lines;
    std::vector<Point> points;
};
inline CghFile readCgh(const std::string& path) {
    CghFile f;
    std::istringstream in(fileText(path));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        f.lines.push_back(line);
        Point p;
        int index = 0;
        if (std::sscanf(line.c_str(), "%d %lf %lf %lf %lf %d %d %d", &index, &p.x, &p.y, &p.z, &p.phase, &p.r, &p.g,
                        &p.b) == 8)
            f.points.push_back(p);
    }
    return f;
}

// The 3di grid: int32 rows and columns, then records of three doubles and a float grey.
struct ThreeDiGrid {
    std::int32_t rows = 0, columns = 0;
    std::vector<Point> records;  // the grey in `phase`
};
inline ThreeDiGrid readThreeDi(const std::string& path) {
    const Bytes b = fileBytes(path);
    ThreeDiGrid g;
    if (b.size() < 8) return g;
    std::memcpy(&g.rows, b.data(), 4), std::memcpy(&g.columns, b.data() + 4, 4);
    for (std::size_t at = 8; at + 28 <= b.size(); at += 28) {
        Point p;
        float grey;
        std::memcpy(&p.x, &b[at], 8), std::memcpy(&p.y, &b[at + 8], 8), std::memcpy(&p.z, &b[at + 16], 8);
        std::memcpy(&grey, &b[at + 24], 4);
        p.phase = grey;
        g.records.push_back(p);
    }
    return g;
}

// A PLY file's header lines and vertices, ASCII or binary little-endian
// (x y z as float, red green blue as uchar, phase as float).
struct PlyFile {
    std::vector<std::string> header;
    std::vector<Point> vertices;
};
inline PlyFile readPly(const std::string& path) {
    const std::string text = fileText(path);
    PlyFile f;
    std::istringstream in(text);
    std::size_t count = 0;
    for (std::string line; std::getline(in, line) && f.header.emplace_back(line) != "end_header";)
        std::sscanf(line.c_str(), "element vertex %zu", &count);
    const bool ascii = f.header.size() > 1 && f.header[1] == "format ascii 1.0";
    if (ascii) in.ignore(1 << 20, '\n');  // the colour element's one line
    auto at = static_cast<std::size_t>(in.tellg());
    for (std::size_t i = 0; i < count && in; ++i) {
        Point p;
        if (ascii) {
            in >> p.x >> p.y >> p.z >> p.r >> p.g >> p.b >> p.phase;
        } else if (at + 19 <= text.size()) {
            float v[4];
            std::memcpy(v, &text[at], 12), std::memcpy(&v[3], &text[at + 15], 4);
            p.x = v[0], p.y = v[1], p.z = v[2], p.phase = v[3];
            p.r = std::uint8_t(text[at + 12]), p.g = std::uint8_t(text[at + 13]), p.b = std::uint8_t(text[at + 14]);
            at += 19;
        } else {
            break;
        }
        if (in) f.vertices.push_back(p);
    }
    return f;
}

}  // namespace velmora::testing
