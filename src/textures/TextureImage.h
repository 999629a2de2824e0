#pragma once
// A decoded picture on its way to an OpenGL texture object: packed rows of
// width × bytesPerPixel bytes, channels R, G, B (, A), bottom row first.

#include <cstdint>
#include <vector>

namespace velmora {

struct TextureImage {
    int width = 0;
    int height = 0;
    unsigned format = 0;  // GL_RGB, GL_RGBA, GL_LUMINANCE or GL_ALPHA
    int bytesPerPixel = 0;
    std::vector<std::uint8_t> pixels;

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * bytesPerPixel; }
    const std::uint8_t* pixel(int x, int y) const { return pixels.data() + y * rowBytes() + x * bytesPerPixel; }
};

// The largest picture any reader accepts. Every reader checks a header's
// size against these before it allocates, so a few header bytes cannot ask
// for gigabytes.
constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 28;
constexpr std::int64_t kMaxPictureSide = 65536;

inline bool pictureSizeAllowed(std::int64_t width, std::int64_t height) {
    return width >= 1 && height >= 1 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

}  // namespace velmora
