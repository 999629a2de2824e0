#include "view/WelcomePicture.h"

#include "view/SurfaceSetup.h"

#include <GL/gl.h>

namespace velmora {

WelcomePicture::WelcomePicture(GlSurface& surface, Prompt& prompt, ViewerState& state)
    : surface_(surface), prompt_(prompt), state_(state) {}

Result<void, ProgramEnd> WelcomePicture::draw() {
    if (!setUp_) {
        if (auto setUp = setUpSurface(surface_, prompt_, state_, nullptr); !setUp) return setUp;
        setUp_ = true;
    } else {
        surface_.makeCurrent();
    }

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // No projection is set: with both matrices the identity the visible
    // region is the cube from -1 to 1, and the arrow heads fall outside it.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glPushMatrix();
    // The colours must not outlive the picture: text drawn later on the same
    // context relies on the initial white.
    glPushAttrib(GL_CURRENT_BIT);
    glBegin(GL_LINES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex3f(-3.0f, 0.0f, 0.0f), glVertex3f(3.0f, 0.0f, 0.0f);
    glVertex3f(2.5f, 0.5f, 0.0f), glVertex3f(3.0f, 0.0f, 0.0f);
    glVertex3f(2.5f, -0.5f, 0.0f), glVertex3f(3.0f, 0.0f, 0.0f);
    glColor3f(0.0f, 1.0f, 0.0f);
    glVertex3f(0.0f, -3.0f, 0.0f), glVertex3f(0.0f, 3.0f, 0.0f);
    glVertex3f(-0.5f, 2.5f, 0.0f), glVertex3f(0.0f, 3.0f, 0.0f);
    glVertex3f(0.5f, 2.5f, 0.0f), glVertex3f(0.0f, 3.0f, 0.0f);
    glColor3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, -3.0f), glVertex3f(0.0f, 0.0f, 3.0f);
    glVertex3f(-0.5f, 0.0f, 2.5f), glVertex3f(0.0f, 0.0f, 3.0f);
    glVertex3f(0.5f, 0.0f, 2.5f), glVertex3f(0.0f, 0.0f, 3.0f);
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glFlush();
    surface_.swapBuffers();
    return {};
}

}  // namespace velmora
