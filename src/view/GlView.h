#pragma once
// The OpenGL view: sets up lighting and the clear colour on a surface, owns
// the shown model, the camera and the glyph lists of the status texts, and
// draws the model lit and shaded on demand. It knows nothing of windows: the
// desktop program hands it the widget's surface, the command line a headless
// one.

#include "model/TextureFactory.h"
#include "platform/Diagnostics.h"
#include "gl/GlSurface.h"
#include "platform/ProgramEnd.h"
#include "platform/Prompt.h"
#include "platform/Result.h"
#include "view/OutlineFont.h"
#include "view/ViewerState.h"

#include <array>
#include <memory>
#include <string>

namespace velmora {

class MeshModel;

// What loading a model came to. OutOfMemory: the model is built but its
// vertex array could not be had, so nothing is compiled yet; the owner may
// try again (GlView::recompileModel) or give up.
enum class ModelLoad { Loaded, Unreadable, OutOfMemory };

// The question the desktop program asks (Retry/Cancel) when the vertex array
// cannot be had; the command line prints it before giving up.
inline constexpr const char* kVertexArrayFailedText = "Failed to load the 3DS mesh into System memory!";

class GlView {
public:
    // Light and material values handed to OpenGL once, at creation.
    static constexpr std::array<float, 4> kLightModelAmbient{0.1f, 0.1f, 0.1f, 1.0f};
    static constexpr std::array<float, 4> kLight0Position{0.0f, 0.0f, 0.0f, 1.0f};
    static constexpr std::array<float, 4> kLight0Ambient{0.3f, 0.3f, 0.3f, 1.0f};
    static constexpr std::array<float, 4> kLight0Diffuse{0.5f, 0.5f, 0.5f, 1.0f};
    static constexpr std::array<float, 4> kLight0Specular{0.6f, 0.6f, 0.6f, 1.0f};
    static constexpr std::array<float, 4> kMaterialAmbient{0.0f, 0.0f, 1.0f, 1.0f};
    static constexpr std::array<float, 4> kMaterialDiffuse{0.0f, 0.0f, 1.0f, 1.0f};
    static constexpr std::array<float, 4> kMaterialSpecular{0.0f, 0.0f, 1.0f, 1.0f};
    static constexpr std::array<float, 4> kMaterialEmission{0.1f, 0.1f, 0.1f, 1.0f};
    // The clear colour while viewing, and that of the export frame.
    static constexpr std::array<float, 4> kClearColour{0.25f, 0.5f, 0.75f, 1.0f};
    static constexpr std::array<float, 4> kExportClearColour{0.0f, 0.0f, 0.0f, 1.0f};
    static constexpr float kHomeEyeZ = 30.0f;
    // The perspective projection: vertical field of view and clipping planes.
    static constexpr double kFieldOfViewY = 18.0;
    static constexpr double kNearPlane = 1.0;
    static constexpr double kFarPlane = 1000.0;
    static constexpr int kCreaseAngle = 90;

    // Sets up OpenGL on the surface: colour-depth check, context, the 256
    // glyph list names, the generator seed, lights, front material and clear
    // colour. Fails, with no view made, when the surface cannot be used: the
    // box has been shown and the program is to end. No model is loaded: call
    // loadModel next. The surface, prompt and state must outlive the view.
    static Result<std::unique_ptr<GlView>, ProgramEnd> open(GlSurface& surface, Prompt& prompt, ViewerState& state,
                                                            TextureFactory textures = {},
                                                            Diagnostics diagnostics = standardOutput());
    // Releases the glyph lists, the font and the model, in this order.
    virtual ~GlView();
    GlView(const GlView&) = delete;
    GlView& operator=(const GlView&) = delete;

    // Draws "Loading...", drops the current model and loads a new one,
    // showing its bounds box before the build. On a file that cannot be read
    // the reader's messages and "Failed to Decode 3D Studio MAX file!:
    // <path>" are shown and the view is left without a model. On OutOfMemory the view keeps the model, not yet compiled:
    // recompileModel may try again.
    ModelLoad loadModel(const std::string& path, bool forceTwoSided);

    // After every size change: rebuilds the glyph lists, sets the viewport,
    // the perspective projection (18 degrees vertical, near 1, far 1000) and
    // applies the camera again. x and y are stored but not used.
    void resize(int x, int y, int width, int height);
    // Places the camera eye in the view's own context, whatever is current;
    // it looks at the origin with up (0, 1, 0). Does not redraw.
    void setEye(float x, float y, float z);
    // The clear colour of the frames drawn from now on.
    void setClearColour(const std::array<float, 4>& colour);
    // Clears colour and depth; with a model draws it, flushes and swaps.
    void drawFrame();
    // The model pass of drawFrame: state, model transform, the display list.
    void drawModel();
    // Draws "Re-scaling..." and multiplies the model's vertex positions.
    // The caller redraws afterwards. Does nothing without a model. False
    // when the recompiled model could not have its vertex array.
    bool rescaleModel(float factor);
    // Compiles the model again after an OutOfMemory; true when it worked
    // (or there is no model).
    bool recompileModel();
    // Draws `text` with the outline glyphs under an orthographic projection
    // whose shorter side spans 2 * halfExtent units, at (x, y, z), `size`
    // units per em, over whatever the frame holds.
    void drawOverlayText(std::string text, float halfExtent, float x, float y, float z, float size);

    float eyeX() const { return eyeX_; }
    float eyeY() const { return eyeY_; }
    float eyeZ() const { return eyeZ_; }
    int viewportX() const { return viewportX_; }
    int viewportY() const { return viewportY_; }
    int viewportWidth() const { return viewportWidth_; }
    int viewportHeight() const { return viewportHeight_; }
    float aspectRatio() const { return aspectRatio_; }
    unsigned fontListBase() const { return fontListBase_; }

    bool hasModel() const { return model_ != nullptr; }
    MeshModel* model() { return model_.get(); }
    const MeshModel* model() const { return model_.get(); }
    GlSurface& surface() { return surface_; }
    ViewerState& state() { return state_; }

    // The paint path while no view exists: sets the surface up as the view
    // does (without glyph lists or model) and draws the red and green cross
    // on the clear colour. Fails like the view on an unusable surface.
    static Result<void, ProgramEnd> drawWelcome(GlSurface& surface, Prompt& prompt, ViewerState& state);

private:
    GlView(GlSurface& surface, Prompt& prompt, ViewerState& state, TextureFactory textures, Diagnostics diagnostics,
           unsigned fontListBase);

    GlSurface& surface_;
    Prompt& prompt_;
    ViewerState& state_;
    TextureFactory textures_;
    Diagnostics diagnostics_;

    float eyeX_ = 0.0f;
    float eyeY_ = 0.0f;
    float eyeZ_ = kHomeEyeZ;
    std::unique_ptr<MeshModel> model_;
    int viewportX_ = 0;
    int viewportY_ = 0;
    int viewportWidth_ = 0;
    int viewportHeight_ = 0;
    OutlineFont outlineFont_;
    unsigned fontListBase_ = 0;
    float aspectRatio_ = 1.0f;
};

}  // namespace velmora
