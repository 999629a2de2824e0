#include "export/SampledFrame.h"

#include <GL/glu.h>

#include <algorithm>

namespace velmora {

SampledFrame::SampledFrame(const ClientRect& rect, std::vector<float> depth, std::vector<std::uint8_t> colour,
                           const std::array<double, 16>& modelview, const std::array<double, 16>& projection,
                           const std::array<int, 4>& viewport)
    : rows_(std::max(rect.height(), 0)),
      columns_(std::max(rect.sampledWidth(), 0)),
      depth_(std::move(depth)),
      colour_(std::move(colour)),
      modelview_(modelview),
      projection_(projection),
      viewport_(viewport) {
    // Never walk past what was handed in.
    const std::size_t pixels = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    if (depth_.size() < pixels) depth_.resize(pixels, 0.0f);
    if (colour_.size() < pixels * 3) colour_.resize(pixels * 3, 0);
}

bool SampledFrame::unproject(double windowX, double windowY, double depth, double& x, double& y, double& z) const {
    return gluUnProject(windowX, windowY, depth, modelview_.data(), projection_.data(), viewport_.data(), &x, &y,
                        &z) == GL_TRUE;
}

}  // namespace velmora
