#include "export/SurfaceSampler.h"

#include "model/GlErrorReporter.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>

namespace velmora {

namespace {

bool unprojectWithGlu(const FrameMatrices& m, double windowX, double windowY, double depth, double& x, double& y,
                      double& z) {
    return gluUnProject(windowX, windowY, depth, m.modelview.data(), m.projection.data(), m.viewport.data(), &x, &y,
                        &z) == GL_TRUE;
}

}  // namespace

SampledFrame SurfaceSampler::frameOf(const ClientRect& rect, std::vector<float> depth, std::vector<std::uint8_t> colour,
                                     const FrameMatrices& matrices) {
    return SampledFrame(rect, std::move(depth), std::move(colour), matrices, unprojectWithGlu);
}

SampledFrame SurfaceSampler::sample(const ClientRect& rect, Prompt& prompt) {
    const int width = std::max(rect.width(), 0);
    const int height = std::max(rect.height(), 0);
    const int columns = std::max(rect.sampledWidth(), 0);
    const std::size_t area = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<float> depth(area, 0.0f);
    std::vector<std::uint8_t> colour(area * 3, 0);

    FrameMatrices matrices;
    glGetDoublev(GL_MODELVIEW_MATRIX, matrices.modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, matrices.projection.data());
    glGetIntegerv(GL_VIEWPORT, matrices.viewport.data());

    if (columns > 0 && height > 0) {
        // Rows of the read-back are tightly packed whatever pixel-store state
        // the drawing left behind.
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        glReadPixels(0, 0, columns, height, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
        glReadPixels(0, 0, columns, height, GL_RGB, GL_UNSIGNED_BYTE, colour.data());
        glPopClientAttrib();
    }
    reportGlErrors(prompt);
    return frameOf(rect, std::move(depth), std::move(colour), matrices);
}

}  // namespace velmora
