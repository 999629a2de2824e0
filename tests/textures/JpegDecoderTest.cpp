#include "textures/JpegDecoder.h"

#include "PictureWriters.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::Bytes;
using testing::Rgb;
using testing::jpegFile;
using testing::jpegMarker;

struct Decoded {
    RecordingPrompt prompt;
    std::vector<std::string> libraryTexts;
    std::optional<TextureImage> image;
};

// Decodes with the program's end turned into an exception, so that a decoder
// ending the program fails the test instead of the test run.
std::unique_ptr<Decoded> decode(const Bytes& file) {
    struct ProgramEnded {};
    auto d = std::make_unique<Decoded>();
    ScopedFatalExitHandler noExit([](int) { throw ProgramEnded{}; });
    JpegDecoder decoder(d->prompt, [&texts = d->libraryTexts](std::string_view t) { texts.emplace_back(t); });
    d->image = decoder.decodeJpegMemory(file.data(), file.size(), "pic.jpg");
    return d;
}

// Four stripes of 16 rows from the top: red, green, blue, white.
Rgb stripe(int y) {
    static const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return colours[(y / 16) % 4];
}

// Chroma subsampling and colour conversion are the library's; the decoder
// asks for RGB (also from grey) and stores the rows bottom first.
TEST(JpegDecoder, ColourAndGreyComeOutAsRgbBottomRowFirstAndTheLibrarysTextsGoToTheDiagnostics) {
    auto d = decode(jpegFile(32, 64, [](int, int y) { return stripe(y); }));
    ASSERT_TRUE(d->image);
    EXPECT_EQ((std::array{d->image->width, d->image->height, d->image->bytesPerPixel}), (std::array{32, 64, 3}));
    EXPECT_EQ(d->image->format, unsigned(GL_RGB));
    ASSERT_EQ(d->image->pixels.size(), 64u * 96u);
    for (int k = 0; k < 64; ++k) {
        const int y = 63 - k;                     // picture row stored in row k
        if (y % 16 < 2 || y % 16 > 13) continue;  // colours blend across stripe edges
        EXPECT_TRUE(testing::closeTo(d->image->pixel(5, k), stripe(y), 6)) << "row " << k;
    }
    EXPECT_TRUE(d->prompt.messages().empty());
    d = decode(jpegFile(16, 16, [](int, int y) { return y < 8 ? Rgb{200, 0, 0} : Rgb{40, 0, 0}; }, 1));
    ASSERT_TRUE(d->image);
    ASSERT_EQ(d->image->pixels.size(), 16u * 16u * 3u);
    EXPECT_TRUE(testing::closeTo(d->image->pixel(3, 0), {40, 40, 40}, 2));
    EXPECT_TRUE(testing::closeTo(d->image->pixel(3, 15), {200, 200, 200}, 2));

    // A cut-off file is only a warning, for the diagnostics: the picture comes out in full size.
    Bytes cut = jpegFile(32, 32, [](int, int y) { return stripe(y); });
    const std::size_t scan = jpegMarker(cut, 0xDA);
    ASSERT_NE(scan, 0u);
    cut.resize(scan + (cut.size() - scan) / 2);
    d = decode(cut);
    ASSERT_TRUE(d->image);
    EXPECT_EQ(d->image->pixels.size(), 32u * 32u * 3u);
    EXPECT_TRUE(d->prompt.messages().empty());
    EXPECT_FALSE(d->libraryTexts.empty());
    // The library's errors go there too; the box that refuses the file is in the readers' table.
    EXPECT_NE(decode(Bytes{'n', 'o'})->libraryTexts.back().find("Not a JPEG file"), std::string::npos);
}

}  // namespace
}  // namespace velmora
