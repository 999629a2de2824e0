// Per-vertex face lists and crease-aware smoothed vertex normals.

#include "model/MeshModel.h"

#include <algorithm>
#include <cmath>

namespace velmora {

bool MeshModel::prepareGeometry() {
    buildFaceLists();
    computeVertexNormals();
    return compileDisplayList();
}

void MeshModel::buildFaceLists() {
    // Material by material, face by face, corner 0, 1, 2: each vertex's list
    // starts with its reference face.
    vertexFaces_.fill([this](auto&& visit) {
        for (std::size_t m = 0; m < materials_.size(); ++m) {
            const auto& triangles = materials_[m].triangles;
            for (std::size_t t = 0; t < triangles.size(); ++t) {
                const FaceRef face{static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(t)};
                visit(static_cast<std::size_t>(triangles[t].i0), face);
                visit(static_cast<std::size_t>(triangles[t].i1), face);
                visit(static_cast<std::size_t>(triangles[t].i2), face);
            }
        }
    });
}

double MeshModel::cornerWeight(const ModelTriangle& triangle, std::int32_t vertex) const {
    std::int32_t corner, left, right;  // the corner and the two others
    if (triangle.i0 == vertex) {
        corner = triangle.i0, left = triangle.i1, right = triangle.i2;
    } else if (triangle.i1 == vertex) {
        corner = triangle.i1, left = triangle.i2, right = triangle.i0;
    } else if (triangle.i2 == vertex) {
        corner = triangle.i2, left = triangle.i0, right = triangle.i1;
    } else {
        return 0.0;
    }
    const auto distance = [this](std::int32_t from, std::int32_t to) {
        const ModelVertex& p = vertices_[static_cast<std::size_t>(from)];
        const ModelVertex& q = vertices_[static_cast<std::size_t>(to)];
        const double dx = static_cast<double>(q.x) - p.x;
        const double dy = static_cast<double>(q.y) - p.y;
        const double dz = static_cast<double>(q.z) - p.z;
        return std::sqrt(dx * dx + dy * dy + dz * dz);
    };
    const double a = distance(corner, left);
    const double b = distance(corner, right);
    const double c = distance(left, right);
    // Rounding can carry the ratio of a needle-thin corner just past ±1.
    const double ratio = std::clamp((c * c - a * a - b * b) / (2.0 * a * b), -1.0, 1.0);
    return std::acos(ratio);
}

void MeshModel::computeVertexNormals() {
    // The vertex count grows while the loop runs: copies made by splits are
    // processed in their turn.
    for (std::size_t i = 0; i < vertices_.size(); ++i) {
        const auto index = static_cast<std::int32_t>(i);
        float nx = 0, ny = 0, nz = 0;
        float weightSum = 0;
        std::int32_t copy = -1;

        const std::size_t first = vertexFaces_.begin(i);
        const std::size_t count = vertexFaces_.count(i);
        if (count != 0) {
            const ModelTriangle& reference = triangle(vertexFaces_.entry(first));
            const float rx = reference.nx, ry = reference.ny, rz = reference.nz;
            for (std::size_t k = 0; k < count; ++k) {
                const FaceRef face = vertexFaces_.entry(first + k);
                ModelTriangle& f = triangle(face);
                const float d = rx * f.nx + ry * f.ny + rz * f.nz;
                if (d > creaseCosine_) {
                    const double w = cornerWeight(f, index);
                    nx = static_cast<float>(nx + w * f.nx);
                    ny = static_cast<float>(ny + w * f.ny);
                    nz = static_cast<float>(nz + w * f.nz);
                    weightSum = static_cast<float>(weightSum + w);
                } else {
                    // Beyond the crease: every such face goes to one copy of
                    // the vertex, whose own list holds only the first of them.
                    if (copy < 0) {
                        ModelVertex duplicate = vertices_[i];
                        duplicate.nx = nx;
                        duplicate.ny = ny;
                        duplicate.nz = nz;
                        vertices_.push_back(duplicate);
                        vertexFaces_.appendWith(face);
                        copy = static_cast<std::int32_t>(vertices_.size() - 1);
                    }
                    if (f.i0 == index) f.i0 = copy;
                    if (f.i1 == index) f.i1 = copy;
                    if (f.i2 == index) f.i2 = copy;
                }
            }
            if (weightSum != 0.0f) {
                nx /= weightSum;
                ny /= weightSum;
                nz /= weightSum;
            }
        }
        const float lengthSquared = nx * nx + ny * ny + nz * nz;
        if (lengthSquared > 0.0f) {
            const float inverse = 1.0f / std::sqrt(lengthSquared);
            nx *= inverse;
            ny *= inverse;
            nz *= inverse;
        }
        ModelVertex& v = vertices_[i];
        v.nx = nx;
        v.ny = ny;
        v.nz = nz;
    }
}

}  // namespace velmora
