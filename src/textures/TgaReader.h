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

// The bits of the options given to loadTga, readTga and uploadTga.
namespace tgaOptions {
constexpr unsigned keepPixels = 0x1;          // read only; the caller gets the picture
constexpr unsigned greyAsAlpha = 0x10;        // image type 3 becomes GL_ALPHA
constexpr unsigned greyAsLuminance = 0x100;   // image type 3 becomes GL_LUMINANCE (wins over 0x10)
constexpr unsigned levelZeroOnly = 0x1000;    // glTexImage2D instead of gluBuild2DMipmaps
constexpr unsigned sizedFormat = 0x10000;     // GL_ALPHA8, GL_RGB8, GL_RGBA8, GL_LUMINANCE8
constexpr unsigned compressedFormat = 0x100000;  // the compressed formats, when available
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

    // Whether the compressed internal formats may be asked for (option 0x100000).
    void setCompressedTexturesAvailable(bool available) { compressedTexturesAvailable_ = available; }
    bool compressedTexturesAvailable() const { return compressedTexturesAvailable_; }
    // The largest picture accepted, in pixels (at most kMaxPicturePixels).
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // Reads the picture, rows bottom first. Shows one message and returns
    // nothing when the file cannot be opened or is of a kind not accepted.
    std::optional<TextureImage> readTga(const std::string& path, unsigned options);
    // The same for a file already in memory; `path` only names it in messages.
    std::optional<TextureImage> readTgaMemory(const std::uint8_t* data, std::size_t size,
                                              const std::string& path, unsigned options);

    // One upload into the bound texture object.
    void uploadTga(const TextureImage& image, unsigned options) const;

    // readTga, then (without option 0x1) uploadTga. With option 0x1 the
    // picture goes to `kept` when one is given.
    bool loadTga(const std::string& path, unsigned options, TextureImage* kept = nullptr);

    // The header of the last file read.
    const TgaHeader& header() const { return header_; }

private:
    bool refuse(const char* format, const std::string& path);
    // The pixel format of the header's image type and depth; nothing, after
    // one message, for a kind that is not accepted.
    std::optional<unsigned> acceptedFormat(const std::string& path, unsigned options);
    // False, after one message, for a size below 1 or above the limits.
    bool sizeAccepted(const std::string& path);

    Prompt& prompt_;
    TgaHeader header_;
    bool compressedTexturesAvailable_ = false;
    std::int64_t pixelLimit_ = kMaxPicturePixels;
};

}  // namespace velmora
