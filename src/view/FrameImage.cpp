#include "view/FrameImage.h"

#include "platform/OutputFile.h"

#include <png.h>

#include <cstring>

namespace velmora {

Result<void> writeFramePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba) {
    if (width < 1 || height < 1) return Result<void>::failure("the frame is empty");
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (rgba.size() < pixels * 4) return Result<void>::failure("the frame read-back is shorter than the frame");

    std::vector<std::uint8_t> rgb(pixels * 3);
    for (std::size_t i = 0; i < pixels; ++i) std::memcpy(&rgb[i * 3], &rgba[i * 4], 3);

    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB;
    // A negative stride walks the buffer from its last row: the read-back is
    // bottom row first, the picture top row first.
    const png_int_32 stride = -static_cast<png_int_32>(width) * 3;
    // Through memory into an OutputFile, like every other file: a picture
    // is never left half-written.
    png_alloc_size_t size = 0;
    std::vector<std::uint8_t> bytes;
    if (png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), stride, nullptr)) {
        bytes.resize(size);
        if (!png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(), stride, nullptr)) bytes.clear();
    }
    // libpng frees the image's own state on every return of a write, failed or not.
    if (bytes.empty()) return Result<void>::failure("cannot encode " + path + ": " + image.message);
    auto file = OutputFile::create(path);
    if (!file) return Result<void>::failure("cannot write " + path + ": " + file.error());
    file->append(std::string_view(reinterpret_cast<const char*>(bytes.data()), size));
    if (auto committed = file->commit(); !committed)
        return Result<void>::failure("cannot write " + path + ": " + committed.error());
    return {};
}

}  // namespace velmora
