#pragma once
// A drawing surface with an OpenGL context: the Qt window's client area in
// the desktop program, an off-screen framebuffer headless.

namespace velmora {

class GlSurface {
public:
    virtual ~GlSurface() = default;

    // Makes the surface's context current on this thread; draws then go to
    // the surface's framebuffer and read-backs come from it.
    virtual bool makeCurrent() = 0;
    // Shows what was drawn (a flush for an off-screen surface).
    virtual void swapBuffers() = 0;
    // Colour bits per pixel of the surface (planes × bits).
    virtual int colourBits() const = 0;
    // The client area in pixels.
    virtual int width() const = 0;
    virtual int height() const = 0;
};

}  // namespace velmora
