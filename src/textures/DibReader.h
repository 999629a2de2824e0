#pragma once
// Windows device-independent bitmaps (.bmp files, or a bare info header with
// its data): 12- and 40-byte info headers, uncompressed 1-, 4-, 8-, 16-, 24-
// and 32-bit pixels, run-length RLE8 and RLE4, and 16/32-bit bit fields.
// Every picture comes out as 24-bit RGB, bottom row first.

#include "textures/TextureImage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

class Prompt;

// The 40-byte info header every source header is normalised to.
struct DibInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;  // negative: rows stored top row first
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t coloursImportant = 0;
};

struct DibColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

enum DibCompression : std::uint32_t { kDibRgb = 0, kDibRle8 = 1, kDibRle4 = 2, kDibBitFields = 3 };

// A source header brought to the 40-byte form, with its colour table in
// 4-byte entries and where its pixels start in the file.
struct NormalisedDib {
    DibInfoHeader header;
    std::vector<DibColour> colours;
    std::array<std::uint32_t, 3> masks{};  // red, green, blue for 16- and 32-bit pictures
    std::size_t pixelOffset = 0;
    bool fileHeader = false;
};

// The number of colour table entries a bit count implies: 1 → 2, 4 → 16,
// 8 → 256, anything else 0.
std::uint32_t dibColourCount(std::uint16_t bitCount);

// Reads and normalises the headers and the colour table. Nothing when the
// info header is neither 12 nor 40 bytes long or is cut off. Colour table
// entries beyond the end of the data read as zero.
std::optional<NormalisedDib> normaliseDib(const std::uint8_t* data, std::size_t size);

class DibReader {
public:
    explicit DibReader(Prompt& prompt);

    // The largest picture accepted, in pixels (at most kMaxPicturePixels).
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // Nothing after one message box captioned "Error".
    std::optional<TextureImage> readDib(const std::string& path);
    // The same for a file already in memory.
    std::optional<TextureImage> readDibMemory(const std::uint8_t* data, std::size_t size);

private:
    std::optional<TextureImage> fail(const std::string& text);

    Prompt& prompt_;
    std::int64_t pixelLimit_ = kMaxPicturePixels;
};

}  // namespace velmora
