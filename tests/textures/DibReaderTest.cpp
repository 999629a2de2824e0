#include "textures/DibReader.h"

#include "PictureWriters.h"
#include "platform/RecordingPrompt.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::BmpLayout;
using testing::Bytes;
using testing::bmpFile;
using testing::bmpRows;

std::optional<TextureImage> read(RecordingPrompt& prompt, const BmpLayout& layout) {
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
// The RGB pixels of those palette indices; index 0 doubles as black.
Bytes ramp(std::initializer_list<int> indices) {
    Bytes out;
    for (int i : indices) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i)});
    return out;
}

BmpLayout bmpLayout(unsigned bitCount, std::int32_t width, std::int32_t height, Bytes pixels, Bytes palette = {},
             std::uint32_t compression = 0, std::vector<std::uint32_t> masks = {}) {
    BmpLayout s;
    s.bitCount = bitCount, s.width = width, s.height = height, s.compression = compression;
    s.pixels = std::move(pixels), s.palette = std::move(palette), s.masks = std::move(masks);
    return s;
}

// Pictures that decode without a message, with their RGB pixels bottom row first.
TEST(DibReader, PicturesOfEveryDepthAndCompressionDecodeToKnownPixels) {
    BmpLayout noFileHeader = bmpLayout(1, 10, 1, bmpRows({{0xA0, 0xC0}}), rampPalette(2));
    noFileHeader.fileHeader = false;  // the pixels then follow the colour table
    BmpLayout damaged = bmpLayout(8, 2, 2, {1, 200, 0, 0, 1}, rampPalette(2));
    damaged.coloursUsed = 2;
    struct Case {
        const char* name;
        BmpLayout layout;
        Bytes expected;
    };
    const Case cases[] = {
        // 12-byte rows lose their padding; B, G, R becomes R, G, B.
        {"24-bit", bmpLayout(24, 3, 2, bmpRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}})),
         {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}},
        {"32-bit: B, G, R and an unused byte", bmpLayout(32, 2, 1, {1, 2, 3, 99, 4, 5, 6, 99}), {3, 2, 1, 6, 5, 4}},
        // Red stored on top, blue below: the bottom row still comes first.
        {"top-down", bmpLayout(24, 1, -2, bmpRows({{0, 0, 255}, {255, 0, 0}})), {0, 0, 255, 255, 0, 0}},
        {"8-bit palette", bmpLayout(8, 3, 2, bmpRows({{0, 85, 17}, {1, 2, 3}}), rampPalette(256)), ramp({0, 85, 17, 1, 2, 3})},
        {"4-bit palette", bmpLayout(4, 3, 1, bmpRows({{0x12, 0x3F}}), rampPalette(16)), ramp({1, 2, 3})},
        {"1-bit palette", bmpLayout(1, 10, 1, bmpRows({{0xA0, 0xC0}}), rampPalette(2)),  // 1010000011
         ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1})},
        {"no file header", noFileHeader, ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1})},
        // 5-5-5: red, green, blue, 16/31 grey.
        {"16-bit", bmpLayout(16, 4, 1, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}),
         {255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132}},
        // 5-6-5: white; green 32 of 63.
        {"16-bit fields", bmpLayout(16, 2, 1, {0xFF, 0xFF, 0x00, 0x04}, {}, kDibBitFields, {0xF800, 0x07E0, 0x001F}),
         {255, 255, 255, 0, 130, 0}},
        {"32-bit fields stored R, G, B, unused",
         bmpLayout(32, 1, 1, {1, 2, 3, 0}, {}, kDibBitFields, {0x000000FF, 0x0000FF00, 0x00FF0000}), {1, 2, 3}},
        {"RLE8",
         bmpLayout(8, 4, 3,
              {3, 1, 0, 0,           // three of 1, end of line
               0, 3, 2, 3, 4, 0,     // literal 2, 3, 4 (padded)
               0, 0,                 // end of line
               0, 2, 1, 0, 1, 5,     // jump right by 1, one 5
               0, 1,                 // end of picture
               9, 9},                // never read
              rampPalette(8), kDibRle8),
         ramp({1, 1, 1, 0, 2, 3, 4, 0, 0, 5, 0, 0})},
        {"RLE4", bmpLayout(4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, rampPalette(16), kDibRle4),
         ramp({1, 2, 1, 2, 1, 3, 4, 5, 0, 0})},
        {"RLE8 runs past the row end and the last row are dropped",
         bmpLayout(8, 2, 1, {255, 1, 0, 0, 255, 2, 0, 2, 0, 200, 255, 3}, rampPalette(8), kDibRle8), ramp({1, 1})},
        // Index 200 is beyond the table; the second row is cut short.
        {"damaged", damaged, ramp({1, 0, 1, 0})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPrompt prompt;
        const auto image = read(prompt, c.layout);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.layout.width);
        EXPECT_EQ(image->height, std::abs(c.layout.height));
        EXPECT_EQ(image->format, unsigned(GL_RGB));
        EXPECT_EQ(image->pixels, c.expected);
        EXPECT_TRUE(prompt.messages().empty());
    }

    // A pixel offset beyond the file: all black.
    Bytes file = bmpFile(bmpLayout(24, 2, 2, {}));
    file[10] = 0xFF, file[11] = 0xFF;
    RecordingPrompt prompt;
    const auto image = DibReader(prompt).readDibMemory(file.data(), file.size());
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, Bytes(12, 0));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(DibReader, CoreHeaderIsNormalisedToTheInfoHeader) {
    BmpLayout s = bmpLayout(1, 10, 3, bmpRows({{0xA0, 0xC0}, {0, 0}, {0xFF, 0xFF}}), {1, 2, 3, 4, 5, 6});
    s.headerSize = 12;
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
    BmpLayout info = bmpLayout(8, 3, -2, {}, rampPalette(4));
    info.coloursUsed = 0x10004;
    const Bytes infoFile = bmpFile(info);
    dib = normaliseDib(infoFile.data(), infoFile.size());
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->colours.size(), 4u);  // only the low 16 bits count
    EXPECT_EQ(dib->header.coloursUsed, 0x10004u);
    EXPECT_EQ(dib->header.imageSize, 6u);
}

TEST(DibReader, RefusalsShowOneErrorBox) {
    BmpLayout v4Header;
    v4Header.headerSize = 108;
    Bytes cut = bmpFile(BmpLayout{});
    cut.resize(30);
    const auto sized = [](std::int32_t width, std::int32_t height) { return bmpFile(bmpLayout(24, width, height, {})); };
    struct Case {
        Bytes file;
        std::string text;
    };
    const Case cases[] = {
        {bmpFile(v4Header), "Unknown DIB file format."},
        {{'B', 'M', 0, 0}, "Unknown DIB file format."},
        {cut, "Unknown DIB file format."},
        {sized(0, 1), "Image file conversion error."},
        {bmpFile(bmpLayout(24, 1, 1, {}, {}, 4)), "Image file conversion error."},  // an embedded JPEG
        {bmpFile(bmpLayout(8, 1, 1, {}, {}, kDibRle4)), "Image file conversion error."},
        {sized(65537, 1), "DIB image is too large (65537 x 1 pixels)."},
        {sized(0x7FFFFFFF, static_cast<std::int32_t>(0x80000000u)),
         "DIB image is too large (2147483647 x 2147483648 pixels)."},
        {sized(16385, 16384), "DIB image is too large (16385 x 16384 pixels)."},  // one row beyond 2^28
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingPrompt prompt;
        EXPECT_FALSE(DibReader(prompt).readDibMemory(c.file.data(), c.file.size()));
        ASSERT_EQ(prompt.messages().size(), 1u);
        EXPECT_EQ(prompt.messages()[0].text, c.text);
        EXPECT_EQ(prompt.messages()[0].caption, "Error");
        EXPECT_FALSE(prompt.messages()[0].frameworkBox);
    }

    RecordingPrompt prompt;
    EXPECT_FALSE(DibReader(prompt).readDib("/nonexistent/x.bmp"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: Failed to open DIB file /nonexistent/x.bmp.\n"});
}

}  // namespace
}  // namespace velmora
