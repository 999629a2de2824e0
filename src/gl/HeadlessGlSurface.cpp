#include "gl/HeadlessGlSurface.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace velmora {

namespace {

std::string eglErrorText(const char* step) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s failed (EGL error 0x%04X)", step,
                  static_cast<unsigned>(eglGetError()));
    return buffer;
}

bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    const std::size_t n = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += n) {
        if ((p == list || p[-1] == ' ') && (p[n] == ' ' || p[n] == '\0')) return true;
    }
    return false;
}

// One EGL display per process, shared by every surface and kept initialised
// until the process ends: terminating it while another surface uses it would
// pull that surface's context away, and initialising Mesa again for every
// surface costs more than keeping it.
std::mutex displayMutex;
EGLDisplay sharedDisplay = EGL_NO_DISPLAY;

Result<EGLDisplay> acquireDisplay() {
    std::lock_guard<std::mutex> lock(displayMutex);
    if (sharedDisplay != EGL_NO_DISPLAY) return sharedDisplay;
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        return Result<EGLDisplay>::failure(
            "EGL without Mesa's surfaceless platform: install libegl1 and libgl1-mesa-dri");
    }
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) return Result<EGLDisplay>::failure("EGL lacks eglGetPlatformDisplayEXT");
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) return Result<EGLDisplay>::failure(eglErrorText("eglGetPlatformDisplayEXT"));
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) return Result<EGLDisplay>::failure(eglErrorText("eglInitialize"));
    sharedDisplay = display;
    return display;
}

}  // namespace

struct HeadlessGlSurface::Egl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;

    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    ~Egl() {
        if (context != EGL_NO_CONTEXT) {
            if (eglGetCurrentContext() == context)
                eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display, context);
        }
    }

    template <typename T>
    bool load(T& fn, const char* name) {
        fn = reinterpret_cast<T>(eglGetProcAddress(name));
        return fn != nullptr;
    }
};

HeadlessGlSurface::HeadlessGlSurface() = default;

Result<std::unique_ptr<HeadlessGlSurface>> HeadlessGlSurface::create(int width, int height) {
    using Made = Result<std::unique_ptr<HeadlessGlSurface>>;
    std::unique_ptr<HeadlessGlSurface> surface(new HeadlessGlSurface());
    surface->egl_ = std::make_unique<Egl>();
    Egl& egl = *surface->egl_;

    const auto display = acquireDisplay();
    if (!display) return Made::failure(display.error());
    egl.display = *display;

    if (!hasExtension(eglQueryString(egl.display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context"))
        return Made::failure("EGL display cannot make a context current without a surface");
    if (!eglBindAPI(EGL_OPENGL_API)) return Made::failure(eglErrorText("eglBindAPI(EGL_OPENGL_API)"));
    // Surfaceless displays offer pbuffer configurations only; the surface
    // type's default (window) would match none of them.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(egl.display, configAttributes, &config, 1, &configCount) || configCount < 1)
        return Made::failure("no EGL configuration supports desktop OpenGL");
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    egl.context = eglCreateContext(egl.display, config, EGL_NO_CONTEXT, contextAttributes);
    if (egl.context == EGL_NO_CONTEXT) return Made::failure(eglErrorText("creating an OpenGL compatibility context"));
    if (!eglMakeCurrent(egl.display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl.context))
        return Made::failure(eglErrorText("eglMakeCurrent"));
    const bool loaded = egl.load(egl.genFramebuffers, "glGenFramebuffers") &&
                        egl.load(egl.deleteFramebuffers, "glDeleteFramebuffers") &&
                        egl.load(egl.bindFramebuffer, "glBindFramebuffer") &&
                        egl.load(egl.genRenderbuffers, "glGenRenderbuffers") &&
                        egl.load(egl.deleteRenderbuffers, "glDeleteRenderbuffers") &&
                        egl.load(egl.bindRenderbuffer, "glBindRenderbuffer") &&
                        egl.load(egl.renderbufferStorage, "glRenderbufferStorage") &&
                        egl.load(egl.framebufferRenderbuffer, "glFramebufferRenderbuffer") &&
                        egl.load(egl.checkFramebufferStatus, "glCheckFramebufferStatus");
    if (!loaded) return Made::failure("the OpenGL implementation has no framebuffer objects");

    GLint maxRenderbuffer = 0;
    GLint maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    surface->maxSize_ = std::min({maxRenderbuffer, maxViewport[0], maxViewport[1]});

    if (auto made = surface->createFramebuffer(width, height); !made) return Made::failure(made.error());
    return Made(std::move(surface));
}

HeadlessGlSurface::~HeadlessGlSurface() {
    if (egl_ && egl_->context != EGL_NO_CONTEXT && makeCurrent()) destroyFramebuffer();
}

Result<void> HeadlessGlSurface::createFramebuffer(int width, int height) {
    if (width < 1 || height < 1 || width > maxSize_ || height > maxSize_) {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "frame size %dx%d is outside 1x1 to %dx%d", width, height,
                      maxSize_, maxSize_);
        return Result<void>::failure(buffer);
    }
    Egl& egl = *egl_;
    GLuint fbo = 0, colour = 0, depth = 0;
    egl.genFramebuffers(1, &fbo);
    egl.genRenderbuffers(1, &colour);
    egl.genRenderbuffers(1, &depth);
    egl.bindRenderbuffer(GL_RENDERBUFFER, colour);
    egl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    egl.bindRenderbuffer(GL_RENDERBUFFER, depth);
    egl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, width, height);
    egl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    egl.bindFramebuffer(GL_FRAMEBUFFER, fbo);
    egl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    egl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    const GLenum status = egl.checkFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE || glGetError() == GL_OUT_OF_MEMORY) {
        egl.bindFramebuffer(GL_FRAMEBUFFER, 0);
        egl.deleteFramebuffers(1, &fbo);
        egl.deleteRenderbuffers(1, &colour);
        egl.deleteRenderbuffers(1, &depth);
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, "cannot create a %dx%d framebuffer (status 0x%04X)", width, height,
                      static_cast<unsigned>(status));
        return Result<void>::failure(buffer);
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    framebuffer_ = fbo;
    colourBuffer_ = colour;
    depthBuffer_ = depth;
    width_ = width;
    height_ = height;
    return {};
}

void HeadlessGlSurface::destroyFramebuffer() {
    Egl& egl = *egl_;
    if (framebuffer_) {
        egl.bindFramebuffer(GL_FRAMEBUFFER, 0);
        egl.deleteFramebuffers(1, &framebuffer_);
    }
    if (colourBuffer_) egl.deleteRenderbuffers(1, &colourBuffer_);
    if (depthBuffer_) egl.deleteRenderbuffers(1, &depthBuffer_);
    framebuffer_ = colourBuffer_ = depthBuffer_ = 0;
}

Result<void> HeadlessGlSurface::resize(int width, int height) {
    if (!makeCurrent()) return Result<void>::failure(eglErrorText("eglMakeCurrent"));
    if (width == width_ && height == height_) return {};
    const GLuint oldFbo = framebuffer_, oldColour = colourBuffer_, oldDepth = depthBuffer_;
    if (auto made = createFramebuffer(width, height); !made) {
        egl_->bindFramebuffer(GL_FRAMEBUFFER, oldFbo);
        return made;
    }
    // The new buffers are in place; only now release the old ones.
    egl_->deleteFramebuffers(1, &oldFbo);
    egl_->deleteRenderbuffers(1, &oldColour);
    egl_->deleteRenderbuffers(1, &oldDepth);
    return {};
}

bool HeadlessGlSurface::makeCurrent() {
    if (!egl_ || egl_->context == EGL_NO_CONTEXT) return false;
    if (eglGetCurrentContext() != egl_->context &&
        !eglMakeCurrent(egl_->display, EGL_NO_SURFACE, EGL_NO_SURFACE, egl_->context))
        return false;
    if (framebuffer_) egl_->bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    return true;
}

void HeadlessGlSurface::swapBuffers() { glFlush(); }

std::vector<std::uint8_t> HeadlessGlSurface::readRgba() const {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::vector<float> HeadlessGlSurface::readDepth() const {
    std::vector<float> depth(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    glReadPixels(0, 0, width_, height_, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    return depth;
}

std::string HeadlessGlSurface::description() const {
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    return std::string("OpenGL ") + (version ? version : "?") + " on " + (renderer ? renderer : "?");
}

}  // namespace velmora
