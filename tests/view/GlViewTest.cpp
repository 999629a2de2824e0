// Headless renders of the view against hand computation, its status texts, and the frame as a picture.
// What users rely on: the welcome cross on the clear colour; a square facing the camera covers its projected
// footprint in its lit colour; the transform scales, translates, then turns about x and y; texts keep their size
// relative to the shorter side and are depth-tested; the phases' seed comes from the clock.

#include "platform/Diagnostics.h"
#include "support/Pictures.h"
#include "support/Prompts.h"
#include "view/FrameImage.h"
#include "view/OutlineFont.h"
#include "view/ViewTestSupport.h"
#include "view/WelcomePicture.h"

#include <cmath>
#include <ctime>
#include <optional>
#include <tuple>

#include <GL/gl.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H

namespace velmora {
namespace {

using namespace testing;

std::vector<Vec3> cube(Vec3 c, float h) {
    const auto p = [&](int i) { return Vec3{c.x + (i & 1 ? h : -h), c.y + (i & 2 ? h : -h), c.z + (i & 4 ? h : -h)}; };
    std::vector<Vec3> corners;
    for (const auto& q : {std::array{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}})
        corners.insert(corners.end(), {p(q[0]), p(q[1]), p(q[2]), p(q[0]), p(q[2]), p(q[3])});
    return corners;
}

// cot(9 degrees): the projection's scale for an 18-degree field of view.
const double kFocal = 1.0 / std::tan(9.0 * 3.14159265358979323846 / 180.0);

TEST_F(ViewFixture, WelcomePictureIsARedRowAndGreenColumnCrossOnTheClearColour) {
    surface = makeHeadlessSurface(65, 49);
    ASSERT_TRUE(surface);
    WelcomePicture picture(*surface, prompt, state);
    ASSERT_TRUE(picture.draw());
    picture.draw();  // later paints reuse the set-up
    const Frame f(*surface);
    for (int y = 0; y < f.height; ++y) for (int x = 0; x < f.width; ++x) {
        const Pixel p = f.at(x, y);
        // Where they cross, the blue axis is seen end-on: green drawn over red, or blue.
        const bool ok = x == 32 && y == 24 ? near(p, 0, 255, 0) || near(p, 0, 0, 255)
                        : y == 24 ? near(p, 255, 0, 0) : x == 32 ? near(p, 0, 255, 0) : isClearColour(p);
        ASSERT_TRUE(ok) << x << "," << y << ": " << p.r << "," << p.g << "," << p.b;
    }
    EXPECT_TRUE(prompt.messages().empty());
}

std::string camera() {
    std::string s;
    for (GLenum which : {GL_PROJECTION_MATRIX, GL_MODELVIEW_MATRIX}) {
        float m[16];
        glGetFloatv(which, m);
        for (int i = 0; i < 16; ++i)
            s += formatText("%.7g", std::round(m[i % 4 * 4 + i / 4] * 1e5) / 1e5 + 0.0) + (i % 4 == 3 ? "\n" : " ");
    }
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    return s + (mode == GL_MODELVIEW ? "modelview current\n" : "another matrix current\n");
}

TEST_F(ViewFixture, SquareFacingTheCameraCoversItsProjectedFootprintInItsLitColourAndRedrawsLeaveTheCamera) {
    open(200, 160);
    const float half = 3.0f;
    load(square({0.2f, 0.4f, 0.6f}, half));
    // The extent is in the file's axes (x mirrored, y and z exchanged).
    expectBox(prompt, "ok", "maxx:3.000000 minx:-3.000000\r\nmaxy:0.000000 miny:0.000000\r\nmaxz:3.000000 minz:-3.000000");
    EXPECT_EQ(std::pair(prompt.messages()[0].frameworkBox, prompt.messages()[0].buttons), std::pair(false, PromptButtons::Ok));
    view->drawFrame();
    const Frame f(*surface);
    // Lit channel of reflectance r, c the cosine to the light at the eye: 0.1 + r (0.1 + 0.3 + 0.5 c + 0.6 c^128)
    // (emission, ambients, diffuse, specular, shininess 128, local viewer). Each corner is sqrt(30² + 2·3²)
    // away: c = 30 / sqrt(918) = 0.990148, c^128 = 0.281572, giving 255 · 0.312803, 0.525607 and 0.738410.
    const double halfX = half * kFocal / 30.0 / (200.0 / 160.0) * 100.0, halfY = half * kFocal / 30.0 * 80.0;
    int inside = 0;
    for (int y = 0; y < f.height; ++y) for (int x = 0; x < f.width; ++x) {
        const double dx = std::abs(x + 0.5 - 100.0), dy = std::abs(y + 0.5 - 80.0);
        const Pixel p = f.at(x, y);
        if (dx < halfX - 0.5 && dy < halfY - 0.5 && ++inside) {
            ASSERT_TRUE(near(p, 80, 134, 188)) << x << "," << y << ": " << p.r << "," << p.g;
        } else if (dx > halfX + 0.5 || dy > halfY + 0.5) {
            ASSERT_TRUE(isClearColour(p)) << x << "," << y;
        }
    }
    EXPECT_GT(inside, 95 * 95);
    state.modelRotX = 180.0f, view->drawFrame();  // turned over: its back is culled
    EXPECT_TRUE(isClearColour(Frame(*surface).at(100, 80)));
    // Half see-through (a transparency of 50 % is alpha 0.5): halfway between the lit colour and the clear colour.
    ASSERT_TRUE(writeModel(dir.file("half.3ds"), square({0.2f, 0.4f, 0.6f}, half), 50));
    state.modelRotX = 0.0f, (void)view->loadModel(dir.file("half.3ds"), false), view->drawFrame();
    EXPECT_TRUE(near(Frame(*surface).at(100, 80), 72, 131, 190));
    // The projection and camera that resize set; no redraw, rescale or later resize moves the camera.
    expectData(camera(), "view_camera.txt", "home eye");  // resize and the first frame
    state.modelScale = 1.7f, state.modelOffsetX = 2.0f, state.modelRotX = 33.0f, state.modelRotY = -12.0f;
    const auto other = makeHeadlessSurface(8, 8);  // current when the eye is set: the camera is the view's still
    ASSERT_TRUE(other && other->makeCurrent());
    view->setEye(0.0f, 4.0f, 3.0f), view->drawFrame();
    view->rescaleModel(2.0f);
    expectData(camera(), "view_camera.txt", "eye at 0 4 3");  // drawFrame and rescale
    view->resize(0, 0, 200, 160);
    expectData(camera(), "view_camera.txt", "eye at 0 4 3");  // a second resize
}

TEST_F(ViewFixture, ModelTransformScalesThenTranslatesThenRotatesAboutXThenY) {
    open(160, 120);
    // A red marker cube at (3, 0, 0); a green one at (-3, 0, 0) keeps the bounds centred.
    load({{{1, 0, 0}, cube({3, 0, 0}, 0.4f)}, {{0, 1, 0}, cube({-3, 0, 0}, 0.4f)}});
    // scale, offset x and y, rotation about x and y; then by hand: scale · (offset + Rx(Ry(marker))).
    const std::array<double, 7> cases[] = {
        {1, 0, 0, 0, 0, 3.0, 0.0},
        {0.5, 2, 1, 0, 0, 2.5, 0.5},    // the offset is scaled too: 0.5 · ((3, 0) + (2, 1))
        {1, 0, 0, 90, 90, 0.0, 3.0},    // Ry(90) takes (3, 0, 0) to (0, 0, -3), then Rx(90) to (0, 3, 0)
        {0.5, 2, 1, 90, 90, 1.0, 2.0},
    };
    for (const auto& [scale, offsetX, offsetY, rotX, rotY, worldX, worldY] : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << scale << " rot " << rotX << "," << rotY);
        state.modelScale = float(scale), state.modelOffsetX = float(offsetX), state.modelOffsetY = float(offsetY);
        state.modelRotX = float(rotX), state.modelRotY = float(rotY);
        view->drawFrame();
        const Frame f(*surface);
        double sumX = 0, sumY = 0;
        int count = 0;
        for (int y = 0; y < f.height; ++y) for (int x = 0; x < f.width; ++x)
            if (const Pixel p = f.at(x, y); p.r > 100 && p.g < 60) sumX += x + 0.5, sumY += y + 0.5, ++count;
        ASSERT_GT(count, 10) << "marker not seen";
        EXPECT_NEAR(sumX / count, 80.0 + 60.0 * kFocal * worldX / 30.0, 1.5);  // 80 · f/aspect · x/30
        EXPECT_NEAR(sumY / count, 60.0 + 60.0 * kFocal * worldY / 30.0, 1.5);
    }
}

TEST_F(ViewFixture, ClearColourGoesToTheViewsOwnContext) {
    open(8, 8);
    const auto other = makeHeadlessSurface(4, 4);
    ASSERT_TRUE(other && other->makeCurrent());
    view->setClearColour(GlView::kExportClearColour), view->drawFrame();
    EXPECT_TRUE(near(Frame(*surface).at(3, 3), 0, 0, 0));
}

// Without it two runs a second apart would export the same phases.
TEST_F(ViewFixture, SettingUpTheSurfaceSeedsThePhasesFromTheClock) {
    state.random.seed(12345);
    const std::time_t before = std::time(nullptr);
    open(8, 8);
    const std::time_t after = std::time(nullptr);
    const int first = state.random.next();
    bool fromClock = false;
    for (std::time_t t = before; t <= after; ++t) {
        RandomGenerator clock;
        clock.seed(static_cast<std::uint32_t>(t));
        fromClock = fromClock || clock.next() == first;
    }
    EXPECT_TRUE(fromClock);
}

// Expected widths are the published Arial advances (per 1000 em), which Liberation Sans shares.
TEST(OutlineFontTest, GlyphsHaveArialAdvancesAndClosedContoursInTheWindowsCodePage) {
    OutlineFont font;
    ASSERT_TRUE(font.load()) << "no face for Arial; install fonts-liberation";
    std::string shown;
    for (const unsigned char code : std::string_view("A Wi.\xE9OB"))
        shown += formatText("%02X %.3f %zu\n", code, double(font.glyph(code).advance), font.glyph(code).contours.size());
    expectData(shown, "outline_glyphs.txt", "glyphs");
    // Windows-1252: A, the euro sign, an unassigned code, S and Y with their marks, e acute.
    std::u32string mapped;
    for (const std::uint8_t code : {0x41, 0x80, 0x81, 0x8A, 0x9F, 0xE9}) mapped += OutlineFont::toUnicode(code);
    EXPECT_EQ(mapped, (std::u32string{0x41, 0x20AC, 0, 0x160, 0x178, 0xE9}));
}

// Flattened glyphs span the exact boxes FreeType finds for their curves, to the flatness (2 thousandths of the em):
// a Type 1 face's cubic curves, and the conic ones of Arial's TrueType stand-in.
TEST(OutlineFontTest, GlyphsSpanTheirCurvesExactBoxes) {
    for (const char* family : {"Nimbus Sans:fontformat=Type 1", "Arial"}) {
        OutlineFont font(family);
        FT_Library ft = nullptr;
        FT_Face face = nullptr;
        ASSERT_TRUE(font.load() && !FT_Init_FreeType(&ft) && !FT_New_Face(ft, font.faceFile().c_str(), 0, &face))
            << family << ": install fonts-urw-base35 and fonts-liberation";
        const float em = face->units_per_EM;
        for (char c = 33; c < 127; ++c) {
            FT_BBox box{};
            ASSERT_FALSE(FT_Load_Char(face, c, FT_LOAD_NO_SCALE) || FT_Outline_Get_BBox(&face->glyph->outline, &box));
            const long exact[4] = {box.xMin, box.yMin, -box.xMax, -box.yMax};  // the sides, the far ones negated
            float seen[4] = {1e9f, 1e9f, 1e9f, 1e9f};
            for (const auto& contour : font.glyph(c).contours) for (const auto& p : contour)
                for (int k = 0; k < 4; ++k) seen[k] = std::min(seen[k], (k % 2 ? p.y : p.x) * (k < 2 ? em : -em));
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(seen[k], exact[k], 0.002f * em) << family << c << " " << k;
        }
        FT_Done_Face(face), FT_Done_FreeType(ft);
    }
}

// A text starting `x` units from the centre (16 units across the shorter side, 2 to the em): white, its ink
// from within a stem or a dot's side bearing of its advance across, and from descender to cap height up.
void expectText(const Frame& f, double x, double advanceEm) {
    const double unit = std::min(f.width, f.height) / 16.0, em = 2 * unit, middle = f.height / 2.0;
    const double left = f.width / 2.0 + x * unit, right = left + advanceEm * em;
    int minX = f.width, maxX = -1, minY = f.height, maxY = -1, count = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            if (const Pixel p = f.at(x, y); !testing::isClearColour(p)) {
                ASSERT_TRUE(testing::near(p, 255, 255, 255)) << x << "," << y;
                minX = std::min(minX, x), maxX = std::max(maxX, x), ++count;
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
        }
    }
    ASSERT_GT(count, 50);
    EXPECT_TRUE(minX + 0.5 > left - 1 && minX < left + 0.15 * em) << minX;
    EXPECT_TRUE(maxX + 0.5 < right + 1 && maxX > right - 0.25 * em) << maxX;
    EXPECT_TRUE(minY + 0.5 > middle - 0.25 * em - 1 && minY < middle - 0.15 * em) << minY;
    EXPECT_TRUE(maxY + 0.5 < middle + 0.75 * em + 1 && maxY > middle + 0.6 * em) << maxY;
}

// The glyph lists are built by the first resize, so only later loads and rescales draw their text.
TEST_F(ViewFixture, StatusTextsFromTheSecondLoadOnKeepTheirSizeRelativeToTheShorterSide) {
    const std::string path = dir.file("square.3ds");
    ASSERT_TRUE(writeModel(path, square({1.0f, 1.0f, 1.0f}, 1.0f)));
    std::optional<Frame> duringLoad;  // read when the mesh model shows its bounds, during Load
    prompt.onMessage = [&](const RecordingPrompt::Message& m) {
        if (m.caption == "ok") duringLoad.emplace(*surface);
    };
    const auto loadShown = [&] {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        duringLoad.reset();
        EXPECT_EQ(view->loadModel(path, 1), ModelLoad::Loaded);
        return duringLoad.value();  // throws, failing the test, when the bounds were not shown
    };
    for (const auto& [w, h] : {std::pair{400, 200}, {200, 400}, {240, 240}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        open(w, h);
        const Frame first = loadShown();
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_TRUE(testing::isClearColour(first.at(x, y))) << x << "," << y;
        view->resize(0, 0, w, h);
        // "Loading...": L o a d i n g . . . = 556·6 + 222 + 278·3 = 4392 per mille.
        expectText(loadShown(), -4.0, 4.392);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        view->rescaleModel(2.0f);
        // "Re-scaling...": 722 + 556 + 333 + 500 + 500 + 556 + 222 + 222 + 556 + 556 + 278·3 = 5557.
        expectText(Frame(*surface), -5.0, 5.557);
        // The text is depth-tested against what is drawn: behind a surface at the near plane it is hidden.
        glClearDepth(0.0), glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT), glClearDepth(1.0);
        view->rescaleModel(0.5f);
        const Frame hidden(*surface);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_TRUE(testing::isClearColour(hidden.at(x, y))) << x << "," << y;
        GLint pushed = -1;  // the texts leave OpenGL's state as they found it
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &pushed);
        EXPECT_EQ(pushed, 0);
        view.reset();
    }
}

TEST(FrameImageTest, BottomFirstReadBackBecomesATopDownRgbPictureOrSaysWhyNot) {
    testing::TempDir dir;
    // 2 × 3 pixels, bottom row first: the row index in red, the column in green.
    std::vector<std::uint8_t> rgba;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 2; ++x) rgba.insert(rgba.end(), {std::uint8_t(10 * y), std::uint8_t(100 + x), 7, 0});
    ASSERT_TRUE(writeFramePng(dir.file("frame.png"), 2, 3, rgba));
    const auto picture = testing::readPicture(dir.file("frame.png"));
    EXPECT_EQ(picture.width * 10 + picture.height, 23);
    EXPECT_EQ(picture.rgb, (testing::Bytes{20, 100, 7, 20, 101, 7, 10, 100, 7, 10, 101, 7, 0, 100, 7, 0, 101, 7}));
    EXPECT_EQ(testing::fileText(dir.file("frame.png")).at(25), 2);  // colour type RGB: no alpha to hide it
    for (const auto& [w, h, why] : {std::tuple{0, 3, "the frame is empty"}, {2, 0, "the frame is empty"},
                                    {2, 4, "the frame read-back is shorter than the frame"}})
        EXPECT_EQ(writeFramePng(dir.file("no.png"), w, h, rgba).error(), why) << w << " x " << h;
    const auto written = writeFramePng("/nonexistent-folder/frame.png", 1, 1, {1, 2, 3, 4});
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().find("/nonexistent-folder/frame.png"), std::string::npos);
}

}  // namespace
}  // namespace velmora
