#include "view/OutlineFont.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// Largest distance, in em, between a flattened curve and the curve itself.
constexpr float kFlatness = 0.002f;
constexpr int kMaxCurveSegments = 32;

struct FcPatternDeleter {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using FcPatternPtr = std::unique_ptr<FcPattern, FcPatternDeleter>;

struct FtLibraryDeleter {
    void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
using FtLibraryPtr = std::unique_ptr<FT_LibraryRec_, FtLibraryDeleter>;

struct FtFaceDeleter {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};
using FtFacePtr = std::unique_ptr<FT_FaceRec_, FtFaceDeleter>;

// The file and face index fontconfig offers for a family name.
bool findFace(const std::string& family, std::string& file, int& index) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return false;
    struct ConfigGuard {
        FcConfig* c;
        ~ConfigGuard() { FcConfigDestroy(c); }
    } guard{config};

    FcPatternPtr pattern(FcNameParse(reinterpret_cast<const FcChar8*>(family.c_str())));
    if (!pattern) return false;
    FcConfigSubstitute(config, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    FcPatternPtr match(FcFontMatch(config, pattern.get(), &result));
    if (!match) return false;
    FcChar8* path = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &path) != FcResultMatch || !path) return false;
    file = reinterpret_cast<const char*>(path);
    index = 0;
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &index);
    return true;
}

// Collects the contours of one outline, curves flattened, in em.
class Flattener {
public:
    explicit Flattener(float unitsPerEm) : scale_(1.0f / unitsPerEm) {}

    std::vector<std::vector<OutlineFont::Point>> take(FT_Outline& outline) {
        FT_Outline_Funcs funcs{};
        funcs.move_to = &Flattener::moveTo;
        funcs.line_to = &Flattener::lineTo;
        funcs.conic_to = &Flattener::conicTo;
        funcs.cubic_to = &Flattener::cubicTo;
        FT_Outline_Decompose(&outline, &funcs, this);
        closeContour();
        return std::move(contours_);
    }

private:
    OutlineFont::Point toEm(const FT_Vector* v) const {
        return {static_cast<float>(v->x) * scale_, static_cast<float>(v->y) * scale_};
    }
    void add(OutlineFont::Point p) {
        current_.push_back(p);
        last_ = p;
    }
    void closeContour() {
        // The decomposition ends each contour back on its first point; a
        // line loop closes by itself.
        if (current_.size() > 1) {
            const auto& a = current_.front();
            const auto& b = current_.back();
            if (a.x == b.x && a.y == b.y) current_.pop_back();
        }
        if (current_.size() > 1) contours_.push_back(std::move(current_));
        current_.clear();
    }
    static int segmentsFor(float deviation) {
        const int n = static_cast<int>(std::ceil(std::sqrt(deviation / kFlatness)));
        return std::clamp(n, 1, kMaxCurveSegments);
    }

    static int moveTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        self->closeContour();
        self->add(self->toEm(to));
        return 0;
    }
    static int lineTo(const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        self->add(self->toEm(to));
        return 0;
    }
    static int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        const auto p0 = self->last_, p1 = self->toEm(control), p2 = self->toEm(to);
        // Chord error of n equal steps: |p0 - 2 p1 + p2| / (4 n²).
        const float dx = p0.x - 2 * p1.x + p2.x, dy = p0.y - 2 * p1.y + p2.y;
        const int n = segmentsFor(std::hypot(dx, dy) / 4.0f);
        for (int i = 1; i <= n; ++i) {
            const float t = static_cast<float>(i) / n, u = 1.0f - t;
            self->add({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                       u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
        }
        return 0;
    }
    static int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
        auto* self = static_cast<Flattener*>(user);
        const auto p0 = self->last_, p1 = self->toEm(c1), p2 = self->toEm(c2), p3 = self->toEm(to);
        const float m = std::max(std::hypot(p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y),
                                 std::hypot(p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y));
        const int n = segmentsFor(0.75f * m);
        for (int i = 1; i <= n; ++i) {
            const float t = static_cast<float>(i) / n, u = 1.0f - t;
            const float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
            self->add({a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
        }
        return 0;
    }

    float scale_;
    OutlineFont::Point last_;
    std::vector<OutlineFont::Point> current_;
    std::vector<std::vector<OutlineFont::Point>> contours_;
};

}  // namespace

OutlineFont::OutlineFont(std::string family) : family_(std::move(family)) {}

OutlineFont::~OutlineFont() = default;

char32_t OutlineFont::toUnicode(std::uint8_t code) {
    static constexpr char16_t kHighControls[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (code >= 0x80 && code < 0xA0) return kHighControls[code - 0x80];
    return code;
}

bool OutlineFont::load() {
    if (tried_) return loaded_;
    tried_ = true;

    int faceIndex = 0;
    if (!findFace(family_, faceFile_, faceIndex)) return false;

    FT_Library rawLibrary = nullptr;
    if (FT_Init_FreeType(&rawLibrary) != 0) return false;
    FtLibraryPtr library(rawLibrary);
    FT_Face rawFace = nullptr;
    if (FT_New_Face(library.get(), faceFile_.c_str(), faceIndex, &rawFace) != 0) return false;
    FtFacePtr face(rawFace);
    if (!FT_IS_SCALABLE(face.get()) || face->units_per_EM == 0) return false;
    FT_Select_Charmap(face.get(), FT_ENCODING_UNICODE);

    const float unitsPerEm = face->units_per_EM;
    for (int code = 0; code < 256; ++code) {
        // A byte the face has no glyph for shows the face's missing-glyph
        // shape (glyph 0), as text drawing does anywhere else.
        const char32_t ch = toUnicode(static_cast<std::uint8_t>(code));
        const FT_UInt index = ch ? FT_Get_Char_Index(face.get(), ch) : 0;
        if (FT_Load_Glyph(face.get(), index, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0)
            continue;
        Glyph& glyph = glyphs_[code];
        glyph.advance = static_cast<float>(face->glyph->metrics.horiAdvance) / unitsPerEm;
        if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE)
            glyph.contours = Flattener(unitsPerEm).take(face->glyph->outline);
    }
    loaded_ = true;
    return true;
}

void OutlineFont::buildLists(unsigned listBase) {
    if (listBase == 0) return;  // no names were reserved
    load();
    for (unsigned code = 0; code < 256; ++code) {
        const Glyph& g = glyphs_[code];
        glNewList(listBase + code, GL_COMPILE);
        for (const auto& contour : g.contours) {
            glBegin(GL_LINE_LOOP);
            for (const Point& p : contour) glVertex3f(p.x, p.y, 0.0f);
            glEnd();
        }
        glTranslatef(g.advance, 0.0f, 0.0f);
        glEndList();
    }
}

}  // namespace velmora
