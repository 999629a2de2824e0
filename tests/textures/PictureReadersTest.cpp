// The BMP, TGA and PNG readers over files built field by field: one table of
// pictures with the pixels they decode to (bottom row first) or the one
// message that refuses them; the JPEG decoder's refusals too.

#include "textures/DibReader.h"
#include "textures/JpegDecoder.h"
#include "textures/PngReader.h"
#include "textures/TgaReader.h"

#include "PictureWriters.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <zlib.h>

namespace velmora {
namespace {

using namespace testing;

enum class Kind { Bmp, Tga, Png, Jpeg };

struct Row {
    std::string name;
    Kind kind;
    Bytes file;
    std::string result;  // "W x H format" or the message's transcript line
    Bytes pixels{};
    unsigned options = 0;
};

std::optional<TextureImage> read(Prompt& prompt, Kind kind, const Bytes& file, unsigned options = 0) {
    if (kind == Kind::Bmp) return DibReader(prompt).readDibMemory(file.data(), file.size());
    if (kind == Kind::Tga) return TgaReader(prompt).readTgaMemory(file.data(), file.size(), "pic.tga", options);
    if (kind == Kind::Jpeg)
        return JpegDecoder(prompt, [](std::string_view) {}).decodeJpegMemory(file.data(), file.size(), "pic.jpg");
    return PngReader(prompt).readPngMemory(file.data(), file.size(), "pic.png");
}

std::string outcome(const RecordingPrompt& prompt, const std::optional<TextureImage>& image) {
    std::string s;
    for (const auto& line : prompt.transcript()) s += line;
    if (!image) return s;
    const char* format = image->format == GL_RGB ? "RGB" : image->format == GL_RGBA ? "RGBA"
                       : image->format == GL_LUMINANCE ? "LUMINANCE" : image->format == GL_ALPHA ? "ALPHA" : "?";
    return s + std::to_string(image->width) + " x " + std::to_string(image->height) + " " + format;
}

// A palette whose entry i is red i, green 2i, blue 3i (stored B, G, R (, 0)),
// and the RGB pixels of such indices.
Bytes rampPalette(int entries, bool core = false) {
    Bytes p;
    for (int i = 0; i < entries; ++i) {
        p.insert(p.end(), {std::uint8_t(3 * i), std::uint8_t(2 * i), std::uint8_t(i)});
        if (!core) p.push_back(0);
    }
    return p;
}
Bytes ramp(std::vector<int> indices) {
    Bytes out;
    for (int i : indices) out.insert(out.end(), {std::uint8_t(i), std::uint8_t(2 * i), std::uint8_t(3 * i)});
    return out;
}

// A PNG assembled by hand: the rows (each after its filter byte) in one stored deflate block.
Bytes png(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colourType, const Bytes& rows,
          const std::vector<std::pair<const char*, Bytes>>& more = {}) {
    Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto be32 = [](Bytes& b, std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(std::uint8_t(v >> s));
    };
    const auto chunk = [&](const char* type, const Bytes& data) {
        be32(out, std::uint32_t(data.size()));
        const std::size_t start = out.size();
        out.insert(out.end(), type, type + 4);
        out.insert(out.end(), data.begin(), data.end());
        be32(out, std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
    };
    Bytes header;
    be32(header, width), be32(header, height), header.insert(header.end(), {depth, colourType, 0, 0, 0});
    chunk("IHDR", header);
    for (const auto& [type, data] : more) chunk(type, data);
    const auto n = std::uint16_t(rows.size());
    Bytes z{0x78, 0x01, 0x01, std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(~n), std::uint8_t(~n >> 8)};
    z.insert(z.end(), rows.begin(), rows.end());
    be32(z, std::uint32_t(adler32(1, rows.data(), uInt(rows.size()))));
    chunk("IDAT", z);
    chunk("IEND", {});
    return out;
}

std::vector<Row> rows() {
    // Without the file header the pixels follow the colour table.
    const BmpLayout noFileHeader{1, 10, 1, bmpRows({{0xA0, 0xC0}}), rampPalette(2), 0, {}, 0, 40, false};
    const BmpLayout core{1, 10, 3, bmpRows({{0xA0, 0xC0}, {0, 0}, {0xFF, 0xFF}}), rampPalette(2, true), 0, {}, 0, 12};
    // Only the low 16 bits of the colour count count.
    const BmpLayout wideCount{8, 3, 1, {1, 2, 3, 0}, rampPalette(4), 0, {}, 0x10004, 40, false};
    Bytes farPixels = bmpFile({24, 2, 2}), cutBmp = bmpFile({});
    farPixels[10] = 0xFF, farPixels[11] = 0xFF;
    cutBmp.resize(30);
    const auto sized = [](std::int32_t w, std::int32_t h) { return bmpFile({24, w, h}); };
    const std::string dibError = "message Error: ", tgaError = "message Velmora: TGA Texture File: pic.tga ";

    const TgaLayout withId{2, 24, 1, 1, {0x10, 0x20, 0x30}, 0, {'h', 'e', 'l', 'l', 'o'}, Bytes(6, 9)};
    const TgaLayout topDown{2, 24, 1, 2, {0, 0, 255, 255, 0, 0}, 0x20};  // top row red, then blue
    TgaLayout odd{2, 24, 3, 3};  // pixel i holds (i, i, i + 100), stored B, G, R; rows are not padded
    Bytes oddRgb;
    for (std::uint8_t i = 0; i < 9; ++i) {
        odd.body.insert(odd.body.end(), {std::uint8_t(i + 100), i, i});
        oddRgb.insert(oddRgb.end(), {i, i, std::uint8_t(i + 100)});
    }
    using namespace tgaOptions;
    const std::string pngError = "message Error: PNG Texture File: pic.png ";
    Bytes cutPng = png(2, 2, 8, 2, Bytes(14, 1));
    cutPng.resize(40);
    const std::string jpegError = "message Error: JPG Texture File: pic.jpg ";
    Bytes bigJpeg = jpegFile(8, 8, [](int, int) { return Rgb{9, 9, 9}; });
    const std::size_t frame = jpegMarker(bigJpeg, 0xC0);
    bigJpeg[frame + 5] = bigJpeg[frame + 7] = 0xEA, bigJpeg[frame + 6] = bigJpeg[frame + 8] = 0x60;  // 60000 × 60000

    return {
        // 12-byte rows lose their padding; B, G, R becomes R, G, B.
        {"bmp 24-bit", Kind::Bmp, bmpFile({24, 3, 2, bmpRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}})}),
         "3 x 2 RGB", {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10, 15, 14, 13, 18, 17, 16}},
        {"bmp 32-bit", Kind::Bmp, bmpFile({32, 2, 1, {1, 2, 3, 99, 4, 5, 6, 99}}), "2 x 1 RGB", {3, 2, 1, 6, 5, 4}},
        {"bmp top-down", Kind::Bmp, bmpFile({24, 1, -2, bmpRows({{0, 0, 255}, {255, 0, 0}})}), "1 x 2 RGB", {0, 0, 255, 255, 0, 0}},
        {"bmp 8-bit", Kind::Bmp, bmpFile({8, 3, 2, bmpRows({{0, 85, 17}, {1, 2, 3}}), rampPalette(256)}), "3 x 2 RGB", ramp({0, 85, 17, 1, 2, 3})},
        {"bmp 4-bit", Kind::Bmp, bmpFile({4, 3, 1, bmpRows({{0x12, 0x3F}}), rampPalette(16)}), "3 x 1 RGB", ramp({1, 2, 3})},
        {"bmp 1-bit", Kind::Bmp, bmpFile({1, 10, 1, bmpRows({{0xA0, 0xC0}}), rampPalette(2)}), "10 x 1 RGB", ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1})},
        {"bmp without file header", Kind::Bmp, bmpFile(noFileHeader), "10 x 1 RGB", ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1})},
        {"bmp core header", Kind::Bmp, bmpFile(core), "10 x 3 RGB",
         ramp({1, 0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1})},
        {"bmp colour count over 16 bits", Kind::Bmp, bmpFile(wideCount), "3 x 1 RGB", ramp({1, 2, 3})},
        // 5-5-5: red, green, blue, 16/31 grey; 5-6-5: white, green 32 of 63.
        {"bmp 16-bit", Kind::Bmp, bmpFile({16, 4, 1, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}}), "4 x 1 RGB",
         {255, 0, 0, 0, 255, 0, 0, 0, 255, 132, 132, 132}},
        {"bmp 16-bit fields", Kind::Bmp, bmpFile({16, 2, 1, {0xFF, 0xFF, 0x00, 0x04}, {}, kDibBitFields, {0xF800, 0x07E0, 0x001F}}),
         "2 x 1 RGB", {255, 255, 255, 0, 130, 0}},
        {"bmp 32-bit fields", Kind::Bmp, bmpFile({32, 1, 1, {1, 2, 3, 0}, {}, kDibBitFields, {0xFF, 0xFF00, 0xFF0000}}),
         "1 x 1 RGB", {1, 2, 3}},
        // Three of 1, end of line; literal 2, 3, 4 (padded); end of line; jump right 1, one 5; end of picture.
        {"bmp RLE8", Kind::Bmp, bmpFile({8, 4, 3, {3, 1, 0, 0, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 1, 0, 1, 5, 0, 1, 9, 9}, rampPalette(8), kDibRle8}),
         "4 x 3 RGB", ramp({1, 1, 1, 0, 2, 3, 4, 0, 0, 5, 0, 0})},
        {"bmp RLE4", Kind::Bmp, bmpFile({4, 5, 2, {5, 0x12, 0, 0, 0, 3, 0x34, 0x50, 0, 1}, rampPalette(16), kDibRle4}),
         "5 x 2 RGB", ramp({1, 2, 1, 2, 1, 3, 4, 5, 0, 0})},
        {"bmp RLE8 runs past the row end", Kind::Bmp, bmpFile({8, 2, 1, {255, 1, 0, 0, 255, 2, 0, 2, 0, 200, 255, 3}, rampPalette(8), kDibRle8}),
         "2 x 1 RGB", ramp({1, 1})},
        // Index 200 is beyond the table; the second row is cut short.
        {"bmp damaged", Kind::Bmp, bmpFile({8, 2, 2, {1, 200, 0, 0, 1}, rampPalette(2), 0, {}, 2}), "2 x 2 RGB", ramp({1, 0, 1, 0})},
        {"bmp pixels beyond the file", Kind::Bmp, farPixels, "2 x 2 RGB", Bytes(12, 0)},
        {"bmp v4 header", Kind::Bmp, bmpFile({24, 1, 1, {}, {}, 0, {}, 0, 108}), dibError + "Unknown DIB file format."},
        {"bmp too short", Kind::Bmp, {'B', 'M', 0, 0}, dibError + "Unknown DIB file format."},
        {"bmp cut header", Kind::Bmp, cutBmp, dibError + "Unknown DIB file format."},
        {"bmp zero width", Kind::Bmp, sized(0, 1), dibError + "Image file conversion error."},
        {"bmp embedded JPEG", Kind::Bmp, bmpFile({24, 1, 1, {}, {}, 4}), dibError + "Image file conversion error."},
        {"bmp RLE4 at 8 bits", Kind::Bmp, bmpFile({8, 1, 1, {}, {}, kDibRle4}), dibError + "Image file conversion error."},
        {"bmp too wide", Kind::Bmp, sized(65537, 1), dibError + "DIB image is too large (65537 x 1 pixels)."},
        {"bmp huge", Kind::Bmp, sized(0x7FFFFFFF, std::int32_t(0x80000000u)), dibError + "DIB image is too large (2147483647 x 2147483648 pixels)."},
        {"bmp one row beyond 2^28", Kind::Bmp, sized(16385, 16384), dibError + "DIB image is too large (16385 x 16384 pixels)."},

        {"tga raw 24-bit", Kind::Tga, tgaFile({2, 24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}), "2 x 2 RGB", {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
        {"tga raw 32-bit", Kind::Tga, tgaFile({2, 32, 1, 1, {10, 20, 30, 40}}), "1 x 1 RGBA", {30, 20, 10, 40}},
        {"tga image ID and colour map skipped", Kind::Tga, tgaFile(withId), "1 x 1 RGB", {0x30, 0x20, 0x10}},
        {"tga top-down", Kind::Tga, tgaFile(topDown), "1 x 2 RGB", {0, 0, 255, 255, 0, 0}},
        {"tga odd size", Kind::Tga, tgaFile(odd), "3 x 3 RGB", oddRgb},
        // A run of 4 copies, then a raw packet of 2 pixels.
        {"tga run-length", Kind::Tga, tgaFile({10, 32, 3, 2, {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}}), "3 x 2 RGBA",
         {3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}},
        // 128 copies into a picture of 2 pixels, then a raw packet of 128 more.
        {"tga packets past the end", Kind::Tga, tgaFile({10, 24, 2, 1, {0xFF, 1, 2, 3, 0x7F, 4, 5, 6}}), "2 x 1 RGB", {3, 2, 1, 3, 2, 1}},
        {"tga short raw file", Kind::Tga, tgaFile({2, 24, 2, 1, {1, 2, 3, 4}}), "2 x 1 RGB", {3, 2, 1, 0, 0, 0}},
        {"tga run cut off", Kind::Tga, tgaFile({10, 24, 2, 1, {0x81, 1, 2}}), "2 x 1 RGB", Bytes(6, 0)},
        {"tga grey as luminance", Kind::Tga, tgaFile({3, 8, 2, 1, {7, 200}}), "2 x 1 LUMINANCE", {7, 200}, greyAsLuminance | greyAsAlpha},
        {"tga grey as alpha", Kind::Tga, tgaFile({3, 8, 2, 1, {7, 200}}), "2 x 1 ALPHA", {7, 200}, greyAsAlpha},
        {"tga colour-mapped", Kind::Tga, tgaFile({1, 8, 2, 2}), tgaError + "uses 8-bit Colour (No Longer Supported)."},
        {"tga compressed colour-mapped", Kind::Tga, tgaFile({9, 8, 2, 2}), tgaError + "uses 8-bit Colour (No Longer Supported)."},
        {"tga 16-bit", Kind::Tga, tgaFile({2, 16, 2, 2}), tgaError + "has an Unsuported RGB Format (Must be 24 or 32 bpp)."},
        {"tga compressed 16-bit", Kind::Tga, tgaFile({10, 16, 2, 2}), tgaError + "uses an Unsupported Compressed RGB format."},
        {"tga grey without an option", Kind::Tga, tgaFile({3, 8, 2, 2}), tgaError + "has Unsuported Color Type (Must be Luminance or Alpha Greyscale)."},
        {"tga 16-bit grey", Kind::Tga, tgaFile({3, 16, 1, 1}), tgaError + "has an Unsupported Greyscale Format (Must be 8 bpp).", {}, greyAsLuminance},
        {"tga type 0", Kind::Tga, tgaFile({0, 24, 2, 2}), tgaError + "has an Unsupported Image Type (0)."},
        {"tga type 11", Kind::Tga, tgaFile({11, 24, 2, 2}), tgaError + "has an Unsupported Image Type (11)."},
        {"tga zero width", Kind::Tga, tgaFile({2, 24, 0, 2}), tgaError + "has an Invalid Size (0 x 2)."},
        {"tga negative height", Kind::Tga, tgaFile({2, 24, 4, -1}), tgaError + "has an Invalid Size (4 x -1)."},
        {"tga too large", Kind::Tga, tgaFile({2, 24, 32767, 32767}), tgaError + "is too large (32767 x 32767)."},

        // RGBA, top row red (alpha 0) and green, bottom row blue and grey (alpha 128): the alpha is dropped.
        {"png RGBA", Kind::Png, png(2, 2, 8, 6, {0, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 255, 128, 90, 90, 90, 255}),
         "2 x 2 RGB", {0, 0, 255, 90, 90, 90, 255, 0, 0, 0, 255, 0}},
        {"png grey", Kind::Png, png(2, 1, 8, 0, {0, 10, 200}), "2 x 1 RGB", {10, 10, 10, 200, 200, 200}},
        // Each 16-bit sample v becomes round(v / 257).
        {"png 16-bit", Kind::Png, png(1, 1, 16, 2, {0, 0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF}), "1 x 1 RGB", {18, 171, 255}},
        // A transparent palette entry keeps its colour.
        {"png palette", Kind::Png, png(2, 1, 8, 3, {0, 0, 1}, {{"PLTE", {1, 2, 3, 250, 100, 50}}, {"tRNS", {0, 255}}}),
         "2 x 1 RGB", {1, 2, 3, 250, 100, 50}},
        {"png junk", Kind::Png, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}, pngError + "could not be decoded."},
        {"png cut after the header", Kind::Png, cutPng, pngError + "could not be decoded."},
        // Refused by the header's size before its data is read.
        {"png huge", Kind::Png, png(100000, 100000, 8, 2, {}), pngError + "is too large (100000 x 100000)."},

        {"jpeg junk", Kind::Jpeg, {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'g'}, jpegError + "could not be decoded."},
        {"jpeg huge", Kind::Jpeg, bigJpeg, jpegError + "is too large (60000 x 60000)."},
        {"jpeg CMYK", Kind::Jpeg, jpegFile(8, 8, [](int, int) { return Rgb{1, 2, 3}; }, 4),
         jpegError + "is not an RGB or Greyscale picture."},
    };
}

TEST(PictureReaders, PicturesDecodeToKnownPixelsOrAreRefusedWithOneMessage) {
    for (const Row& row : rows()) {
        SCOPED_TRACE(row.name);
        RecordingPrompt prompt("Velmora");
        const auto image = read(prompt, row.kind, row.file, row.options);
        EXPECT_EQ(outcome(prompt, image), row.result);
        EXPECT_EQ(image ? image->pixels : Bytes{}, row.pixels);
    }
    // Masks cut off by the end of the data read as zero: the pixel, which is the red mask itself, is pure red.
    RecordingPrompt prompt;
    Bytes masksCut = bmpFile({32, 1, 1, {}, {}, kDibBitFields, {0xFF, 0xFF, 0xFF}});
    masksCut[10] = 54;  // the pixel offset: the first mask
    EXPECT_EQ(DibReader(prompt).readDibMemory(masksCut.data(), 58).value().pixels, (Bytes{255, 0, 0}));
    // Limits of the reader's own and files that are not there.
    PngReader reader(prompt);
    reader.setPixelLimit(3);
    const Bytes four = png(2, 2, 8, 0, {0, 1, 2, 0, 3, 4});
    EXPECT_FALSE(reader.readPngMemory(four.data(), four.size(), "four.png"));
    EXPECT_FALSE(reader.readPng("/nonexistent/a.png"));
    EXPECT_FALSE(DibReader(prompt).readDib("/nonexistent/x.bmp"));
    EXPECT_FALSE(TgaReader(prompt).loadTga("/nonexistent/a.tga", 0));
    EXPECT_FALSE(JpegDecoder(prompt).decodeJpeg("/nonexistent/a.jpg"));
    EXPECT_EQ(prompt.transcript(), (std::vector<std::string>{
                                        "message Error: PNG Texture File: four.png is too large (2 x 2).",
                                        "message Error: Unable to load PNG File!",
                                        "message Error: Failed to open DIB file /nonexistent/x.bmp.\n",
                                        "message velmora: Failed to open TGA Texture File: /nonexistent/a.tga.",
                                        "message Error: Unable to load JPG File!"}));
}

TEST(PictureReaders, TgaUploadKeepsTheAlignmentAndBuildsMipmaps) {
    auto gl = makeHeadlessSurface(8, 8);
    ASSERT_TRUE(gl);
    RecordingPrompt prompt;
    TgaReader reader(prompt);
    // Rows of three bytes upload under any alignment.
    const auto image = read(prompt, Kind::Tga, tgaFile({2, 24, 1, 4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    reader.uploadTga(image.value());  // into the default texture
    GLint alignment = 0, width = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    Bytes back(12, 0xEE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, image->pixels);
    // The upload builds the whole mipmap chain of a 4 × 2 picture.
    reader.uploadTga(read(prompt, Kind::Tga, tgaFile({2, 24, 4, 2, Bytes(24, 50)})).value());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
}  // namespace velmora
