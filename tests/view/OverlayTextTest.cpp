// The outline glyphs and the status texts drawn with them. Expected widths
// are the published Arial/Helvetica advance widths (per 1000 em), which
// Liberation Sans shares.

#include "view/OutlineFont.h"
#include "view/ViewTestSupport.h"

#include <GL/gl.h>

#include <optional>

namespace velmora {
namespace {

using testing::Frame;
using testing::Pixel;

TEST(OutlineFontTest, GlyphsHaveArialAdvancesAndClosedContoursInTheWindowsCodePage) {
    OutlineFont font;
    ASSERT_TRUE(font.load()) << "no face for Arial; install fonts-liberation";
    // Advances, and contours where the letter's shape says how many.
    const std::tuple<std::uint8_t, double, int> glyphs[] = {{'A', 0.667, 2}, {' ', 0.278, 0}, {'W', 0.944, 1},
                                                             {'i', 0.222, 2}, {'.', 0.278, 1}, {0xE9, 0.556, 3},
                                                             {'O', 0.778, 2}, {'B', 0.667, 3}};
    for (const auto& [code, advance, contours] : glyphs) {
        EXPECT_NEAR(font.glyph(code).advance, advance, 0.001) << int(code);
        EXPECT_EQ(font.glyph(code).contours.size(), std::size_t(contours)) << int(code);
    }
    EXPECT_NEAR(font.glyph(0x80).advance, 0.556, 0.001);
    EXPECT_FALSE(font.glyph(0x80).contours.empty());  // the euro sign
    // Every printable glyph stays within one em of height around its cell.
    for (int code = 33; code < 256; ++code)
        for (const auto& contour : font.glyph(static_cast<std::uint8_t>(code)).contours)
            for (const auto& p : contour) ASSERT_TRUE(p.y > -0.35f && p.y < 1.2f) << code;

    // Windows-1252: 0x81 is unassigned.
    const std::pair<std::uint8_t, char32_t> unicode[] = {
        {0x80, U'\u20AC'}, {0x8A, U'\u0160'}, {0x9F, U'\u0178'}, {0x81, 0}, {0xA0, 0xA0}, {'A', U'A'}};
    for (const auto& [code, expected] : unicode) EXPECT_EQ(OutlineFont::toUnicode(code), expected) << int(code);
}

// A status text starting `x` units from the centre of a view whose shorter
// side spans 16 units, at 2 units per em: all its pixels are white and lie from
// its start to its total advance across and from a descender to a cap height
// up, and its ink reaches from the first letter's stem to the last dot.
void expectText(const Frame& f, double x, double advanceEm) {
    const double unit = std::min(f.width, f.height) / 16.0, em = 2 * unit;
    const double left = f.width / 2.0 + x * unit, right = left + advanceEm * em;
    const double bottom = f.height / 2.0 - 0.25 * em, top = f.height / 2.0 + 0.75 * em;
    int minX = f.width, maxX = -1, minY = f.height, maxY = -1, count = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const Pixel p = f.at(x, y);
            if (testing::isClearColour(p)) continue;
            ++count;
            ASSERT_TRUE(testing::near(p, 255, 255, 255)) << x << "," << y;
            ASSERT_TRUE(x + 0.5 > left - 1 && x + 0.5 < right + 1 && y + 0.5 > bottom - 1 && y + 0.5 < top + 1)
                << "stray pixel at " << x << "," << y;
            minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    }
    ASSERT_GT(count, 50);
    EXPECT_LT(minX, left + 0.15 * em);
    EXPECT_GT(maxX, right - 0.25 * em);
    EXPECT_LT(minY, f.height / 2.0 - 0.15 * em);
    EXPECT_GT(maxY, f.height / 2.0 + 0.6 * em);
}

struct OverlayFixture : testing::ViewFixture {
    void open(int width, int height) {
        ViewFixture::open(width, height);
        ASSERT_TRUE(testing::writeModel(path, square({1.0f, 1.0f, 1.0f}, 1.0f)));
        // Read the frame when the mesh model shows its bounds, during Load.
        prompt.onMessage = [this](const RecordingPrompt::Message& m) {
            if (m.caption == "ok") duringLoad.emplace(*surface);
        };
    }
    static void clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

    std::string path = dir.file("square.3ds");
    std::optional<Frame> duringLoad;
};

// The glyph lists are built by the first resize, so the first load draws no
// text; later loads and rescales do, sized by the shorter side of the window.
TEST_F(OverlayFixture, StatusTextsFromTheSecondLoadOnKeepTheirSizeRelativeToTheShorterSide) {
    for (const auto& [w, h] : {std::pair{400, 200}, {200, 400}, {240, 240}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        open(w, h);
        clear();
        duringLoad.reset();
        ASSERT_EQ(view->loadModel(path, 1), ModelLoad::Loaded);
        ASSERT_TRUE(duringLoad);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_TRUE(testing::isClearColour(duringLoad->at(x, y))) << x << "," << y;
        view->resize(0, 0, w, h);
        clear();
        duringLoad.reset();
        ASSERT_EQ(view->loadModel(path, 1), ModelLoad::Loaded);
        ASSERT_TRUE(duringLoad);
        // "Loading...": L o a d i n g . . . = 556·6 + 222 + 278·3 = 4392 per mille.
        expectText(*duringLoad, -4.0, 4.392);
        clear();
        view->rescaleModel(2.0f);
        // "Re-scaling...": 722 + 556 + 333 + 500 + 500 + 556 + 222 + 222 + 556 + 556 + 278·3 = 5557.
        expectText(Frame(*surface), -5.0, 5.557);
        view.reset();
    }
}

}  // namespace
}  // namespace velmora
