#pragma once
// Frames for the export tests built from hand-made read-back buffers, and
// small file helpers and readers.

#include "export/SampledFrame.h"
#include "platform/RandomGenerator.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velmora::testing {

inline const std::array<double, 16> kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// With identity matrices, unprojection maps window coordinates through the
// viewport alone: x = 2 (wx - vx) / vw - 1, y likewise, z = 2 wz - 1.
struct FrameBuilder {
    int width = 0;
    int height = 0;
    std::array<int, 4> viewport{0, 0, 1, 1};
    std::vector<float> depth;
    std::vector<std::uint8_t> colour;

    FrameBuilder(int w, int h) : width(w), height(h), viewport{0, 0, w, h} {
        const int columns = w / 4 * 4;
        depth.assign(static_cast<std::size_t>(columns) * h, 0.0f);
        colour.assign(static_cast<std::size_t>(columns) * h * 3, 0);
    }
    int columns() const { return width / 4 * 4; }
    void set(int column, int row, std::uint8_t r, std::uint8_t g, std::uint8_t b, float d) {
        const std::size_t i = static_cast<std::size_t>(row) * columns() + column;
        depth[i] = d;
        colour[i * 3] = r;
        colour[i * 3 + 1] = g;
        colour[i * 3 + 2] = b;
    }
    SampledFrame frame() const {
        return SampledFrame(ClientRect::ofSize(width, height), depth, colour, kIdentity, kIdentity, viewport);
    }
};

// A seed whose first draw is `wanted`.
inline std::uint32_t seedForFirstDraw(int wanted) {
    for (std::uint32_t seed = 0;; ++seed) {
        RandomGenerator g;
        g.seed(seed);
        if (g.next() == wanted) return seed;
    }
}

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The lines of a CGH file split at CR LF (the last one has no line end).
inline std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            return lines;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
}

// The 3di grid: two int32 (rows, columns), then 28-byte records of three
// doubles and a float, all little-endian.
inline std::int32_t intAt(const std::string& bytes, std::size_t offset) {
    std::int32_t v;
    std::memcpy(&v, bytes.data() + offset, 4);
    return v;
}

struct GridRecord {
    double x, y, z;
    float grey;
};

inline GridRecord recordAt(const std::string& bytes, std::size_t index) {
    GridRecord r{};
    const char* p = bytes.data() + 8 + 28 * index;
    std::memcpy(&r.x, p, 8);
    std::memcpy(&r.y, p + 8, 8);
    std::memcpy(&r.z, p + 16, 8);
    std::memcpy(&r.grey, p + 24, 4);
    return r;
}

inline int entriesIn(const std::string& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
    return entries;
}

}  // namespace velmora::testing
