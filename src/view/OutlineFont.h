#pragma once
// The outline font of the status texts: the glyphs of the face fontconfig
// offers for "Arial" (Liberation Sans on Linux), read with FreeType and
// flattened to closed polylines, one glyph per byte value in the Windows-1252
// code page. One unit is one em; the baseline is y = 0.
//
// The outlines are read once, on the first build, and kept; every later
// build only records the 256 display lists again.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velmora {

class OutlineFont {
public:
    struct Point {
        float x = 0.0f;
        float y = 0.0f;
    };
    struct Glyph {
        std::vector<std::vector<Point>> contours;  // each a closed loop
        float advance = 0.0f;                       // in em
    };

    explicit OutlineFont(std::string family = "Arial");
    ~OutlineFont();
    OutlineFont(const OutlineFont&) = delete;
    OutlineFont& operator=(const OutlineFont&) = delete;

    // Reads and flattens the 256 glyphs, unless done before. False when no
    // face could be found or read; the glyphs are then empty.
    bool load();
    bool loaded() const { return loaded_; }
    // The file of the face in use (after load), for reports.
    const std::string& faceFile() const { return faceFile_; }

    // Records list `listBase + k` for every byte k: the glyph's contours as
    // line loops in the z = 0 plane, then a move right by its advance.
    // Loads the outlines first if needed. Needs a current OpenGL context.
    void buildLists(unsigned listBase);

    const Glyph& glyph(std::uint8_t code) const { return glyphs_[code]; }
    // The Unicode character of a Windows-1252 byte, or 0 for the five
    // bytes the code page leaves unassigned.
    static char32_t toUnicode(std::uint8_t code);

private:
    std::string family_;
    std::string faceFile_;
    bool loaded_ = false;
    bool tried_ = false;
    std::array<Glyph, 256> glyphs_;
};

}  // namespace velmora
