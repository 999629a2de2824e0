#pragma once
// Truevision TGA pictures: uncompressed and run-length true-colour files of
// 24 or 32 bits per pixel, and 8-bit greyscale ones when an option says how
// to use them. Colour-mapped files are refused. The picture is uploaded into
// the texture object bound to GL_TEXTURE_2D, with mipmaps unless told not to.

#include "textures/TextureImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Prompt;

// The bits of the options given to loadTga and readTga.
namespace tgaOptions {
constexpr unsigned greyAsAlpha = 0x10;        // image type 3 becomes GL_ALPHA
constexpr unsigned greyAsLuminance = 0x100;   // image type 3 becomes GL_LUMINANCE (wins over 0x10)
}  // namespace tgaOptions

// The 18-byte file header.
struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t colourMapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t colourMapFirst = 0;
    std::uint16_t colourMapLength = 0;
    std::uint8_t colourMapEntryBits = 0;
    std::uint16_t xOrigin = 0;
    std::uint16_t yOrigin = 0;
    std::int16_t width = 0;
    std::int16_t height = 0;
    std::uint8_t pixelDepth = 0;
    std::uint8_t descriptor = 0;

    static constexpr std::size_t kSize = 18;
    static constexpr std::uint8_t kTopDown = 0x20;
    // Missing bytes of a short file read as zero.
    static TgaHeader parse(const std::uint8_t* data, std::size_t size);
    // Where the pixels start: after the header, the image ID and the colour map.
    std::size_t pixelOffset() const;
};

class TgaReader {
public:
    explicit TgaReader(Prompt& prompt);

    // The largest picture accepted, in pixels (at most kMaxPicturePixels).
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // Reads the picture, rows bottom first. Shows one message and returns
    // nothing when the file cannot be opened or is of a kind not accepted.
    std::optional<TextureImage> readTga(const std::string& path, unsigned options);
    // The same for a file already in memory; `path` only names it in messages.
    std::optional<TextureImage> readTgaMemory(const std::uint8_t* data, std::size_t size,
                                              const std::string& path, unsigned options);

    // One upload into the bound texture object, with its mipmap chain.
    void uploadTga(const TextureImage& image) const;

    // readTga, then uploadTga.
    bool loadTga(const std::string& path, unsigned options);

    // The header of the last file read.
    const TgaHeader& header() const { return header_; }

private:
    bool refuse(const char* format, const std::string& path);
    std::optional<unsigned> formatOf(const TgaHeader& h, unsigned options, const std::string& path, bool& runLength);

    Prompt& prompt_;
    TgaHeader header_;
    std::int64_t pixelLimit_ = kMaxPicturePixels;
};

}  // namespace velmora
