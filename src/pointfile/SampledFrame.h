#pragma once
// One sampling pass over a drawn frame as plain data: the read-back depth
// and colour of the client area with the matrices and viewport in force,
// walked pixel by pixel. Every pixel of the sampled grid is presented in read-back order (bottom row
// first, left to right) either as an accepted point or as an empty pixel, so
// writers can emit each one as it comes and nothing holds a list of points.

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace velmora {

// The client area of the window, as the window system gives it.
struct ClientRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static ClientRect ofSize(int width, int height) { return {0, 0, width, height}; }
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    // The width actually read and visited: the width truncated to a multiple of 4.
    int sampledWidth() const { return width() / 4 * 4; }
};

// An accepted pixel.
struct SurfacePoint {
    int column = 0;  // 0 .. sampled width - 1, left to right
    int row = 0;     // 0 = bottom row of the window
    double x = 0;    // the unprojected world x with its sign inverted
    double y = 0;
    double z = 0;
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// The bounds of the accepted points in single precision (x after its sign
// inversion). All zero while no point has been accepted.
struct SampleBounds {
    float maxX = 0, minX = 0, maxY = 0, minY = 0, maxZ = 0, minZ = 0;
};

// The count and bounds of a pass, gathered in pixel order: the first point
// sets all six bounds, later ones raise a maximum or else lower a minimum.
struct SampleSummary {
    int pointCount = 0;
    SampleBounds bounds;

    void add(double x, double y, double z) {
        if (pointCount == 0) {
            bounds.maxX = bounds.minX = static_cast<float>(x);
            bounds.maxY = bounds.minY = static_cast<float>(y);
            bounds.maxZ = bounds.minZ = static_cast<float>(z);
        } else {
            widen(bounds.maxX, bounds.minX, x);
            widen(bounds.maxY, bounds.minY, y);
            widen(bounds.maxZ, bounds.minZ, z);
        }
        ++pointCount;
    }

private:
    static void widen(float& max, float& min, double value) {
        if (max < value)
            max = static_cast<float>(value);
        else if (min > value)
            min = static_cast<float>(value);
    }
};

// The matrices and viewport the frame was drawn with.
struct FrameMatrices {
    std::array<double, 16> modelview{};
    std::array<double, 16> projection{};
    std::array<int, 4> viewport{};
};

// A window position and depth to the world position it shows; false where
// the matrices are singular. The read-back hands in the one the drawing
// library itself uses, so the points are where the frame drew them.
using Unprojection = bool (*)(const FrameMatrices& matrices, double windowX, double windowY, double depth, double& x,
                              double& y, double& z);

class SampledFrame {
public:
    // Points at or below this world z are dropped.
    static constexpr double kZCutoff = -50.0;

    // A frame from buffers already read: `depth` and `colour` hold at least
    // sampledWidth × height entries (one float, three bytes per pixel) as
    // tightly packed rows, bottom row first.
    SampledFrame(const ClientRect& rect, std::vector<float> depth, std::vector<std::uint8_t> colour,
                 const FrameMatrices& matrices, Unprojection unprojection)
        : rows_(std::max(rect.height(), 0)),
          columns_(std::max(rect.sampledWidth(), 0)),
          depth_(std::move(depth)),
          colour_(std::move(colour)),
          matrices_(matrices),
          unprojection_(unprojection) {
        // Never walk past what was handed in.
        const std::size_t pixels = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
        if (depth_.size() < pixels) depth_.resize(pixels, 0.0f);
        if (colour_.size() < pixels * 3) colour_.resize(pixels * 3, 0);
    }

    int rows() const { return rows_; }
    int columns() const { return columns_; }
    const std::vector<float>& depth() const { return depth_; }
    const std::vector<std::uint8_t>& colour() const { return colour_; }

    // Walks every pixel once. onPoint(const SurfacePoint&, int index) gets the
    // accepted points with consecutive indices from 0; onEmpty(column, row)
    // the others. Returns the count and bounds.
    template <class OnPoint, class OnEmpty>
    SampleSummary walk(OnPoint&& onPoint, OnEmpty&& onEmpty) const;
    template <class OnPoint>
    SampleSummary walk(OnPoint&& onPoint) const {
        return walk(onPoint, [](int, int) {});
    }
    // Count and bounds only: no phase drawn, nothing written.
    SampleSummary summarize() const {
        return walk([](const SurfacePoint&, int) {});
    }

private:
    int rows_ = 0;
    int columns_ = 0;
    std::vector<float> depth_;
    std::vector<std::uint8_t> colour_;
    FrameMatrices matrices_;
    Unprojection unprojection_;
};

template <class OnPoint, class OnEmpty>
SampleSummary SampledFrame::walk(OnPoint&& onPoint, OnEmpty&& onEmpty) const {
    SampleSummary summary;
    const float* depth = depth_.data();
    const std::uint8_t* colour = colour_.data();
    SurfacePoint point;
    for (int row = 0; row < rows_; ++row) {
        for (int column = 0; column < columns_; ++column, ++depth, colour += 3) {
            if (colour[0] == 0 && colour[1] == 0 && colour[2] == 0) {
                onEmpty(column, row);
                continue;
            }
            double ox = 0, oy = 0, oz = 0;
            // A singular matrix leaves the pixel without a position: it is
            // treated as background.
            if (!unprojection_(matrices_, column + 0.5, row + 0.5, *depth, ox, oy, oz) || kZCutoff >= oz) {
                onEmpty(column, row);
                continue;
            }
            point.column = column;
            point.row = row;
            point.x = -ox;
            point.y = oy;
            point.z = oz;
            point.red = colour[0];
            point.green = colour[1];
            point.blue = colour[2];
            const int index = summary.pointCount;
            summary.add(point.x, point.y, point.z);
            onPoint(static_cast<const SurfacePoint&>(point), index);
        }
    }
    return summary;
}

}  // namespace velmora
