#include "textures/JpegDecoder.h"

#include "platform/Prompt.h"

#include <GL/gl.h>

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace velmora {

namespace {

// The library's standard error manager, except that a fatal error jumps back
// into the decoder instead of ending the process, and message texts go to
// the decoder's diagnostics.
struct ErrorManager {
    jpeg_error_mgr standard;
    std::jmp_buf escape;
    const Diagnostics* diagnostics;
};

void emitText(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    char text[JMSG_LENGTH_MAX];
    info->err->format_message(info, text);
    if (errors->diagnostics && *errors->diagnostics) (*errors->diagnostics)(text);
}

[[noreturn]] void escapeOnError(j_common_ptr info) {
    emitText(info);
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

enum class Outcome { Decoded, NotDecodable, NotRgb, TooLarge };

// What the decode fills in. It lives outside the function that calls setjmp,
// so a jump back leaves it in a known state.
struct Decoding {
    jpeg_decompress_struct info;
    ErrorManager errors;
    TextureImage image;
    std::vector<JSAMPROW> rows;
    bool created = false;
};

Outcome runDecoder(Decoding& d, std::FILE* file, const std::uint8_t* data, std::size_t size,
                   std::int64_t pixelLimit) {
    d.info.err = jpeg_std_error(&d.errors.standard);
    d.errors.standard.error_exit = escapeOnError;
    d.errors.standard.output_message = emitText;
    if (setjmp(d.errors.escape)) return Outcome::NotDecodable;

    jpeg_create_decompress(&d.info);
    d.created = true;
    if (file)
        jpeg_stdio_src(&d.info, file);
    else
        jpeg_mem_src(&d.info, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
    jpeg_read_header(&d.info, TRUE);
    if (d.info.jpeg_color_space == JCS_GRAYSCALE)
        d.info.out_color_space = JCS_RGB;
    else if (d.info.jpeg_color_space != JCS_YCbCr && d.info.jpeg_color_space != JCS_RGB)
        return Outcome::NotRgb;
    if (!pictureSizeAllowed(d.info.image_width, d.info.image_height) ||
        std::int64_t{d.info.image_width} * d.info.image_height > pixelLimit)
        return Outcome::TooLarge;
    jpeg_start_decompress(&d.info);
    if (d.info.output_components != 3) return Outcome::NotRgb;

    TextureImage& image = d.image;
    image.width = static_cast<int>(d.info.output_width);
    image.height = static_cast<int>(d.info.output_height);
    image.bytesPerPixel = d.info.output_components;
    image.format = GL_RGB;
    image.pixels.assign(image.rowBytes() * image.height, 0);
    d.rows.resize(image.height);
    for (int k = 0; k < image.height; ++k) d.rows[k] = image.pixels.data() + k * image.rowBytes();
    // The picture's top row goes last: OpenGL's textures start at the bottom.
    while (d.info.output_scanline < d.info.output_height) {
        const int r = static_cast<int>(d.info.output_scanline);
        jpeg_read_scanlines(&d.info, &d.rows[image.height - 1 - r], 1);
    }
    d.rows.clear();
    jpeg_finish_decompress(&d.info);
    return Outcome::Decoded;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

struct JpegDecoder::Source {
    std::FILE* file = nullptr;
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};

JpegDecoder::JpegDecoder(Prompt& prompt, Diagnostics diagnostics)
    : prompt_(prompt), diagnostics_(std::move(diagnostics)) {}

std::optional<TextureImage> JpegDecoder::decodeJpeg(const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        prompt_.show("Unable to load JPG File!", std::string("Error"));
        return std::nullopt;
    }
    Source source;
    source.file = file.get();
    return decode(source, path);
}

std::optional<TextureImage> JpegDecoder::decodeJpegMemory(const std::uint8_t* data, std::size_t size,
                                                          const std::string& path) {
    static const std::uint8_t kNothing = 0;
    Source source;
    source.data = data ? data : &kNothing;
    source.size = data ? size : 0;
    return decode(source, path);
}

std::optional<TextureImage> JpegDecoder::decode(const Source& source, const std::string& path) {
    auto d = std::make_unique<Decoding>();
    d->errors.diagnostics = &diagnostics_;
    Outcome outcome = Outcome::TooLarge;
    try {
        outcome = runDecoder(*d, source.file, source.data, source.size, pixelLimit_);
    } catch (const std::bad_alloc&) {
        outcome = Outcome::TooLarge;
    }
    if (d->created) jpeg_destroy_decompress(&d->info);
    switch (outcome) {
        case Outcome::Decoded: return std::move(d->image);
        case Outcome::NotDecodable:
            prompt_.show(formatText("JPG Texture File: %s could not be decoded.", path.c_str()),
                         std::string("Error"));
            break;
        case Outcome::NotRgb:
            prompt_.show(formatText("JPG Texture File: %s is not an RGB or Greyscale picture.", path.c_str()),
                         std::string("Error"));
            break;
        case Outcome::TooLarge:
            prompt_.show(formatText("JPG Texture File: %s is too large (%u x %u).", path.c_str(),
                                    static_cast<unsigned>(d->info.image_width),
                                    static_cast<unsigned>(d->info.image_height)),
                         std::string("Error"));
            break;
    }
    return std::nullopt;
}

}  // namespace velmora
