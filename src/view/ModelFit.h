#pragma once
// The eye that shows the whole model: moved along its own direction from the
// origin (where the camera looks) until the model's bounding sphere, placed
// by the model transform, fits the smaller field of view with a margin.

#include "model/MeshModel.h"
#include "view/ViewerState.h"

#include <array>
#include <vector>

namespace velmora {

// The room left around the sphere: its radius is 1/kFitMargin of the
// distance at which it would touch the view's edges.
constexpr float kFitMargin = 1.05f;

// `eye` is the current eye, `aspectRatio` width over height of the view.
// Without vertices the eye is returned as it is.
std::array<float, 3> fittedEye(const std::vector<ModelVertex>& vertices, const ViewerState& transform,
                               const std::array<float, 3>& eye, float aspectRatio);

}  // namespace velmora
