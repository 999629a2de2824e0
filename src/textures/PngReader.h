#pragma once
// PNG pictures through libpng: every colour type and bit depth comes out as
// 24-bit RGB, bottom row first. Palette and grey pictures are expanded, 16-bit
// samples reduced to 8 bits, and an alpha channel (or a transparency chunk)
// is dropped, the colours kept as stored.

#include "platform/Diagnostics.h"
#include "textures/TextureImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Prompt;

class PngReader {
public:
    // `diagnostics` receives the library's reason when a decode fails.
    explicit PngReader(Prompt& prompt, Diagnostics diagnostics = {});

    // The largest picture accepted, in pixels (at most kMaxPicturePixels).
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // Nothing after one message box captioned "Error": "Unable to load PNG
    // File!" when the file cannot be opened, otherwise a text naming `path`.
    std::optional<TextureImage> readPng(const std::string& path);
    // The same for a file already in memory; `path` only names it in messages.
    std::optional<TextureImage> readPngMemory(const std::uint8_t* data, std::size_t size, const std::string& path);

private:
    std::optional<TextureImage> fail(const std::string& text);

    Prompt& prompt_;
    Diagnostics diagnostics_;
    std::int64_t pixelLimit_ = kMaxPicturePixels;
};

}  // namespace velmora
