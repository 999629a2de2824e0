#include "view/GlView.h"

#include "model/MeshModel.h"
#include "view/SurfaceSetup.h"
#include "view/WelcomePicture.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace velmora {

Result<std::unique_ptr<GlView>, ProgramEnd> GlView::open(GlSurface& surface, Prompt& prompt, ViewerState& state,
                                                         TextureFactory textures, Diagnostics diagnostics) {
    // Set up before the view exists: a view that is never made releases
    // nothing and makes the context current no more.
    unsigned fontListBase = 0;
    if (auto setUp = setUpSurface(surface, prompt, state, &fontListBase); !setUp)
        return Result<std::unique_ptr<GlView>, ProgramEnd>::failure(setUp.error());
    return std::unique_ptr<GlView>(
        new GlView(surface, prompt, state, std::move(textures), std::move(diagnostics), fontListBase));
}

// The font itself is made by the first resize.
GlView::GlView(GlSurface& surface, Prompt& prompt, ViewerState& state, TextureFactory textures, Diagnostics diagnostics,
               unsigned fontListBase)
    : surface_(surface),
      prompt_(prompt),
      state_(state),
      textures_(std::move(textures)),
      diagnostics_(std::move(diagnostics)),
      viewportWidth_(surface.width()),
      viewportHeight_(surface.height()),
      fontListBase_(fontListBase) {}

GlView::~GlView() {
    surface_.makeCurrent();
    if (fontListBase_ != 0) glDeleteLists(fontListBase_, 256);
    // The context outlives the view here, so the model's lists, textures and
    // buffers are released while it is still current.
    model_.reset();
}

ModelLoad GlView::loadModel(const std::string& path, bool forceTwoSided) {
    surface_.makeCurrent();
    drawOverlayText("Loading...", 8.0f, -4.0f, 0.0f, 0.0f, 2.0f);
    glFlush();
    surface_.swapBuffers();

    model_.reset();
    model_ = std::make_unique<MeshModel>(kCreaseAngle, forceTwoSided, prompt_, textures_, diagnostics_);
    if (!model_->read(path)) {
        model_.reset();
        prompt_.show(formatText("Failed to Decode 3D Studio MAX file!: %s", path.c_str()));
        return ModelLoad::Unreadable;
    }
    // Loading waits for the user here, before the long part of the build.
    prompt_.inform(model_->boundsText(), "ok");
    return model_->build() ? ModelLoad::Loaded : ModelLoad::OutOfMemory;
}

void GlView::resize(int x, int y, int width, int height) {
    surface_.makeCurrent();
    viewportX_ = x;
    viewportY_ = y;
    viewportWidth_ = width;
    viewportHeight_ = height;

    outlineFont_.buildLists(fontListBase_);

    glViewport(0, 0, width, height);
    // A zero height (a minimised window) gives a non-finite ratio; it is
    // handed on as it is and fixed by the next real size.
    aspectRatio_ = static_cast<float>(width) / static_cast<float>(height);

    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(kFieldOfViewY, aspectRatio_, kNearPlane, kFarPlane);
    // setEye loads the modelview afresh.
    setEye(eyeX_, eyeY_, eyeZ_);
}

void GlView::setEye(float x, float y, float z) {
    eyeX_ = x;
    eyeY_ = y;
    eyeZ_ = z;
    // The camera belongs to the view's context, whoever drew last.
    surface_.makeCurrent();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(eyeX_, eyeY_, eyeZ_, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
}

void GlView::setClearColour(const std::array<float, 4>& colour) {
    surface_.makeCurrent();
    glClearColor(colour[0], colour[1], colour[2], colour[3]);
}

void GlView::drawFrame() {
    surface_.makeCurrent();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!model_) return;  // nothing shown: no flush, no swap
    drawModel();
    glFlush();
    surface_.swapBuffers();
}

void GlView::drawModel() {
    if (!model_) return;
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMateriali(GL_FRONT, GL_SHININESS, 128);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);

    // Scale first, so the offsets are scaled too; the y rotation is innermost.
    glScalef(state_.modelScale, state_.modelScale, state_.modelScale);
    glTranslatef(state_.modelOffsetX, state_.modelOffsetY, state_.modelOffsetZ);
    glRotatef(state_.modelRotX, 1.0f, 0.0f, 0.0f);
    glRotatef(state_.modelRotY, 0.0f, 1.0f, 0.0f);

    model_->draw();

    glPopAttrib();
    glPopMatrix();
}

bool GlView::rescaleModel(float factor) {
    if (!model_) return true;
    surface_.makeCurrent();
    drawOverlayText("Re-scaling...", 8.0f, -5.0f, 0.0f, 0.0f, 2.0f);
    glFlush();
    surface_.swapBuffers();
    return model_->scaleVertices(factor);
}

bool GlView::recompileModel() {
    if (!model_) return true;
    surface_.makeCurrent();
    return model_->compileDisplayList();
}

void GlView::drawOverlayText(std::string text, float halfExtent, float x, float y, float z, float size) {
    const double h = halfExtent;
    const double w = viewportWidth_;
    const double ht = viewportHeight_;

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    if (viewportWidth_ > viewportHeight_)
        glOrtho(-h * w / ht, h * w / ht, -h, h, -h, h);
    else
        glOrtho(-h, h, -h * ht / w, h * ht / w, -h, h);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glLoadIdentity();
    glEnable(GL_DEPTH_TEST);
    glTranslatef(x, y, z);
    glScalef(size, size, size);
    glListBase(fontListBase_);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());

    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}

Result<void, ProgramEnd> GlView::drawWelcome(GlSurface& surface, Prompt& prompt, ViewerState& state) {
    return WelcomePicture(surface, prompt, state).draw();
}

}  // namespace velmora
