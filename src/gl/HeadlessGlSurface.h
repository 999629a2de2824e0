#pragma once
// An off-screen OpenGL surface: an EGL context on Mesa's surfaceless platform
// (desktop OpenGL, compatibility profile) drawing into a framebuffer object
// with RGBA8 colour and a 24-bit depth buffer. No display or window system
// is needed.

#include "gl/GlSurface.h"
#include "platform/Result.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class HeadlessGlSurface : public GlSurface {
public:
    // Creates the context and a framebuffer of the given size and makes it
    // current. A failure says why in a sentence a person can act on.
    static Result<std::unique_ptr<HeadlessGlSurface>> create(int width, int height);

    ~HeadlessGlSurface() override;
    HeadlessGlSurface(const HeadlessGlSurface&) = delete;
    HeadlessGlSurface& operator=(const HeadlessGlSurface&) = delete;

    bool makeCurrent() override;
    void swapBuffers() override;
    int colourBits() const override { return 32; }
    int width() const override { return width_; }
    int height() const override { return height_; }

    // Replaces the framebuffer with one of the new size (contents undefined).
    Result<void> resize(int width, int height);
    // The largest width and height a framebuffer may have here.
    int maxSize() const { return maxSize_; }

    // Read-back of the whole framebuffer, bottom row first.
    std::vector<std::uint8_t> readRgba() const;
    std::vector<float> readDepth() const;

    // "OpenGL 4.5 (Compatibility Profile) Mesa 22.3.6" and the renderer name.
    std::string description() const;

private:
    struct Egl;
    HeadlessGlSurface();
    Result<void> createFramebuffer(int width, int height);
    void destroyFramebuffer();

    std::unique_ptr<Egl> egl_;
    unsigned framebuffer_ = 0;
    unsigned colourBuffer_ = 0;
    unsigned depthBuffer_ = 0;
    int width_ = 0;
    int height_ = 0;
    int maxSize_ = 0;
};

}  // namespace velmora
