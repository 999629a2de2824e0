#pragma once
// JPEG pictures through libjpeg (the IJG 6b interface): colour files come
// out as RGB, greyscale ones are converted to RGB by the library, bottom row
// first. A file the library cannot decode is refused with a message; it never
// ends the program.

#include "platform/Diagnostics.h"
#include "textures/TextureImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velmora {

class Prompt;

class JpegDecoder {
public:
    // `diagnostics` receives the library's own message texts (warnings and
    // the reason a decode failed).
    explicit JpegDecoder(Prompt& prompt, Diagnostics diagnostics = {});

    // The largest picture accepted, in pixels (at most kMaxPicturePixels).
    void setPixelLimit(std::int64_t pixels) { pixelLimit_ = pixels; }

    // Nothing after a message box captioned "Error".
    std::optional<TextureImage> decodeJpeg(const std::string& path);
    // The same for a file already in memory; `path` only names it in messages.
    std::optional<TextureImage> decodeJpegMemory(const std::uint8_t* data, std::size_t size,
                                                 const std::string& path);

private:
    struct Source;
    std::optional<TextureImage> decode(const Source& source, const std::string& path);

    Prompt& prompt_;
    Diagnostics diagnostics_;
    std::int64_t pixelLimit_ = kMaxPicturePixels;
};

}  // namespace velmora
