#include "view/SurfaceSetup.h"

#include "view/GlView.h"

#include <GL/gl.h>

#include <cerrno>
#include <cstring>

namespace velmora {

namespace {

using SetUp = Result<void, ProgramEnd>;

// The platform's text for its last error, in a box captioned with what
// failed; the program ends with that error as status. On Linux the last
// error is errno (0, "Success", when the failing layer did not set it).
SetUp failSetUp(Prompt& prompt, const char* caption, int lastError) {
    prompt.show(std::strerror(lastError), std::string(caption));
    return SetUp::failure(ProgramEnd{lastError});
}

}  // namespace

Result<void, ProgramEnd> setUpSurface(GlSurface& surface, Prompt& prompt, ViewerState& state, unsigned* fontListBase) {
    if (surface.colourBits() < 16) {
        prompt.show("You need a minimum of 16-Bit colour depth selected via Desktop Settings.");
        return SetUp::failure(ProgramEnd{0});
    }

    // The surface comes with its format and context already made; a context
    // that cannot be made current stands for one that could not be created.
    errno = 0;
    if (!surface.makeCurrent()) return failSetUp(prompt, "OpenGL Create Rendering Context Failed!", errno);
    // Drawing needs a depth test and the export reads depth back: a
    // framebuffer without a depth buffer is the wrong pixel format.
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint depthBits = -1;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    if (glGetError() == GL_NO_ERROR && depthBits == 0)
        return failSetUp(prompt, "Failed to Find Suitable Pixel Format!", errno);

    // A context made for a window starts with the window as its viewport; an
    // off-screen framebuffer gets the same here.
    glViewport(0, 0, surface.width(), surface.height());

    if (fontListBase) *fontListBase = glGenLists(256);

    state.random.seedFromClock();

    // With the identity modelview the light sits at the eye and moves with
    // the camera.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();

    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, GlView::kLightModelAmbient.data());
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, 1);
    glLightfv(GL_LIGHT0, GL_POSITION, GlView::kLight0Position.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, GlView::kLight0Ambient.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, GlView::kLight0Diffuse.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, GlView::kLight0Specular.data());
    glMaterialfv(GL_FRONT, GL_AMBIENT, GlView::kMaterialAmbient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, GlView::kMaterialDiffuse.data());
    glMaterialfv(GL_FRONT, GL_SPECULAR, GlView::kMaterialSpecular.data());
    glMaterialfv(GL_FRONT, GL_EMISSION, GlView::kMaterialEmission.data());

    const auto& c = GlView::kClearColour;
    glClearColor(c[0], c[1], c[2], c[3]);
    return {};
}

}  // namespace velmora
