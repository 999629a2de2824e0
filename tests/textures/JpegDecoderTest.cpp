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

struct Decoded {
    RecordingPrompt prompt;
    std::vector<std::string> libraryTexts;
    std::optional<TextureImage> image;
};

// Decodes with the program's end turned into an exception, so that a decoder
// ending the program fails the test instead of the test run.
std::unique_ptr<Decoded> decode(const Bytes& file, const std::string& name = "pic.jpg") {
    struct ProgramEnded {};
    auto d = std::make_unique<Decoded>();
    ScopedFatalExitHandler noExit([](int) { throw ProgramEnded{}; });
    JpegDecoder decoder(d->prompt, [&texts = d->libraryTexts](std::string_view t) { texts.emplace_back(t); });
    d->image = decoder.decodeJpegMemory(file.data(), file.size(), name);
    return d;
}

// Where the first marker 0xFF `code` starts, after the start-of-image marker; 0 when absent.
std::size_t marker(const Bytes& file, std::uint8_t code) {
    for (std::size_t i = 2; i + 1 < file.size(); ++i)
        if (file[i] == 0xFF && file[i + 1] == code) return i;
    return 0;
}

// Four stripes of 16 rows from the top: red, green, blue, white.
Rgb stripe(int y) {
    static const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    return colours[(y / 16) % 4];
}

// Chroma subsampling and colour conversion are the library's; the decoder
// asks for RGB (also from grey) and stores the rows bottom first.
TEST(JpegDecoder, ColourAndGreyComeOutAsRgbBottomRowFirst) {
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

    // A cut-off file is only a warning: the picture comes out in full size.
    Bytes cut = jpegFile(32, 32, [](int, int y) { return stripe(y); });
    const std::size_t scan = marker(cut, 0xDA);
    ASSERT_NE(scan, 0u);
    cut.resize(scan + (cut.size() - scan) / 2);
    d = decode(cut);
    ASSERT_TRUE(d->image);
    EXPECT_EQ(d->image->pixels.size(), 32u * 32u * 3u);
    EXPECT_TRUE(d->prompt.messages().empty());
    EXPECT_FALSE(d->libraryTexts.empty());
}

TEST(JpegDecoder, RefusalsShowOneBoxWithoutEndingTheProgram) {
    const std::string text = "hello, this is no picture";
    Bytes big = jpegFile(8, 8, [](int, int) { return Rgb{9, 9, 9}; });
    const std::size_t frame = marker(big, 0xC0);
    ASSERT_NE(frame, 0u);
    big[frame + 5] = big[frame + 7] = 0xEA, big[frame + 6] = big[frame + 8] = 0x60;  // 60000 × 60000
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes(text.begin(), text.end()), "could not be decoded."},
        {big, "is too large (60000 x 60000)."},
        {jpegFile(8, 8, [](int, int) { return Rgb{1, 2, 3}; }, 4), "is not an RGB or Greyscale picture."},
    };
    for (const auto& [file, reason] : cases) {
        std::unique_ptr<Decoded> d;
        ASSERT_NO_THROW(d = decode(file, "p.jpg"));
        EXPECT_FALSE(d->image);
        EXPECT_EQ(d->prompt.transcript(), std::vector<std::string>{"message Error: JPG Texture File: p.jpg " + reason});
    }
    EXPECT_NE(decode(Bytes(text.begin(), text.end()))->libraryTexts.back().find("Not a JPEG file"), std::string::npos);
    RecordingPrompt prompt;
    EXPECT_FALSE(JpegDecoder(prompt).decodeJpeg("/nonexistent/a.jpg"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: Unable to load JPG File!"});
}

}  // namespace
}  // namespace velmora
