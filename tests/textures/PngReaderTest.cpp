// PNG textures: every colour type comes out as RGB with the alpha dropped,
// bottom row first; sizes are checked before anything is allocated; the
// texture manager takes names ending in PNG in any case.

#include "textures/PngReader.h"

#include "interop/InteropSupport.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"
#include "textures/TextureManager.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <filesystem>

namespace velmora {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A PNG written with libpng's classic interface, for the colour types and
// depths the simple writer does not make. `rows` top row first.
bool writePngClassic(const std::string& path, int width, int height, int colourType, int bitDepth,
                     const std::vector<Bytes>& rows, const std::vector<png_color>& palette = {},
                     const Bytes& transparency = {}) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (!transparency.empty())
        png_set_tRNS(png, info, transparency.data(), static_cast<int>(transparency.size()), nullptr);
    png_write_info(png, info);
    for (const Bytes& row : rows) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

std::array<int, 3> pixel(const TextureImage& image, int x, int y) {
    const std::uint8_t* p = image.pixel(x, y);
    return {p[0], p[1], p[2]};
}

TEST(PngReader, EveryColourTypeBecomesRgbBottomRowFirstWithAlphaDropped) {
    testing::TempDir dir;
    RecordingPrompt prompt;
    PngReader reader(prompt);

    // RGBA, top row red (alpha 0) and green, bottom row blue and grey (alpha 128).
    ASSERT_TRUE(testing::writePngRgba(dir.file("rgba.png"), 2, 2,
                                      {255, 0, 0, 0, 0, 255, 0, 255, 0, 0, 255, 128, 90, 90, 90, 255}));
    auto image = reader.readPng(dir.file("rgba.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 2);
    EXPECT_EQ(image->height, 2);
    EXPECT_EQ(image->bytesPerPixel, 3);
    EXPECT_EQ(image->pixels, (Bytes{0, 0, 255, 90, 90, 90, 255, 0, 0, 0, 255, 0}));

    // Grey, 8 bits: each value on all three channels.
    ASSERT_TRUE(writePngClassic(dir.file("grey.png"), 2, 1, PNG_COLOR_TYPE_GRAY, 8, {{10, 200}}));
    image = reader.readPng(dir.file("grey.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{10, 10, 10, 200, 200, 200}));

    // 16-bit RGB: each sample v becomes round(v / 257).
    ASSERT_TRUE(writePngClassic(dir.file("deep.png"), 1, 1, PNG_COLOR_TYPE_RGB, 16,
                                {{0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF}}));
    image = reader.readPng(dir.file("deep.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{18, 171, 255}));

    // Palette with a transparent entry: the entry's colour is kept.
    ASSERT_TRUE(writePngClassic(dir.file("pal.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1}},
                                {{1, 2, 3}, {250, 100, 50}}, {0, 255}));
    image = reader.readPng(dir.file("pal.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{1, 2, 3, 250, 100, 50}));
    EXPECT_TRUE(prompt.messages().empty());
}

// A chunk with its CRC, for pictures the library refuses to write.
void putChunk(Bytes& out, const char* type, const Bytes& data) {
    const auto be32 = [&out](std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(v >> s));
    };
    be32(static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = start; i < out.size(); ++i) {
        crc ^= out[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    be32(crc ^ 0xFFFFFFFFu);
}

TEST(PngReader, FailuresShowOneBoxAndSizesAreCheckedBeforeAllocating) {
    testing::TempDir dir;
    RecordingPrompt prompt;
    PngReader reader(prompt);

    EXPECT_FALSE(reader.readPng(dir.file("absent.png")));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: Unable to load PNG File!"});

    prompt.clear();
    const Bytes junk{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'};
    EXPECT_FALSE(reader.readPngMemory(junk.data(), junk.size(), "junk.png"));
    EXPECT_EQ(prompt.transcript(),
              std::vector<std::string>{"message Error: PNG Texture File: junk.png could not be decoded."});

    // A header of 100000 × 100000 pixels and the start of its data: refused
    // by its size before the data is read.
    prompt.clear();
    Bytes huge{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    putChunk(huge, "IHDR", {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 2, 0, 0, 0});
    putChunk(huge, "IDAT", {0x78, 0x9C});
    putChunk(huge, "IEND", {});
    EXPECT_FALSE(reader.readPngMemory(huge.data(), huge.size(), "huge.png"));
    EXPECT_EQ(prompt.transcript(),
              std::vector<std::string>{"message Error: PNG Texture File: huge.png is too large (100000 x 100000)."});

    // Within the format's limits but over the reader's own.
    prompt.clear();
    ASSERT_TRUE(testing::writePngRgba(dir.file("four.png"), 2, 2, Bytes(16, 1)));
    reader.setPixelLimit(3);
    EXPECT_FALSE(reader.readPng(dir.file("four.png")));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: PNG Texture File: " +
                                                            dir.file("four.png") + " is too large (2 x 2)."});

    // Cut short after the header: the library's reason, then the box.
    prompt.clear();
    const auto whole = testing::readBytes(dir.file("four.png"));
    PngReader fresh(prompt);
    EXPECT_FALSE(fresh.readPngMemory(whole.data(), 40, "cut.png"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message Error: PNG Texture File: cut.png could not be decoded."});
}

TEST(PngReader, ARealPictureDecodesToItsHeaderSize) {
    const std::string path = "/usr/share/assimp/models/glTF2/BoxTextured-glTF/CesiumLogoFlat.png";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "assimp-testmodels is not installed";
    const auto bytes = testing::readBytes(path);
    ASSERT_GT(bytes.size(), 24u);
    const auto be32 = [&bytes](std::size_t at) {
        return static_cast<int>(bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3]);
    };
    RecordingPrompt prompt;
    const auto image = PngReader(prompt).readPng(path);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, be32(16));
    EXPECT_EQ(image->height, be32(20));
    EXPECT_EQ(image->pixels.size(), static_cast<std::size_t>(image->width) * image->height * 3);
    EXPECT_NE(pixel(*image, 0, 0), pixel(*image, image->width / 2, image->height / 2));
}

TEST(PngTextures, NamesEndingInPngInAnyCaseTakeThePngReader) {
    // Only the last three characters count.
    for (const char* name : {"a.png", "A.PNG", "a.PnG", "a.apng", "png"})
        EXPECT_EQ(textureReaderFor(name), TextureReader::Png) << name;
    EXPECT_EQ(textureReaderFor("a.pn"), TextureReader::None);
}

TEST(PngTextures, TheManagerLoadsAPngAndRefusesOneTheImplementationCannotHold) {
    auto gl = testing::makeHeadlessSurface(16, 16);
    if (!gl) return;
    testing::TempDir dir;
    RecordingPrompt prompt;
    TextureManager manager(prompt, [](std::string_view) {});

    ASSERT_TRUE(testing::writePngRgba(dir.file("ok.Png"), 4, 4, Bytes(64, 77)));
    const unsigned id = manager.createTexture("ok.Png", dir.file("model.3ds"));
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(prompt.messages().empty());

    ASSERT_TRUE(testing::writePngRgba(dir.file("wide.png"), 65536, 1, Bytes(65536 * 4, 9)));
    EXPECT_EQ(manager.createTexture(dir.file("wide.png"), ""), 0u);
    EXPECT_EQ(prompt.messageTexts(),
              (std::vector<std::string>{"PNG Texture File: " + dir.file("wide.png") +
                                            " is too large, or texture dimensions are not a Power of 2",
                                        dir.file("wide.png")}));
}

}  // namespace
}  // namespace velmora
