#include "view/ModelFit.h"

#include "view/GlView.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

constexpr double kDegree = 3.14159265358979323846 / 180.0;

struct Sphere {
    double x = 0, y = 0, z = 0, radius = 0;
};

// Centred on the vertices' bounding box, reaching the farthest vertex.
Sphere boundingSphere(const std::vector<ModelVertex>& vertices) {
    double low[3] = {vertices[0].x, vertices[0].y, vertices[0].z};
    double high[3] = {low[0], low[1], low[2]};
    for (const ModelVertex& v : vertices) {
        const double p[3] = {v.x, v.y, v.z};
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    }
    Sphere s{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2, 0.0};
    for (const ModelVertex& v : vertices)
        s.radius = std::max(s.radius, std::hypot(v.x - s.x, v.y - s.y, v.z - s.z));
    return s;
}

// The view's order: scale, translate, rotate about x, rotate about y, so a
// point is turned about y first and scaled last.
Sphere placed(Sphere s, const ViewerState& t) {
    const double b = t.modelRotY * kDegree, a = t.modelRotX * kDegree;
    const double x = s.x * std::cos(b) + s.z * std::sin(b);
    const double z = -s.x * std::sin(b) + s.z * std::cos(b);
    const double y = s.y * std::cos(a) - z * std::sin(a);
    const double z2 = s.y * std::sin(a) + z * std::cos(a);
    const double scale = t.modelScale;
    return {scale * (x + t.modelOffsetX), scale * (y + t.modelOffsetY), scale * (z2 + t.modelOffsetZ),
            std::abs(scale) * s.radius};
}

}  // namespace

std::array<float, 3> fittedEye(const std::vector<ModelVertex>& vertices, const ViewerState& transform,
                               const std::array<float, 3>& eye, float aspectRatio) {
    if (vertices.empty()) return eye;
    const Sphere s = placed(boundingSphere(vertices), transform);
    // The camera looks at the origin: a sphere about the origin that holds
    // the model's sphere fits wherever the model was moved.
    const double reach = std::hypot(s.x, s.y, s.z) + s.radius;
    const double halfTan = std::tan(GlView::kFieldOfViewY / 2 * kDegree);
    const double halfAngle = std::atan(std::min(1.0, static_cast<double>(aspectRatio)) * halfTan);
    const double distance = std::max(kFitMargin * reach / std::sin(halfAngle), reach + GlView::kNearPlane);
    const double length = std::hypot(eye[0], eye[1], eye[2]);
    std::array<double, 3> direction{0.0, 0.0, 1.0};
    if (length > 0) direction = {eye[0] / length, eye[1] / length, eye[2] / length};
    return {static_cast<float>(direction[0] * distance), static_cast<float>(direction[1] * distance),
            static_cast<float>(direction[2] * distance)};
}

}  // namespace velmora
