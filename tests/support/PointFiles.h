#pragma once
// Readers of the point files the exporters write: CGH text, the 3di grid and PLY.

#include "support/TempDir.h"

#include <cstdio>
#include <cstring>
#include <sstream>

namespace velmora::testing {

struct Point {
    double x = 0, y = 0, z = 0, phase = 0;  // a 3di record's grey in `phase`
    double r = 0, g = 0, b = 0;  // 0..1 in CGH files, 0..255 in PLY files
};

// The lines (line ends removed) and the points among them: "index x y z phase r g b" in CGH files.
struct PointFile {
    std::vector<std::string> lines;
    std::vector<Point> points;
};
inline PointFile readCgh(const std::string& path) {
    PointFile f;
    std::istringstream in(fileText(path));
    Point p;
    int index = 0;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        f.lines.push_back(line);
        if (std::sscanf(line.c_str(), "%d %lf %lf %lf %lf %lf %lf %lf", &index, &p.x, &p.y, &p.z, &p.phase, &p.r, &p.g, &p.b) == 8)
            f.points.push_back(p);
    }
    return f;
}

template <typename T> T load(const std::string& bytes, std::size_t at) {
    T v{};
    if (at + sizeof v <= bytes.size()) std::memcpy(&v, &bytes[at], sizeof v);
    return v;
}

// The 3di grid: int32 rows and columns (as lines[0]), then records of three doubles and a float grey.
inline PointFile readThreeDi(const std::string& path) {
    const std::string b = fileText(path);
    PointFile f{{std::to_string(load<std::int32_t>(b, 0)) + " " + std::to_string(load<std::int32_t>(b, 4))}, {}};
    for (std::size_t at = 8; at + 28 <= b.size(); at += 28)
        f.points.push_back({load<double>(b, at), load<double>(b, at + 8), load<double>(b, at + 16), load<float>(b, at + 24)});
    return f;
}

// A PLY file's header lines and vertices, ASCII (after the colour element's
// one line) or binary little-endian (x y z float, red green blue uchar, phase float).
inline PointFile readPly(const std::string& path) {
    const std::string text = fileText(path);
    PointFile f;
    std::istringstream in(text);
    std::size_t count = 0;
    for (std::string line; std::getline(in, line) && f.lines.emplace_back(line) != "end_header";)
        std::sscanf(line.c_str(), "element vertex %zu", &count);
    const bool ascii = f.lines.size() > 1 && f.lines[1] == "format ascii 1.0";
    if (ascii) in.ignore(1 << 20, '\n');
    for (std::size_t i = 0, at = std::size_t(in.tellg()); i < count && in; ++i, at += 19) {
        Point p{load<float>(text, at), load<float>(text, at + 4), load<float>(text, at + 8), load<float>(text, at + 15),
                double(load<std::uint8_t>(text, at + 12)), double(load<std::uint8_t>(text, at + 13)),
                double(load<std::uint8_t>(text, at + 14))};
        if (ascii) in >> p.x >> p.y >> p.z >> p.r >> p.g >> p.b >> p.phase;
        if (ascii ? bool(in) : at + 19 <= text.size()) f.points.push_back(p);
    }
    return f;
}

}  // namespace velmora::testing
