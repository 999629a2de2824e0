#include "textures/DibReader.h"

#include "PictureWriters.h"
#include "platform/RecordingPrompt.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::BmpSpec;
using testing::Bytes;
using testing::bmpFile;
using testing::bmpRows;

std::optional<TextureImage> read(RecordingPrompt& prompt, const BmpSpec& layout) {
    const Bytes file = bmpFile(layout);
    return DibReader(prompt).readDibMemory(file.data(), file.size());
}

// A palette whose entry i is red i, green 2i, blue 3i (stored B, G, R, 0).
Bytes rampPalette(int entries, bool core = false) {
    Bytes p;
    for (int i = 0; i < entries; ++i) {
        p.insert(p.end(), {std::uint8_t(3 * i), std::uint8_t(2 * i), std::uint8_t(i)});
        if (!core) p.push_back(0);
    }
    return p;
}
Bytes ramp(std::initializer_list<int> indices) {
    Bytes out;
    for (int i : indices) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i)});
    return out;
}

TEST(DibReader, TrueColourRowsLoseTheirPaddingAndKeepTheirOrder) {
    RecordingPrompt prompt;
    BmpSpec s;
    s.width = 3, s.height = 2;
    s.pixels = bmpRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}});
    ASSERT_EQ(s.pixels.size(), 24u);  // 12-byte rows
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 3);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->format, unsigned(GL_RGB));
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}));

    // 32-bit: B, G, R and an unused byte.
    s.bitCount = 32, s.width = 2, s.height = 1;
    s.pixels = {1, 2, 3, 99, 4, 5, 6, 99};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 6, 5, 4}));

    // Stored top row first (negative height): the bottom row still comes first.
    s.bitCount = 24, s.width = 1, s.height = -2;
    s.pixels = bmpRows({{0, 0, 255}, {255, 0, 0}});  // red on top, blue below
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->pixels, (Bytes{0, 0, 255, 255, 0, 0}));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, PalettePicturesOfEachDepth) {
    RecordingPrompt prompt;
    BmpSpec s;
    s.bitCount = 8, s.width = 3, s.height = 2;
    s.palette = rampPalette(256);
    s.pixels = bmpRows({{0, 85, 17}, {1, 2, 3}});
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, ramp({0, 85, 17, 1, 2, 3}));

    s.bitCount = 4, s.width = 3, s.height = 1;
    s.palette = rampPalette(16);
    s.pixels = bmpRows({{0x12, 0x3F}});
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, ramp({1, 2, 3}));

    s.bitCount = 1, s.width = 10, s.height = 1;
    s.palette = rampPalette(2);
    s.pixels = bmpRows({{0xA0, 0xC0}});  // 1010000011
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1}));

    // Without a file header the pixels follow the colour table.
    s.fileHeader = false;
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1}));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, CoreHeaderIsNormalisedToTheInfoHeader) {
    BmpSpec s;
    s.headerSize = 12, s.bitCount = 1, s.width = 10, s.height = 3;
    s.palette = {1, 2, 3, 4, 5, 6};
    s.pixels = bmpRows({{0xA0, 0xC0}, {0, 0}, {0xFF, 0xFF}});
    const Bytes file = bmpFile(s);
    auto dib = normaliseDib(file.data(), file.size());
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->header.size, 40u);
    EXPECT_EQ(dib->header.width, 10);
    EXPECT_EQ(dib->header.height, 3);
    EXPECT_EQ(dib->header.bitCount, 1);
    EXPECT_EQ(dib->header.compression, 0u);
    EXPECT_EQ(dib->header.imageSize, 6u);  // ((1 × 10 + 7) / 8) × 3
    EXPECT_EQ(dib->header.coloursUsed, 2u);
    EXPECT_EQ(dib->header.coloursImportant, 2u);
    ASSERT_EQ(dib->colours.size(), 2u);
    EXPECT_EQ(dib->colours[0].blue, 1);
    EXPECT_EQ(dib->colours[1].red, 6);
    EXPECT_EQ(dib->colours[1].reserved, 0);
    EXPECT_EQ(dib->pixelOffset, 14u + 12u + 6u);

    RecordingPrompt prompt;
    auto image = DibReader(prompt).readDibMemory(file.data(), file.size());
    ASSERT_TRUE(image);
    const Bytes one{3, 2, 1}, two{6, 5, 4};
    EXPECT_EQ(Bytes(image->pixel(0, 0), image->pixel(0, 0) + 3), two);
    EXPECT_EQ(Bytes(image->pixel(1, 0), image->pixel(1, 0) + 3), one);
    EXPECT_EQ(Bytes(image->pixel(9, 2), image->pixel(9, 2) + 3), two);

    // A 40-byte header keeps its fields; only empty ones are filled in.
    BmpSpec info;
    info.bitCount = 8, info.width = 3, info.height = -2, info.coloursUsed = 0x10004;
    info.palette = rampPalette(4);
    const Bytes infoFile = bmpFile(info);
    dib = normaliseDib(infoFile.data(), infoFile.size());
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->colours.size(), 4u);  // only the low 16 bits count
    EXPECT_EQ(dib->header.coloursUsed, 0x10004u);
    EXPECT_EQ(dib->header.imageSize, 6u);
}

TEST(DibReader, SixteenAndThirtyTwoBitFields) {
    RecordingPrompt prompt;
    BmpSpec s;
    s.bitCount = 16, s.width = 4, s.height = 1;
    s.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42};  // 5-5-5: red, green, blue, 16/31 grey
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132}));

    s.compression = kDibBitFields, s.width = 2;
    s.masks = {0xF800, 0x07E0, 0x001F};  // 5-6-5
    s.pixels = {0xFF, 0xFF, 0x00, 0x04};  // white; green 32 of 63
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{255, 255, 255, 0, 130, 0}));

    s.bitCount = 32, s.width = 1;
    s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // stored R, G, B, unused
    s.pixels = {1, 2, 3, 0};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{1, 2, 3}));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, RunLengthPictures) {
    RecordingPrompt prompt;
    BmpSpec s;
    s.bitCount = 8, s.compression = kDibRle8, s.width = 4, s.height = 3;
    s.palette = rampPalette(8);
    s.pixels = {3, 1, 0, 0,              // three of 1, end of line
                0, 3, 2, 3, 4, 0,        // literal 2, 3, 4 (padded)
                0, 0,                    // end of line
                0, 2, 1, 0, 1, 5,        // jump right by 1, one 5
                0, 1,                    // end of picture
                9, 9};                   // never read
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    Bytes black{0, 0, 0};
    Bytes expected = ramp({1, 1, 1});
    expected.insert(expected.end(), black.begin(), black.end());
    Bytes row1 = ramp({2, 3, 4});
    expected.insert(expected.end(), row1.begin(), row1.end());
    expected.insert(expected.end(), black.begin(), black.end());
    expected.insert(expected.end(), black.begin(), black.end());
    Bytes row2 = ramp({5});
    expected.insert(expected.end(), row2.begin(), row2.end());
    expected.insert(expected.end(), black.begin(), black.end());
    expected.insert(expected.end(), black.begin(), black.end());
    EXPECT_EQ(image->pixels, expected);

    s.bitCount = 4, s.compression = kDibRle4, s.width = 5, s.height = 2;
    s.palette = rampPalette(16);
    s.pixels = {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    Bytes rle4 = ramp({1, 2, 1, 2, 1, 3, 4, 5});
    rle4.insert(rle4.end(), 6, 0);
    EXPECT_EQ(image->pixels, rle4);

    // Runs past the row end and the last row are dropped.
    s.bitCount = 8, s.compression = kDibRle8, s.width = 2, s.height = 1;
    s.pixels = {255, 1, 0, 0, 255, 2, 0, 2, 0, 200, 255, 3};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, ramp({1, 1}));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, DamagedDataNeverReadsOutside) {
    RecordingPrompt prompt;
    BmpSpec s;
    s.bitCount = 8, s.width = 2, s.height = 2, s.coloursUsed = 2;
    s.palette = rampPalette(2);
    s.pixels = {1, 200, 0, 0, 1};  // index 200 is beyond the table; the second row is cut short
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    Bytes expected = ramp({1, 0});
    expected[3] = expected[4] = expected[5] = 0;
    Bytes second = ramp({1});
    expected.insert(expected.end(), second.begin(), second.end());
    expected.insert(expected.end(), 3, 0);
    EXPECT_EQ(image->pixels, expected);

    // A pixel offset beyond the file: all black.
    s.bitCount = 24, s.coloursUsed = 0, s.palette.clear(), s.pixels.clear();
    Bytes file = bmpFile(s);
    file[10] = 0xFF, file[11] = 0xFF;
    image = DibReader(prompt).readDibMemory(file.data(), file.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, Bytes(12, 0));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, RefusalsShowOneErrorBox) {
    auto refused = [](const Bytes& file) {
        RecordingPrompt prompt;
        EXPECT_FALSE(DibReader(prompt).readDibMemory(file.data(), file.size()));
        EXPECT_EQ(prompt.messages().size(), 1u);
        return prompt.messages().empty() ? RecordingPrompt::Message{} : prompt.messages()[0];
    };
    BmpSpec s;
    s.headerSize = 108;
    auto m = refused(bmpFile(s));
    EXPECT_EQ(m.text, "Unknown DIB file format.");
    EXPECT_EQ(m.caption, "Error");
    EXPECT_FALSE(m.frameworkBox);
    EXPECT_EQ(refused(Bytes{'B', 'M', 0, 0}).text, "Unknown DIB file format.");
    Bytes cut = bmpFile(BmpSpec{});
    cut.resize(30);
    EXPECT_EQ(refused(cut).text, "Unknown DIB file format.");

    s = BmpSpec{};
    s.width = 0;
    EXPECT_EQ(refused(bmpFile(s)).text, "Image file conversion error.");
    s = BmpSpec{};
    s.compression = 4;  // an embedded JPEG
    EXPECT_EQ(refused(bmpFile(s)).text, "Image file conversion error.");
    s = BmpSpec{};
    s.bitCount = 8, s.compression = kDibRle4;
    EXPECT_EQ(refused(bmpFile(s)).text, "Image file conversion error.");

    s = BmpSpec{};
    s.width = 65537;
    EXPECT_EQ(refused(bmpFile(s)).text, "DIB image is too large (65537 x 1 pixels).");
    s.width = 0x7FFFFFFF, s.height = static_cast<std::int32_t>(0x80000000u);
    EXPECT_EQ(refused(bmpFile(s)).text, "DIB image is too large (2147483647 x 2147483648 pixels).");
    s.width = 16385, s.height = 16384;  // one pixel row beyond 2^28
    EXPECT_EQ(refused(bmpFile(s)).text, "DIB image is too large (16385 x 16384 pixels).");

    RecordingPrompt prompt;
    EXPECT_FALSE(DibReader(prompt).readDib("/nonexistent/x.bmp"));
    ASSERT_EQ(prompt.messages().size(), 1u);
    EXPECT_EQ(prompt.messages()[0].text, "Failed to open DIB file /nonexistent/x.bmp.\n");
    EXPECT_EQ(prompt.messages()[0].caption, "Error");
}

}  // namespace
}  // namespace velmora
