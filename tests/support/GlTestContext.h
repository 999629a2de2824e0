#pragma once
// A headless OpenGL surface for tests; a test without one fails with the reason.

#include "gl/HeadlessGlSurface.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velmora::testing {

inline std::unique_ptr<HeadlessGlSurface> makeHeadlessSurface(int width, int height) {
    auto surface = HeadlessGlSurface::create(width, height);
    if (!surface) {
        ADD_FAILURE() << "no headless OpenGL: " << surface.error();
        return nullptr;
    }
    return std::move(*surface);
}

}  // namespace velmora::testing
