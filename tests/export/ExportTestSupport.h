#pragma once
// Frames from hand-made read-back buffers. With identity matrices a pixel unprojects through the
// viewport alone: x = 2 (column + 0.5 - vx) / vw - 1, y likewise, z = 2 depth - 1.

#include "export/SampledFrame.h"

namespace velmora::testing {

struct FrameBuilder {
    int width, height;
    std::array<int, 4> viewport{0, 0, width, height};
    std::array<double, 16> modelview{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<float> depth = std::vector<float>(std::size_t(width / 4 * 4 * height));
    std::vector<std::uint8_t> colour = std::vector<std::uint8_t>(depth.size() * 3);

    void set(int column, int row, std::uint8_t r, std::uint8_t g, std::uint8_t b, float d) {
        const std::size_t i = std::size_t(row * (width / 4 * 4) + column);
        depth[i] = d, colour[i * 3] = r, colour[i * 3 + 1] = g, colour[i * 3 + 2] = b;
    }
    SampledFrame frame() const {
        const std::array<double, 16> identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        return SampledFrame(ClientRect::ofSize(width, height), depth, colour, modelview, identity, viewport);
    }
};

}  // namespace velmora::testing
