#include "textures/TgaReader.h"

#include "PictureWriters.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/TempDir.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace velmora {
namespace {

using testing::Bytes;
using testing::TgaSpec;
using testing::tgaFile;

std::optional<TextureImage> read(RecordingPrompt& prompt, const TgaSpec& layout, unsigned options = 0) {
    const Bytes file = tgaFile(layout);
    return TgaReader(prompt).readTgaMemory(file.data(), file.size(), "pic.tga", options);
}

TEST(TgaReader, RawTrueColourSwapsToRgbAndKeepsBottomUpRows) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.width = 2, s.height = 2;
    s.body = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // B, G, R; bottom row first
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format, unsigned(GL_RGB));
    EXPECT_EQ(image->bytesPerPixel, 3);
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));

    s.depth = 32, s.width = 1, s.height = 1;
    s.body = {10, 20, 30, 40};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format, unsigned(GL_RGBA));
    EXPECT_EQ(image->pixels, (Bytes{30, 20, 10, 40}));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(TgaReader, SkipsImageIdAndColourMap) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.id = {'h', 'e', 'l', 'l', 'o'};
    s.colourMapType = 1, s.colourMapLength = 2, s.colourMapBits = 24;
    s.colourMap = {9, 9, 9, 9, 9, 9};
    s.body = {0x10, 0x20, 0x30};
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{0x30, 0x20, 0x10}));
}

TEST(TgaReader, TopDownFileIsFlippedAndOddSizesKeepTheirRows) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.width = 1, s.height = 2, s.descriptor = 0x20;
    s.body = {0, 0, 255, 255, 0, 0};  // top row red, then blue
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{0, 0, 255, 255, 0, 0}));  // bottom (blue) first: R, G, B

    // 3 × 3: pixel i holds (i, i, i + 100) stored as B, G, R.
    s = TgaSpec{};
    s.width = 3, s.height = 3;
    for (std::uint8_t i = 0; i < 9; ++i) s.body.insert(s.body.end(), {std::uint8_t(i + 100), i, i});
    image = read(prompt, s);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 3);
    ASSERT_EQ(image->height, 3);
    ASSERT_EQ(image->pixels.size(), 27u);
    for (int i = 0; i < 9; ++i) {
        const std::uint8_t* p = image->pixel(i % 3, i / 3);
        EXPECT_EQ(p[0], i);
        EXPECT_EQ(p[2], i + 100);
    }
}

TEST(TgaReader, RunLengthPacketsStayInsideTheImage) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.imageType = 10, s.depth = 32, s.width = 3, s.height = 2;
    // A run of 4 copies, then a raw packet of 2 pixels.
    s.body = {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12};
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}));

    // 128 copies into a picture of 2 pixels, then a raw packet of 128 more.
    s = TgaSpec{};
    s.imageType = 10, s.width = 2, s.height = 1;
    s.body = {0xFF, 1, 2, 3, 0x7F, 4, 5, 6};
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 3, 2, 1}));
}

TEST(TgaReader, ShortFileLeavesZeros) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.width = 2, s.height = 1;
    s.body = {1, 2, 3, 4};  // one pixel and a byte
    auto image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes{3, 2, 1, 0, 0, 0}));

    s.imageType = 10;
    s.body = {0x81, 1, 2};  // a run whose pixel is cut off
    image = read(prompt, s);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixels, (Bytes(6, 0)));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(TgaReader, GreyscaleOnlyWithAnOption) {
    RecordingPrompt prompt;
    TgaSpec s;
    s.imageType = 3, s.depth = 8, s.width = 2, s.height = 1;
    s.body = {7, 200};
    auto image = read(prompt, s, tgaOptions::greyAsLuminance | tgaOptions::greyAsAlpha);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format, unsigned(GL_LUMINANCE));
    EXPECT_EQ(image->pixels, (Bytes{7, 200}));
    image = read(prompt, s, tgaOptions::greyAsAlpha);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->format, unsigned(GL_ALPHA));
    EXPECT_TRUE(prompt.messages().empty());
}

TEST(TgaReader, RefusalsShowOneMessageInTheApplicationsBox) {
    struct Case {
        std::uint8_t type, depth;
        int width, height;
        const char* text;
    };
    const Case cases[] = {
        {1, 8, 2, 2, "TGA Texture File: pic.tga uses 8-bit Colour (No Longer Supported)."},
        {9, 8, 2, 2, "TGA Texture File: pic.tga uses 8-bit Colour (No Longer Supported)."},
        {2, 16, 2, 2, "TGA Texture File: pic.tga has an Unsuported RGB Format (Must be 24 or 32 bpp)."},
        {10, 16, 2, 2, "TGA Texture File: pic.tga uses an Unsupported Compressed RGB format."},
        {3, 8, 2, 2, "TGA Texture File: pic.tga has Unsuported Color Type (Must be Luminance or Alpha Greyscale)."},
        {0, 24, 2, 2, "TGA Texture File: pic.tga has an Unsupported Image Type (0)."},
        {11, 24, 2, 2, "TGA Texture File: pic.tga has an Unsupported Image Type (11)."},
        {2, 24, 0, 2, "TGA Texture File: pic.tga has an Invalid Size (0 x 2)."},
        {2, 24, 4, -1, "TGA Texture File: pic.tga has an Invalid Size (4 x -1)."},
        {2, 24, 32767, 32767, "TGA Texture File: pic.tga is too large (32767 x 32767)."},
    };
    for (const auto& c : cases) {
        RecordingPrompt prompt("Velmora");
        TgaSpec s;
        s.imageType = c.type, s.depth = c.depth, s.width = c.width, s.height = c.height;
        EXPECT_FALSE(read(prompt, s)) << c.text;
        ASSERT_EQ(prompt.messages().size(), 1u) << c.text;
        EXPECT_EQ(prompt.messages()[0].text, c.text);
        EXPECT_TRUE(prompt.messages()[0].frameworkBox);
    }
    RecordingPrompt prompt;
    TgaSpec s;
    s.imageType = 3, s.depth = 16;
    EXPECT_FALSE(read(prompt, s, tgaOptions::greyAsLuminance));
    EXPECT_EQ(prompt.messageTexts(),
              std::vector<std::string>{"TGA Texture File: pic.tga has an Unsupported Greyscale Format (Must be 8 bpp)."});

    prompt.clear();
    EXPECT_FALSE(TgaReader(prompt).loadTga("/nonexistent/a.tga", 0));
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{"Failed to open TGA Texture File: /nonexistent/a.tga."});
}

TEST(TgaReaderGl, OddRowsUploadUnderAnyAlignmentAndMipmapsAreBuilt) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    RecordingPrompt prompt;
    TgaSpec s;
    s.width = 3, s.height = 3;
    for (std::uint8_t i = 0; i < 27; ++i) s.body.push_back(i);
    const Bytes file = tgaFile(s);
    TgaReader reader(prompt);
    auto image = reader.readTgaMemory(file.data(), file.size(), "odd.tga", 0);
    ASSERT_TRUE(image);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    reader.uploadTga(*image, tgaOptions::levelZeroOnly);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    Bytes back(27, 0xEE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, image->pixels);

    // The default upload builds the whole mipmap chain of a 4 × 2 picture.
    testing::TempDir dir;
    s.width = 4, s.height = 2;
    s.body.assign(24, 50);
    testing::writeBytes(dir.file("p.tga"), tgaFile(s));
    ASSERT_TRUE(reader.loadTga(dir.file("p.tga"), 0));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
}  // namespace velmora
