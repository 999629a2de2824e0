// The display list in a real OpenGL context: what it draws, recompiling,
// the error reporter and a vertex array that memory cannot hold.

#include "model/GlErrorReporter.h"
#include "scene/MeshFixture.h"

#include <GL/gl.h>

namespace velmora::testing {
namespace {

using MeshDisplayListTest = MeshFixture;

// Two right triangles in the file's y = 0 plane, a red one towards file +x +z
// and a green one towards -x -z; bounds x, z in [-1.5, 1.5], centre 0.
Bytes redAndGreen() {
    std::vector<Vec3> red{{0.5f, 0, 0.5f}, {1.5f, 0, 0.5f}, {0.5f, 0, 1.5f}};
    std::vector<Vec3> green{{-0.5f, 0, -0.5f}, {-1.5f, 0, -0.5f}, {-0.5f, 0, -1.5f}};
    return model({simpleMaterial("red", {255, 0, 0}, {0, 0, 0}, {0, 0, 0}),
                  simpleMaterial("green", {0, 255, 0}, {0, 0, 0}, {0, 0, 0}),
                  meshObject("r", red, {{0, 1, 2}}, "red"), meshObject("g", green, {{0, 1, 2}}, "green")});
}

// Draws the model looking down the model's -z with x, y in [-2, 2] over the
// 64 x 64 frame (16 pixels per unit), lit only by a white ambient light so
// each face shows its material's ambient colour. (A 24-bit colour 255 reads
// as 255/256, which the framebuffer stores as 254.)
std::vector<std::uint8_t> drawFrame(HeadlessGlSurface& surface, const MeshModel& m) {
    glViewport(0, 0, 64, 64);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-2, 2, -2, 2, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const GLfloat white[4] = {1, 1, 1, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
    glEnable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    m.draw();
    glDisable(GL_LIGHTING);
    glFinish();
    return surface.readRgba();
}

// The pixel at model (x, y).
std::array<int, 3> pixelAt(const std::vector<std::uint8_t>& rgba, double x, double y) {
    const int px = static_cast<int>((x + 2) * 16), py = static_cast<int>((y + 2) * 16);
    const std::size_t at = (static_cast<std::size_t>(py) * 64 + static_cast<std::size_t>(px)) * 4;
    return {rgba[at], rgba[at + 1], rgba[at + 2]};
}

TEST_F(MeshDisplayListTest, DrawsEachFaceWhereTheProjectionPutsIt) {
    MeshModel& m = load(redAndGreen());
    ASSERT_TRUE(glIsList(m.displayList()));
    const auto frame = drawFrame(surface(), m);
    // Red: file (x, z) -> model (-x, z), so the red face covers model
    // x in [-1.5, -0.5], y in [0.5, 1.5] with its right angle at (-0.5, 0.5).
    EXPECT_EQ(pixelAt(frame, -0.75, 0.75), (std::array<int, 3>{254, 0, 0}));
    EXPECT_EQ(pixelAt(frame, 0.75, -0.75), (std::array<int, 3>{0, 254, 0}));
    EXPECT_EQ(pixelAt(frame, 0.75, 0.75), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixelAt(frame, -1.3, 1.3), (std::array<int, 3>{0, 0, 0}));  // beyond the hypotenuse
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(MeshDisplayListTest, RescalingRecompilesTheOneListAndBuffer) {
    MeshModel& m = load(redAndGreen());
    const unsigned list = m.displayList();
    m.scaleVertices(0.5f);
    EXPECT_EQ(m.displayList(), list);
    EXPECT_TRUE(glIsList(list));
    EXPECT_FALSE(glIsList(list + 1));
    EXPECT_EQ(m.vertexArray().size(), m.vertices().size());
    EXPECT_EQ(m.vertexArray()[0].x, m.vertices()[0].x);
    // The list draws only the halved model: (-1.2, 0.6) was inside the red
    // face and is not any more; (-0.4, 0.4) is inside both.
    const auto frame = drawFrame(surface(), m);
    EXPECT_EQ(pixelAt(frame, -1.2, 0.6), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(pixelAt(frame, -0.4, 0.4), (std::array<int, 3>{254, 0, 0}));
    EXPECT_TRUE(prompt_.messages().empty());
    model_.reset();
    EXPECT_FALSE(glIsList(list));
}

TEST_F(MeshDisplayListTest, MaterialsWithoutFacesCompileWithoutErrors) {
    MeshModel& m = load(model({grey("A"), grey("B"), object("o", {mesh({vertexList({{0, 0, 0}, {1, 1, 1}})})})}));
    EXPECT_EQ(m.triangleCount(), 0u);
    EXPECT_EQ(m.vertices().size(), 2u);  // no face, no split
    EXPECT_TRUE(prompt_.messages().empty());  // no GL error box
    const auto frame = drawFrame(surface(), m);
    EXPECT_EQ(pixelAt(frame, 0, 0), (std::array<int, 3>{0, 0, 0}));
}

TEST_F(MeshDisplayListTest, EachPendingErrorShowsItsOwnText) {
    struct Case {
        const char* text;
        void (*raise)();
    };
    const Case cases[] = {
        {"glGetError reports GL_INVALID_ENUM when compiling display list", [] { glEnable(0x7FFF); }},
        {"glGetError reports GL_INVALID_VALUE when compiling display list", [] { glGenLists(-1); }},
        {"glGetError reports GL_INVALID_OPERATION when compiling display list", [] { glEndList(); }},
        {"glGetError reports GL_STACK_UNDERFLOW when compiling display list",
         [] {
             glMatrixMode(GL_MODELVIEW);
             glPopMatrix();
         }},
        {"glGetError reports GL_STACK_OVERFLOW when compiling display list",
         [] {
             glMatrixMode(GL_MODELVIEW);
             GLint depth = 0;
             glGetIntegerv(GL_MAX_MODELVIEW_STACK_DEPTH, &depth);
             for (GLint i = 0; i < depth; ++i) glPushMatrix();
             glGetError();  // keep only the error of the push below
             glPushMatrix();
         }},
    };
    RecordingPrompt prompt("VELMORA");
    for (const Case& c : cases) {
        prompt.clear();
        c.raise();
        reportGlErrors(prompt);
        ASSERT_EQ(prompt.messages().size(), 1u) << c.text;
        EXPECT_EQ(prompt.messages()[0].text, c.text);
        EXPECT_TRUE(prompt.messages()[0].frameworkBox);
        EXPECT_EQ(prompt.messages()[0].caption, "VELMORA");
        EXPECT_EQ(prompt.messages()[0].buttons, PromptButtons::Ok);
    }
    EXPECT_STREQ(glErrorText(GL_OUT_OF_MEMORY), "glGetError reports GL_OUT_OF_MEMORY when compiling display list");
    EXPECT_EQ(glErrorText(0x0506), nullptr);  // unlisted codes are skipped
    prompt.clear();
    reportGlErrors(prompt);
    EXPECT_TRUE(prompt.messages().empty());
}

TEST_F(MeshDisplayListTest, AnErrorPendingAtCompilationIsReportedByIt) {
    MeshModel& m = load(redAndGreen());
    prompt_.clear();
    glEnable(0x7FFF);
    m.scaleVertices(1.0f);
    EXPECT_EQ(prompt_.messageTexts(),
              std::vector<std::string>{"glGetError reports GL_INVALID_ENUM when compiling display list"});
}

TEST_F(MeshDisplayListTest, OutOfMemoryComesBackAndCompilingAgainRecovers) {
    prepare(redAndGreen()).setVertexArrayLimit(0);
    ASSERT_TRUE(model_->read(path_));
    ASSERT_FALSE(model_->build());
    EXPECT_TRUE(prompt_.messages().empty());  // asking is the owner's business
    EXPECT_TRUE(model_->vertexArray().empty());
    EXPECT_FALSE(model_->scaleVertices(1.0f));

    model_->setVertexArrayLimit(1000);
    ASSERT_TRUE(model_->compileDisplayList());
    EXPECT_EQ(model_->vertexArray().size(), 6u);
    const auto frame = drawFrame(surface(), *model_);
    EXPECT_EQ(pixelAt(frame, -0.75, 0.75), (std::array<int, 3>{254, 0, 0}));
}

}  // namespace
}  // namespace velmora::testing
