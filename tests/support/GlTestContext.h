#pragma once
// A headless OpenGL surface for tests; skips the test when none can be made.

#include "platform/HeadlessGlSurface.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velmora::testing {

// Use as: auto gl = makeHeadlessSurface(64, 64); if (!gl) return;
// (GTEST_SKIP has been issued with the reason.)
inline std::unique_ptr<HeadlessGlSurface> makeHeadlessSurface(int width, int height) {
    std::string error;
    auto surface = HeadlessGlSurface::create(width, height, error);
    if (!surface) ADD_FAILURE() << "no headless OpenGL: " << error;
    return surface;
}

}  // namespace velmora::testing
