#include "textures/PngReader.h"

#include "platform/Prompt.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace velmora {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The library's decoding state; whatever happens, it is freed with its owner.
class PngImage {
public:
    PngImage() {
        image_.version = PNG_IMAGE_VERSION;
        image_.opaque = nullptr;
    }
    ~PngImage() { png_image_free(&image_); }
    PngImage(const PngImage&) = delete;
    PngImage& operator=(const PngImage&) = delete;

    png_image& get() { return image_; }

private:
    png_image image_{};
};

}  // namespace

PngReader::PngReader(Prompt& prompt, Diagnostics diagnostics)
    : prompt_(prompt), diagnostics_(std::move(diagnostics)) {}

std::optional<TextureImage> PngReader::fail(const std::string& text) {
    prompt_.show(text, std::string("Error"));
    return std::nullopt;
}

std::optional<TextureImage> PngReader::readPng(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return fail("Unable to load PNG File!");
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get())) return fail("Unable to load PNG File!");
    return readPngMemory(bytes.data(), bytes.size(), path);
}

namespace {

// Whether no chunk claims more bytes than the whole input holds. libpng
// allocates a chunk's declared length before reading it, so a 100-byte file
// whose chunk claims 2 GB would take 2 GB; no file, whole or cut, has such
// a chunk.
bool chunkLengthsFit(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kSignature = 8, kChunkFrame = 12;
    for (std::size_t at = kSignature; at + 4 <= size;) {
        const std::uint64_t length = std::uint64_t{data[at]} << 24 | std::uint64_t{data[at + 1]} << 16 |
                                     std::uint64_t{data[at + 2]} << 8 | data[at + 3];
        if (length > size) return false;
        at += kChunkFrame + static_cast<std::size_t>(length);
    }
    return true;
}

}  // namespace

std::optional<TextureImage> PngReader::readPngMemory(const std::uint8_t* data, std::size_t size,
                                                     const std::string& path) {
    const std::string undecodable = formatText("PNG Texture File: %s could not be decoded.", path.c_str());
    PngImage png;
    png_image& image = png.get();
    if (size == 0 || !chunkLengthsFit(data, size) || !png_image_begin_read_from_memory(&image, data, size)) {
        if (diagnostics_ && image.message[0]) diagnostics_(image.message);
        return fail(undecodable);
    }
    // The header alone names the size: check it before anything is allocated.
    const std::int64_t width = image.width, height = image.height;
    if (!pictureSizeAllowed(width, height) || width * height > pixelLimit_)
        return fail(formatText("PNG Texture File: %s is too large (%u x %u).", path.c_str(), image.width,
                               image.height));

    // 16-bit samples without a gamma chunk are taken as sRGB like 8-bit ones,
    // so reducing them to 8 bits only rescales them.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    image.format = PNG_FORMAT_RGBA;
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    std::vector<std::uint8_t> rgba;
    try {
        rgba.resize(stride * static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return fail(formatText("PNG Texture File: %s is too large (%u x %u).", path.c_str(), image.width,
                               image.height));
    }
    // A negative stride stores the bottom row first, as OpenGL wants it.
    if (!png_image_finish_read(&image, nullptr, rgba.data(), -static_cast<png_int_32>(stride), nullptr)) {
        if (diagnostics_ && image.message[0]) diagnostics_(image.message);
        return fail(undecodable);
    }

    TextureImage result;
    result.width = static_cast<int>(width);
    result.height = static_cast<int>(height);
    result.format = GL_RGB;
    result.bytesPerPixel = 3;
    result.pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const std::uint8_t* in = rgba.data();
    std::uint8_t* out = result.pixels.data();
    for (std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height); n > 0; --n) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
        in += 4;
        out += 3;
    }
    return result;
}

}  // namespace velmora
