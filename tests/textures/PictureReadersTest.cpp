// One table of pictures, each compared whole with its section of picture_readers.txt (its pixels or the one
// refusal); JPEG files the library wrote are decoded within its tolerance.
// What users rely on: rows come out bottom first whatever the file's order; BGR becomes RGB; palettes,
// 1/4/8/16/24/32 bits, masks and RLE decode; cut files keep black where data is missing; each refusal is one
// box with its reason; texture names resolve as given, then beside the model in any letter case.

#include "textures/DibReader.h"
#include "textures/JpegDecoder.h"
#include "textures/PngReader.h"
#include "textures/TgaReader.h"

#include "PictureWriters.h"
#include "platform/FatalExit.h"
#include "platform/RecordingPrompt.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <zlib.h>

namespace velmora {
namespace {

using namespace testing;

struct Row {
    std::string name;  // starts with the reader's name
    Bytes file;
    unsigned options = 0;
};

// The file is a copy of exactly its size, so that the sanitizer build sees any read past its end.
std::optional<TextureImage> read(Prompt& prompt, const std::string& name, const Bytes file, unsigned options) {
    if (name.rfind("bmp", 0) == 0) return DibReader(prompt).readDibMemory(file.data(), file.size());
    if (name.rfind("tga", 0) == 0) return TgaReader(prompt).readTgaMemory(file.data(), file.size(), "pic.tga", options);
    if (name.rfind("jpeg", 0) == 0)
        return JpegDecoder(prompt, [](std::string_view) {}).decodeJpegMemory(file.data(), file.size(), "pic.jpg");
    return PngReader(prompt).readPngMemory(file.data(), file.size(), "pic.png");
}

// The boxes shown, a line each; then size, format and pixels, a row to a line, channels joined by commas.
std::string dump(const RecordingPrompt& prompt, const std::optional<TextureImage>& image) {
    std::string s;
    for (const auto& line : prompt.transcript()) s += line + "\n";
    if (!image) return s;
    const int f = int(image->format), channels = f == GL_RGBA ? 4 : f == GL_RGB ? 3 : 1;
    s += std::to_string(image->width) + " x " + std::to_string(image->height) + " "
       + (f == GL_RGB ? "RGB" : f == GL_RGBA ? "RGBA" : f == GL_LUMINANCE ? "LUMINANCE" : f == GL_ALPHA ? "ALPHA" : "?");
    const std::size_t row = std::max<std::size_t>(1, std::size_t(image->width) * channels);
    for (std::size_t i = 0; i < image->pixels.size(); ++i)
        s += (i % row == 0 ? "\n" : i % channels == 0 ? " " : ",") + std::to_string(image->pixels[i]);
    return s + "\n";
}

// A palette whose entry i is red i, green 2i, blue 3i, stored B, G, R (, 0).
Bytes rampPalette(int entries, bool core = false) {
    Bytes p;
    for (int i = 0; i < entries; ++i) {
        p.insert(p.end(), {std::uint8_t(3 * i), std::uint8_t(2 * i), std::uint8_t(i)});
        if (!core) p.push_back(0);
    }
    return p;
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
    const TgaLayout withId{2, 24, 1, 1, {0x10, 0x20, 0x30}, 0, {'h', 'e', 'l', 'l', 'o'}, Bytes(6, 9)};
    const TgaLayout topDown{2, 24, 1, 2, {0, 0, 255, 255, 0, 0}, 0x20};  // top row red, then blue
    TgaLayout odd{2, 24, 3, 3};  // pixel i holds (i, i, i + 100), stored B, G, R; rows are not padded
    for (std::uint8_t i = 0; i < 9; ++i) odd.body.insert(odd.body.end(), {std::uint8_t(i + 100), i, i});
    using namespace tgaOptions;
    Bytes cutPng = png(2, 2, 8, 2, Bytes(14, 1));
    cutPng.resize(40);
    Bytes bigJpeg = jpegFile(8, 8, [](int, int) { return Rgb{9, 9, 9}; });
    const Bytes startOfFrame{0xFF, 0xC0};
    const auto frame = std::search(bigJpeg.begin(), bigJpeg.end(), startOfFrame.begin(), startOfFrame.end());
    frame[5] = frame[7] = 0xEA, frame[6] = frame[8] = 0x60;  // 60000 × 60000
    return {
        // 12-byte rows lose their padding; B, G, R becomes R, G, B.
        {"bmp 24-bit",
         bmpFile({24, 3, 2, bmpRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}})})},
        {"bmp 32-bit", bmpFile({32, 2, 1, {1, 2, 3, 99, 4, 5, 6, 99}})},
        {"bmp top-down", bmpFile({24, 1, -2, bmpRows({{0, 0, 255}, {255, 0, 0}})})},
        {"bmp 8-bit", bmpFile({8, 3, 2, bmpRows({{0, 85, 17}, {1, 2, 3}}), rampPalette(256)})},
        // The ramps' first colour is black, as a colour never read would be.
        {"bmp two colours, the first not black",
         bmpFile({8, 2, 1, bmpRows({{0, 1}}), Bytes{10, 20, 30, 0, 40, 50, 60, 0}, 0, {}, 2})},
        {"bmp 4-bit", bmpFile({4, 3, 1, bmpRows({{0x12, 0x3F}}), rampPalette(16)})},
        {"bmp 1-bit", bmpFile({1, 10, 1, bmpRows({{0xA0, 0xC0}}), rampPalette(2)})},
        {"bmp without file header", bmpFile(noFileHeader)}, {"bmp core header", bmpFile(core)},
        {"bmp colour count over 16 bits", bmpFile(wideCount)},
        // 5-5-5: red, green, blue, 16/31 grey; 5-6-5: white, green 32 of 63.
        {"bmp 16-bit", bmpFile({16, 4, 1, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42}})},
        {"bmp 16-bit fields", bmpFile({16, 2, 1, {0xFF, 0xFF, 0x00, 0x04}, {}, kDibBitFields, {0xF800, 0x07E0, 0x001F}})},
        {"bmp 32-bit fields", bmpFile({32, 1, 1, {1, 2, 3, 0}, {}, kDibBitFields, {0xFF, 0xFF00, 0xFF0000}})},
        // Three of 1, end of line; literal 2, 3, 4 (its pad byte, 7, skipped); end of line; jump right 1, one 5; end.
        {"bmp RLE8",
         bmpFile({8, 4, 3, {3, 1, 0, 0, 0, 3, 2, 3, 4, 7, 0, 0, 0, 2, 1, 0, 1, 5, 0, 1, 9, 9}, rampPalette(8), kDibRle8})},
        {"bmp RLE4", bmpFile({4, 5, 2, {5, 0x12, 0, 0, 0, 4, 0x34, 0x5F, 1, 0x66, 0, 1}, rampPalette(16), kDibRle4})},
        // No end-of-picture escape: the last run's pair is the file's last two bytes.
        {"bmp RLE8 ending with a run", bmpFile({8, 3, 1, {2, 1, 1, 3}, rampPalette(8), kDibRle8})},
        {"bmp RLE8 literal cut off", bmpFile({8, 4, 1, {0, 4, 1, 2}, rampPalette(8), kDibRle8})},
        {"bmp RLE8 runs past the row end",
         bmpFile({8, 2, 1, {255, 1, 0, 0, 255, 2, 0, 2, 0, 200, 255, 3}, rampPalette(8), kDibRle8})},
        // Index 200 is beyond the table; the second row is cut short and the third lies past the end.
        {"bmp damaged", bmpFile({8, 2, 3, {1, 200, 0, 0, 1}, rampPalette(2), 0, {}, 2})},
        {"bmp pixels beyond the file", farPixels}, {"bmp pixel cut in two", bmpFile({24, 2, 1, {1, 2, 3, 4, 5}})},
        {"bmp v4 header", bmpFile({24, 1, 1, {}, {}, 0, {}, 0, 108})},
        {"bmp too short", {'B', 'M', 0, 0}}, {"bmp cut header", cutBmp},
        {"bmp zero width", bmpFile({24, 0, 1})}, {"bmp embedded JPEG", bmpFile({24, 1, 1, {}, {}, 4})},
        {"bmp RLE4 at 8 bits", bmpFile({8, 1, 1, {}, {}, kDibRle4})}, {"bmp too wide", bmpFile({24, 65537, 1})},
        {"bmp huge", bmpFile({24, 0x7FFFFFFF, std::int32_t(0x80000000u)})},
        {"bmp one row beyond 2^28", bmpFile({24, 16385, 16384})},
        {"tga raw 24-bit", tgaFile({2, 24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}})},
        {"tga raw 32-bit", tgaFile({2, 32, 1, 1, {10, 20, 30, 40}})},
        {"tga image ID and colour map skipped", tgaFile(withId)},
        {"tga top-down", tgaFile(topDown)}, {"tga odd size", tgaFile(odd)},
        // A run of 4 copies, then a raw packet of 2 pixels.
        {"tga run-length", tgaFile({10, 32, 3, 2, {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}})},
        // 128 copies into a picture of 2 pixels, then a raw packet of 128 more.
        {"tga packets past the end", tgaFile({10, 24, 2, 1, {0xFF, 1, 2, 3, 0x7F, 4, 5, 6}})},
        {"tga short raw file", tgaFile({2, 24, 2, 1, {1, 2, 3, 4}})},
        {"tga run cut off", tgaFile({10, 24, 2, 1, {0x81, 1, 2}})},
        {"tga grey as luminance", tgaFile({3, 8, 2, 1, {7, 200}}), greyAsLuminance | greyAsAlpha},
        {"tga grey as alpha", tgaFile({3, 8, 2, 1, {7, 200}}), greyAsAlpha},
        {"tga colour-mapped", tgaFile({1, 8, 2, 2})}, {"tga compressed colour-mapped", tgaFile({9, 8, 2, 2})},
        {"tga 16-bit", tgaFile({2, 16, 2, 2})}, {"tga compressed 16-bit", tgaFile({10, 16, 2, 2})},
        {"tga grey without an option", tgaFile({3, 8, 2, 2})},
        {"tga 16-bit grey", tgaFile({3, 16, 1, 1}), greyAsLuminance},
        {"tga type 11", tgaFile({11, 24, 2, 2})}, {"tga zero width", tgaFile({2, 24, 0, 2})},
        {"tga negative height", tgaFile({2, 24, 4, -1})}, {"tga too large", tgaFile({2, 24, 32767, 32767})},
        // RGBA, top row red (alpha 0) and green, bottom row blue and grey (alpha 128): the alpha is dropped.
        {"png RGBA", png(2, 2, 8, 6, {0, 255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 0, 255, 128, 90, 90, 90, 255})},
        {"png grey", png(2, 1, 8, 0, {0, 10, 200})},
        // Each 16-bit sample v becomes round(v / 257).
        {"png 16-bit", png(1, 1, 16, 2, {0, 0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF})},
        // A transparent palette entry keeps its colour.
        {"png palette", png(2, 1, 8, 3, {0, 0, 1}, {{"PLTE", {1, 2, 3, 250, 100, 50}}, {"tRNS", {0, 255}}})},
        {"png junk", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}}, {"png cut after the header", cutPng},
        // Refused by the header's size before its data is read.
        {"png huge", png(100000, 100000, 8, 2, {})},
        {"jpeg junk", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'g'}}, {"jpeg huge", bigJpeg},
        {"jpeg CMYK", jpegFile(8, 8, [](int, int) { return Rgb{1, 2, 3}; }, 4)},
    };
}

TEST(PictureReaders, PicturesDecodeToKnownPixelsOrAreRefusedWithOneMessage) {
    const auto expected = dataSections("picture_readers.txt");
    const std::vector<Row> table = rows();
    EXPECT_EQ(expected.size(), table.size() + 1);
    for (const Row& row : table) {
        RecordingPrompt prompt("Velmora");
        expectData(dump(prompt, read(prompt, row.name, row.file, row.options)), "picture_readers.txt", row.name);
    }
    // Masks cut off by the end of the data read as zero: the pixel, which is the red mask itself, is pure red.
    RecordingPrompt prompt;
    Bytes masksCut = bmpFile({32, 1, 1, {}, {}, kDibBitFields, {0xFF, 0xFF, 0xFF}});
    masksCut[10] = 54;  // the pixel offset: the first mask
    EXPECT_EQ(DibReader(prompt).readDibMemory(masksCut.data(), 58).value().pixels, (Bytes{255, 0, 0}));
    PngReader reader(prompt);
    TgaReader tga(prompt);
    DibReader dib(prompt);
    JpegDecoder jpeg(prompt);
    reader.setPixelLimit(3), tga.setPixelLimit(3), dib.setPixelLimit(3), jpeg.setPixelLimit(3);
    const Bytes four = png(2, 2, 8, 0, {0, 1, 2, 0, 3, 4}), tga4 = tgaFile({2, 24, 2, 2}), bmp4 = bmpFile({24, 2, 2}),
                jpeg4 = jpegFile(2, 2, [](int, int) { return Rgb{}; });
    EXPECT_FALSE(reader.readPngMemory(four.data(), four.size(), "four.png") ||
                 tga.readTgaMemory(tga4.data(), tga4.size(), "four.tga", 0) ||
                 dib.readDibMemory(bmp4.data(), bmp4.size()) ||
                 jpeg.decodeJpegMemory(jpeg4.data(), jpeg4.size(), "four.jpg"));
    EXPECT_FALSE(reader.readPng("/nonexistent/a.png"));
    EXPECT_FALSE(DibReader(prompt).readDib("/nonexistent/x.bmp"));
    EXPECT_FALSE(JpegDecoder(prompt).decodeJpeg("/nonexistent/a.jpg"));
    EXPECT_EQ(dump(prompt, std::nullopt), expected.at("files that are not there, and the reader's own limit"));
}

// Decodes with the program's end turned into an exception, failing the test instead of the test run.
struct Decoded {
    explicit Decoded(const Bytes& file) {
        ScopedFatalExitHandler noExit([](int) { throw std::runtime_error("the program ended"); });
        image = JpegDecoder(prompt, [this](std::string_view t) { libraryTexts.emplace_back(t); })
                    .decodeJpegMemory(file.data(), file.size(), "pic.jpg");
    }
    RecordingPrompt prompt;
    std::vector<std::string> libraryTexts;
    std::optional<TextureImage> image;
};

// Chroma subsampling and colour conversion are the library's; the decoder asks for RGB (also from grey) and stores the
// rows bottom first. Both header forms become the 40-byte one: a core header's fields copied, its 3-byte colours
// widened, the image size ((bits x width + 7) / 8) x |height| where it is 0, and the colours used the table's where 0.
TEST(DibHeaders, CoreAndInfoHeadersNormaliseToTheFortyByteForm) {
    const auto fields = [](const DibInfoHeader& h) {
        return std::vector<std::int64_t>{h.size, h.width,     h.height,      h.planes,        h.bitCount,   h.compression,
                                         h.imageSize, h.xPelsPerMeter, h.yPelsPerMeter, h.coloursUsed, h.coloursImportant};
    };
    // 12 bytes: size, width 5, height 3, planes 1, 4 bits; then 16 entries of blue, green, red.
    std::vector<std::uint8_t> core = {12, 0, 0, 0, 5, 0, 3, 0, 1, 0, 4, 0};
    for (int i = 0; i < 16; ++i) core.insert(core.end(), {std::uint8_t(i), 7, std::uint8_t(200 + i)});
    const auto fromCore = normaliseDib(core.data(), core.size());
    ASSERT_TRUE(fromCore);
    EXPECT_EQ(fields(fromCore->header), (std::vector<std::int64_t>{40, 5, 3, 1, 4, 0, 9, 0, 0, 16, 16}));
    EXPECT_EQ(fromCore->colours.size(), 16u);
    const DibColour last = fromCore->colours.at(15);
    EXPECT_EQ(std::vector<int>({last.blue, last.green, last.red, last.reserved}), (std::vector<int>{15, 7, 215, 0}));
    EXPECT_EQ(fromCore->pixelOffset, 12u + 16 * 3);
    // 40 bytes, 8 bits, 3 x -2 (top row first), image size 0, 2835 pixels a metre, no colours used: all 256.
    std::vector<std::uint8_t> info(40, 0);
    const auto put = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) info[at + i] = std::uint8_t(v >> (8 * i));
    };
    put(0, 40), put(4, 3), put(8, std::uint32_t(-2)), put(12, 1 | 8 << 16), put(24, 2835), put(28, 2835);
    EXPECT_EQ(fields(normaliseDib(info.data(), info.size()).value().header),
              (std::vector<std::int64_t>{40, 3, -2, 1, 8, 0, 6, 2835, 2835, 256, 0}));
    put(20, 1000), put(32, 2);  // a size and a count given are kept
    EXPECT_EQ(fields(normaliseDib(info.data(), info.size()).value().header),
              (std::vector<std::int64_t>{40, 3, -2, 1, 8, 0, 1000, 2835, 2835, 2, 0}));
}

TEST(JpegDecoder, ColourAndGreyComeOutAsRgbBottomRowFirstAndTheLibrarysTextsGoToTheDiagnostics) {
    const auto halves = [](int, int y) { return y < 8 ? Rgb{200, 0, 0} : Rgb{40, 0, 200}; };  // top row first
    for (int components : {3, 1}) {  // a grey file keeps the red channel
        const Decoded d(jpegFile(16, 16, halves, components));
        ASSERT_TRUE(d.image);
        EXPECT_EQ((std::array{d.image->width, d.image->height, d.image->bytesPerPixel}), (std::array{16, 16, 3}));
        ASSERT_EQ(d.image->pixels.size(), 16u * 16u * 3u);
        const bool grey = components == 1;
        EXPECT_TRUE(closeTo(d.image->pixel(3, 0), grey ? Rgb{40, 40, 40} : Rgb{40, 0, 200}, 6)) << components;
        EXPECT_TRUE(closeTo(d.image->pixel(3, 15), grey ? Rgb{200, 200, 200} : Rgb{200, 0, 0}, 6)) << components;
        EXPECT_TRUE(d.prompt.messages().empty());
    }
    // A cut-off file is only a warning, for the diagnostics: the picture comes out in full size.
    Bytes file = jpegFile(32, 32, [](int x, int y) { return Rgb{std::uint8_t(8 * x), std::uint8_t(8 * y), 90}; });
    file.resize(file.size() * 3 / 4);  // within the scan, which is most of the file
    const Decoded cut(file);
    ASSERT_TRUE(cut.image);
    EXPECT_EQ(cut.image->pixels.size(), 32u * 32u * 3u);
    EXPECT_TRUE(cut.prompt.messages().empty());
    EXPECT_FALSE(cut.libraryTexts.empty());
    // The library's errors go there too; the box that refuses the file is in the table.
    EXPECT_NE(Decoded(Bytes{'n', 'o'}).libraryTexts.back().find("Not a JPEG file"), std::string::npos);
}

}  // namespace
}  // namespace velmora
