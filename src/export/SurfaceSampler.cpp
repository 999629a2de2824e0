#include "export/SurfaceSampler.h"

#include "model/GlErrorReporter.h"

#include <GL/gl.h>

#include <algorithm>

namespace velmora {

SampledFrame SurfaceSampler::sample(const ClientRect& rect, Prompt& prompt) {
    const int width = std::max(rect.width(), 0);
    const int height = std::max(rect.height(), 0);
    const int columns = std::max(rect.sampledWidth(), 0);
    const std::size_t area = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<float> depth(area, 0.0f);
    std::vector<std::uint8_t> colour(area * 3, 0);

    std::array<double, 16> modelview{};
    std::array<double, 16> projection{};
    std::array<int, 4> viewport{};
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview.data());
    glGetDoublev(GL_PROJECTION_MATRIX, projection.data());
    glGetIntegerv(GL_VIEWPORT, viewport.data());

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
    return SampledFrame(rect, std::move(depth), std::move(colour), modelview, projection, viewport);
}

}  // namespace velmora
