#include "textures/JpegDecoder.h"

#include "PictureWriters.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace velmora {
namespace {

using testing::Bytes;
using testing::Rgb;
using testing::jpegFile;

struct ProgramEnded {};

struct Decoded {
    RecordingPrompt prompt;
    std::vector<std::string> libraryTexts;
    std::optional<TextureImage> image;
};

std::unique_ptr<Decoded> decode(const Bytes& file, const std::string& name = "pic.jpg") {
    auto d = std::make_unique<Decoded>();
    ScopedFatalExitHandler noExit([](int) { throw ProgramEnded{}; });
    JpegDecoder decoder(d->prompt, [&texts = d->libraryTexts](std::string_view t) { texts.emplace_back(t); });
    d->image = decoder.decodeJpegMemory(file.data(), file.size(), name);
    return d;
}

bool near(const std::uint8_t* p, Rgb c, int tolerance = 4) { return testing::closeTo(p, c, tolerance); }

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

TEST(JpegDecoder, ColourPictureComesBottomRowFirst) {
    auto d = decode(jpegFile(64, 32, [](int, int y) { return y < 16 ? Rgb{255, 0, 0} : Rgb{0, 0, 255}; }));
    ASSERT_TRUE(d->image);
    const TextureImage& image = *d->image;
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 32);
    EXPECT_EQ(image.bytesPerPixel, 3);
    EXPECT_EQ(image.format, unsigned(GL_RGB));
    ASSERT_EQ(image.pixels.size(), 32u * 192u);
    EXPECT_TRUE(near(image.pixel(0, 0), {0, 0, 255}));    // the picture's bottom row: blue
    EXPECT_TRUE(near(image.pixel(63, 31), {255, 0, 0}));  // its top row: red
    EXPECT_TRUE(d->prompt.messages().empty());
}

TEST(JpegDecoder, SubsampledChromaKeepsTheRowOrder) {
    for (bool fullChroma : {true, false}) {
        auto d = decode(jpegFile(32, 64, [](int, int y) { return stripe(y); }, 3, fullChroma));
        ASSERT_TRUE(d->image);
        for (int k = 0; k < 64; ++k) {
            const int y = 63 - k;  // picture row stored in row k
            if (y % 16 < 2 || y % 16 > 13) continue;  // chroma blends across stripe edges
            EXPECT_TRUE(near(d->image->pixel(5, k), stripe(y), 6)) << "row " << k << " full " << fullChroma;
        }
    }
}

TEST(JpegDecoder, GreyscaleBecomesRgbAndCmykIsRefused) {
    auto d = decode(jpegFile(16, 16, [](int, int y) { return y < 8 ? Rgb{200, 0, 0} : Rgb{40, 0, 0}; }, 1));
    ASSERT_TRUE(d->image);
    EXPECT_EQ(d->image->bytesPerPixel, 3);
    ASSERT_EQ(d->image->pixels.size(), 16u * 16u * 3u);
    EXPECT_TRUE(near(d->image->pixel(3, 0), {40, 40, 40}, 2));
    EXPECT_TRUE(near(d->image->pixel(3, 15), {200, 200, 200}, 2));

    d = decode(jpegFile(8, 8, [](int, int) { return Rgb{1, 2, 3}; }, 4), "cmyk.jpg");
    EXPECT_FALSE(d->image);
    EXPECT_EQ(d->prompt.transcript(),
              std::vector<std::string>{"message Error: JPG Texture File: cmyk.jpg is not an RGB or Greyscale picture."});
}

TEST(JpegDecoder, UndecodableDataIsRefusedWithoutEndingTheProgram) {
    const std::string notJpeg = "hello, this is no picture";
    std::unique_ptr<Decoded> d;
    ASSERT_NO_THROW(d = decode(Bytes(notJpeg.begin(), notJpeg.end()), "bad.jpg"));
    EXPECT_FALSE(d->image);
    EXPECT_EQ(d->prompt.transcript(), std::vector<std::string>{"message Error: JPG Texture File: bad.jpg could not be decoded."});
    ASSERT_FALSE(d->libraryTexts.empty());
    EXPECT_NE(d->libraryTexts.back().find("Not a JPEG file"), std::string::npos);

    // A broken Huffman table: every code length count set to 255.
    Bytes file = jpegFile(16, 16, [](int x, int y) { return Rgb{std::uint8_t(x * 16), std::uint8_t(y * 16), 0}; });
    const std::size_t dht = marker(file, 0xC4);
    ASSERT_NE(dht, 0u);
    for (std::size_t i = dht + 5; i < dht + 21; ++i) file[i] = 0xFF;
    ASSERT_NO_THROW(d = decode(file, "huff.jpg"));
    EXPECT_FALSE(d->image);
    EXPECT_EQ(d->prompt.messageTexts(), std::vector<std::string>{"JPG Texture File: huff.jpg could not be decoded."});

    // A cut-off file is only a warning: the picture comes out in full size.
    Bytes cut = jpegFile(32, 32, [](int, int y) { return stripe(y); });
    const std::size_t scan = marker(cut, 0xDA);  // start of scan
    ASSERT_NE(scan, 0u);
    cut.resize(scan + (cut.size() - scan) / 2);
    d = decode(cut);
    ASSERT_TRUE(d->image);
    EXPECT_EQ(d->image->pixels.size(), 32u * 32u * 3u);
    EXPECT_TRUE(d->prompt.messages().empty());
    EXPECT_FALSE(d->libraryTexts.empty());
}

TEST(JpegDecoder, HeaderSizeIsCheckedBeforeDecoding) {
    Bytes file = jpegFile(8, 8, [](int, int) { return Rgb{9, 9, 9}; });
    const std::size_t frame = marker(file, 0xC0);
    ASSERT_NE(frame, 0u);
    file[frame + 5] = file[frame + 7] = 0xEA, file[frame + 6] = file[frame + 8] = 0x60;  // 60000 × 60000
    auto d = decode(file, "big.jpg");
    EXPECT_FALSE(d->image);
    EXPECT_EQ(d->prompt.messageTexts(), std::vector<std::string>{"JPG Texture File: big.jpg is too large (60000 x 60000)."});

    RecordingPrompt prompt;
    EXPECT_FALSE(JpegDecoder(prompt).decodeJpeg("/nonexistent/a.jpg"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: Unable to load JPG File!"});
}

}  // namespace
}  // namespace velmora
