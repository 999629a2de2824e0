#pragma once
// PNG pictures through libpng's simplified interface: rows top first.

#include "support/TempDir.h"

#include <png.h>

namespace velmora::testing {

struct Picture { int width = 0, height = 0; Bytes rgb; };  // no pixels when the file could not be read

inline bool writePng(const std::string& path, int width, int height, const Bytes& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width), image.height = png_uint_32(height), image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

inline Picture readPicture(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    p.width = int(image.width), p.height = int(image.height), p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) p.rgb.clear();
    return p;
}

}  // namespace velmora::testing
