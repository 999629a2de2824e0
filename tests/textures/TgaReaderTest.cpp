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
using testing::TgaLayout;
using testing::tgaFile;

std::optional<TextureImage> read(RecordingPrompt& prompt, const TgaLayout& layout, unsigned options = 0) {
    const Bytes file = tgaFile(layout);
    return TgaReader(prompt).readTgaMemory(file.data(), file.size(), "pic.tga", options);
}

TgaLayout tgaLayout(std::uint8_t type, std::uint8_t depth, int width, int height, Bytes body = {}) {
    TgaLayout s;
    s.imageType = type, s.depth = depth, s.width = width, s.height = height, s.body = std::move(body);
    return s;
}

// Pictures that load without a message, with their pixels bottom row first.
TEST(TgaReader, PicturesDecodeToKnownPixels) {
    TgaLayout withId = tgaLayout(2, 24, 1, 1, {0x10, 0x20, 0x30});
    withId.id = {'h', 'e', 'l', 'l', 'o'};
    withId.colourMapType = 1, withId.colourMapLength = 2, withId.colourMapBits = 24;
    withId.colourMap = {9, 9, 9, 9, 9, 9};
    TgaLayout topDown = tgaLayout(2, 24, 1, 2, {0, 0, 255, 255, 0, 0});  // top row red, then blue
    topDown.descriptor = 0x20;
    // 3 × 3: pixel i holds (i, i, i + 100), stored as B, G, R; odd rows are not truncated.
    TgaLayout odd = tgaLayout(2, 24, 3, 3);
    Bytes oddRgb;
    for (std::uint8_t i = 0; i < 9; ++i) {
        odd.body.insert(odd.body.end(), {std::uint8_t(i + 100), i, i});
        oddRgb.insert(oddRgb.end(), {i, i, std::uint8_t(i + 100)});
    }
    using namespace tgaOptions;
    struct Case {
        const char* name;
        TgaLayout layout;
        unsigned options;
        unsigned format;
        Bytes expected;
    };
    const Case cases[] = {
        {"raw 24-bit: B, G, R swapped", tgaLayout(2, 24, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), 0, GL_RGB,
         {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}},
        {"raw 32-bit", tgaLayout(2, 32, 1, 1, {10, 20, 30, 40}), 0, GL_RGBA, {30, 20, 10, 40}},
        {"image ID and colour map skipped", withId, 0, GL_RGB, {0x30, 0x20, 0x10}},
        {"top-down flipped", topDown, 0, GL_RGB, {0, 0, 255, 255, 0, 0}},
        {"odd size", odd, 0, GL_RGB, oddRgb},
        // A run of 4 copies, then a raw packet of 2 pixels.
        {"run-length 32-bit", tgaLayout(10, 32, 3, 2, {0x83, 1, 2, 3, 4, 0x01, 5, 6, 7, 8, 9, 10, 11, 12}), 0, GL_RGBA,
         {3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 3, 2, 1, 4, 7, 6, 5, 8, 11, 10, 9, 12}},
        // 128 copies into a picture of 2 pixels, then a raw packet of 128 more.
        {"packets past the end", tgaLayout(10, 24, 2, 1, {0xFF, 1, 2, 3, 0x7F, 4, 5, 6}), 0, GL_RGB, {3, 2, 1, 3, 2, 1}},
        {"short raw file leaves zeros", tgaLayout(2, 24, 2, 1, {1, 2, 3, 4}), 0, GL_RGB, {3, 2, 1, 0, 0, 0}},
        {"run whose pixel is cut off", tgaLayout(10, 24, 2, 1, {0x81, 1, 2}), 0, GL_RGB, Bytes(6, 0)},
        {"grey as luminance", tgaLayout(3, 8, 2, 1, {7, 200}), greyAsLuminance | greyAsAlpha, GL_LUMINANCE, {7, 200}},
        {"grey as alpha", tgaLayout(3, 8, 2, 1, {7, 200}), greyAsAlpha, GL_ALPHA, {7, 200}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingPrompt prompt;
        const auto image = read(prompt, c.layout, c.options);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->width, c.layout.width);
        EXPECT_EQ(image->height, c.layout.height);
        EXPECT_EQ(image->format, c.format);
        EXPECT_EQ(image->pixels, c.expected);
        EXPECT_TRUE(prompt.messages().empty());
    }
}

TEST(TgaReader, RefusalsShowOneMessageInTheApplicationsBox) {
    struct Case {
        TgaLayout layout;
        unsigned options;
        const char* text;
    };
    const Case cases[] = {
        {tgaLayout(1, 8, 2, 2), 0, "TGA Texture File: pic.tga uses 8-bit Colour (No Longer Supported)."},
        {tgaLayout(9, 8, 2, 2), 0, "TGA Texture File: pic.tga uses 8-bit Colour (No Longer Supported)."},
        {tgaLayout(2, 16, 2, 2), 0, "TGA Texture File: pic.tga has an Unsuported RGB Format (Must be 24 or 32 bpp)."},
        {tgaLayout(10, 16, 2, 2), 0, "TGA Texture File: pic.tga uses an Unsupported Compressed RGB format."},
        {tgaLayout(3, 8, 2, 2), 0,
         "TGA Texture File: pic.tga has Unsuported Color Type (Must be Luminance or Alpha Greyscale)."},
        {tgaLayout(3, 16, 1, 1), tgaOptions::greyAsLuminance,
         "TGA Texture File: pic.tga has an Unsupported Greyscale Format (Must be 8 bpp)."},
        {tgaLayout(0, 24, 2, 2), 0, "TGA Texture File: pic.tga has an Unsupported Image Type (0)."},
        {tgaLayout(11, 24, 2, 2), 0, "TGA Texture File: pic.tga has an Unsupported Image Type (11)."},
        {tgaLayout(2, 24, 0, 2), 0, "TGA Texture File: pic.tga has an Invalid Size (0 x 2)."},
        {tgaLayout(2, 24, 4, -1), 0, "TGA Texture File: pic.tga has an Invalid Size (4 x -1)."},
        {tgaLayout(2, 24, 32767, 32767), 0, "TGA Texture File: pic.tga is too large (32767 x 32767)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        RecordingPrompt prompt("Velmora");
        EXPECT_FALSE(read(prompt, c.layout, c.options));
        ASSERT_EQ(prompt.messages().size(), 1u);
        EXPECT_EQ(prompt.messages()[0].text, c.text);
        EXPECT_TRUE(prompt.messages()[0].frameworkBox);
    }
    RecordingPrompt prompt;
    EXPECT_FALSE(TgaReader(prompt).loadTga("/nonexistent/a.tga", 0));
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{"Failed to open TGA Texture File: /nonexistent/a.tga."});
}

TEST(TgaReaderGl, OddRowsUploadUnderAnyAlignmentAndMipmapsAreBuilt) {
    auto gl = testing::makeHeadlessSurface(8, 8);
    if (!gl) return;
    RecordingPrompt prompt;
    TgaLayout s = tgaLayout(2, 24, 1, 4);  // rows of three bytes
    for (std::uint8_t i = 0; i < 12; ++i) s.body.push_back(i);
    const Bytes file = tgaFile(s);
    TgaReader reader(prompt);
    auto image = reader.readTgaMemory(file.data(), file.size(), "odd.tga", 0);
    ASSERT_TRUE(image);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    reader.uploadTga(*image);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    Bytes back(12, 0xEE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, image->pixels);

    // The default upload builds the whole mipmap chain of a 4 × 2 picture.
    testing::TempDir dir;
    ASSERT_TRUE(testing::writeFile(dir.file("p.tga"), tgaFile(tgaLayout(2, 24, 4, 2, Bytes(24, 50)))));
    ASSERT_TRUE(reader.loadTga(dir.file("p.tga"), 0));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 1);
    glDeleteTextures(1, &texture);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

}  // namespace
}  // namespace velmora
