#include "textures/TgaReader.h"

#include "platform/Diagnostics.h"
#include "platform/MappedFile.h"
#include "platform/Prompt.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glu.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace velmora {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// Stores one file pixel (B, G, R (, A)) as R, G, B (, A).
void storePixel(std::uint8_t* out, const std::uint8_t* in, int bytesPerPixel) {
    if (bytesPerPixel >= 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        if (bytesPerPixel == 4) out[3] = in[3];
    } else {
        out[0] = in[0];
    }
}

// The image types of the header.
constexpr std::uint8_t kColourMapped = 1;
constexpr std::uint8_t kTrueColour = 2;
constexpr std::uint8_t kGreyscale = 3;
constexpr std::uint8_t kRunLengthColourMapped = 9;
constexpr std::uint8_t kRunLengthTrueColour = 10;

// As many whole pixels as the data holds.
void copyRawPixels(const std::uint8_t* in, const std::uint8_t* end, TextureImage& image) {
    const std::size_t bpp = static_cast<std::size_t>(image.bytesPerPixel);
    std::uint8_t* out = image.pixels.data();
    const std::size_t whole = std::min(image.pixels.size(), static_cast<std::size_t>(end - in)) / bpp;
    for (std::size_t i = 0; i < whole; ++i, in += bpp, out += bpp) storePixel(out, in, image.bytesPerPixel);
}

// Packets until the picture is full or the data ends; a packet the data cuts
// short ends the picture there.
void expandRunLengthPixels(const std::uint8_t* in, const std::uint8_t* end, TextureImage& image) {
    const std::size_t bpp = static_cast<std::size_t>(image.bytesPerPixel);
    std::uint8_t* out = image.pixels.data();
    std::uint8_t* const outEnd = out + image.pixels.size();
    while (out < outEnd && in < end) {
        const std::uint8_t packet = *in++;
        std::size_t count = (packet & 0x7Fu) + 1;
        if (packet & 0x80u) {
            if (static_cast<std::size_t>(end - in) < bpp) break;
            for (; count > 0 && out < outEnd; --count, out += bpp) storePixel(out, in, image.bytesPerPixel);
            in += bpp;
        } else {
            for (; count > 0 && out < outEnd; --count, out += bpp, in += bpp) {
                if (static_cast<std::size_t>(end - in) < bpp) {
                    in = end;
                    break;
                }
                storePixel(out, in, image.bytesPerPixel);
            }
        }
    }
}

void flipRows(TextureImage& image) {
    const std::size_t row = image.rowBytes();
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(image.pixels.begin() + top * row, image.pixels.begin() + (top + 1) * row,
                         image.pixels.begin() + bottom * row);
}

}  // namespace

TgaHeader TgaHeader::parse(const std::uint8_t* data, std::size_t size) {
    std::array<std::uint8_t, kSize> b{};
    if (data) std::memcpy(b.data(), data, std::min(size, kSize));
    TgaHeader h;
    h.idLength = b[0];
    h.colourMapType = b[1];
    h.imageType = b[2];
    h.colourMapFirst = le16(&b[3]);
    h.colourMapLength = le16(&b[5]);
    h.colourMapEntryBits = b[7];
    h.xOrigin = le16(&b[8]);
    h.yOrigin = le16(&b[10]);
    h.width = static_cast<std::int16_t>(le16(&b[12]));
    h.height = static_cast<std::int16_t>(le16(&b[14]));
    h.pixelDepth = b[16];
    h.descriptor = b[17];
    return h;
}

std::size_t TgaHeader::pixelOffset() const {
    std::size_t offset = kSize + idLength;
    if (colourMapType != 0) offset += std::size_t{colourMapLength} * ((colourMapEntryBits + 7u) / 8u);
    return offset;
}

TgaReader::TgaReader(Prompt& prompt) : prompt_(prompt) {}

bool TgaReader::refuse(const char* format, const std::string& path) {
    prompt_.show(formatText(format, path.c_str()));
    return false;
}

std::optional<TextureImage> TgaReader::readTga(const std::string& path, unsigned options) {
    MappedFile file;
    auto status = file.open(path);
    if (status == MappedFile::Status::OpenFailed) {
        refuse("Failed to open TGA Texture File: %s.", path);
        return std::nullopt;
    }
    // A file that cannot be read to its end keeps what could be read.
    return readTgaMemory(file.data(), file.size(), path, options);
}

std::optional<unsigned> TgaReader::acceptedFormat(const std::string& path, unsigned options) {
    const TgaHeader& h = header_;
    switch (h.imageType) {
        case kColourMapped:
        case kRunLengthColourMapped:
            refuse("TGA Texture File: %s uses 8-bit Colour (No Longer Supported).", path);
            return std::nullopt;
        case kTrueColour:
        case kRunLengthTrueColour:
            if (h.pixelDepth == 24) return GL_RGB;
            if (h.pixelDepth == 32) return GL_RGBA;
            refuse(h.imageType == kRunLengthTrueColour
                       ? "TGA Texture File: %s uses an Unsupported Compressed RGB format."
                       : "TGA Texture File: %s has an Unsuported RGB Format (Must be 24 or 32 bpp).",
                   path);
            return std::nullopt;
        case kGreyscale: {
            unsigned format = GL_ALPHA;
            if (options & tgaOptions::greyAsLuminance) {
                format = GL_LUMINANCE;
            } else if (!(options & tgaOptions::greyAsAlpha)) {
                refuse("TGA Texture File: %s has Unsuported Color Type (Must be Luminance or Alpha Greyscale).",
                       path);
                return std::nullopt;
            }
            if (h.pixelDepth != 8) {
                refuse("TGA Texture File: %s has an Unsupported Greyscale Format (Must be 8 bpp).", path);
                return std::nullopt;
            }
            return format;
        }
        default:
            prompt_.show(formatText("TGA Texture File: %s has an Unsupported Image Type (%d).", path.c_str(),
                                    h.imageType));
            return std::nullopt;
    }
}

bool TgaReader::sizeAccepted(const std::string& path) {
    const TgaHeader& h = header_;
    if (h.width < 1 || h.height < 1) {
        prompt_.show(formatText("TGA Texture File: %s has an Invalid Size (%d x %d).", path.c_str(), h.width,
                                h.height));
        return false;
    }
    if (!pictureSizeAllowed(h.width, h.height) || std::int64_t{h.width} * h.height > pixelLimit_) {
        prompt_.show(formatText("TGA Texture File: %s is too large (%d x %d).", path.c_str(), h.width,
                                h.height));
        return false;
    }
    return true;
}

std::optional<TextureImage> TgaReader::readTgaMemory(const std::uint8_t* data, std::size_t size,
                                                     const std::string& path, unsigned options) {
    header_ = TgaHeader::parse(data, size);
    const TgaHeader& h = header_;
    const std::optional<unsigned> format = acceptedFormat(path, options);
    if (!format || !sizeAccepted(path)) return std::nullopt;

    TextureImage image;
    image.format = *format;
    image.width = h.width;
    image.height = h.height;
    image.bytesPerPixel = h.pixelDepth / 8;
    // What a short file does not cover stays zero.
    image.pixels.assign(image.rowBytes() * static_cast<std::size_t>(image.height), 0);

    const std::size_t start = std::min(h.pixelOffset(), size);
    const std::uint8_t* in = data ? data + start : nullptr;
    const std::uint8_t* const end = data ? data + size : nullptr;
    if (h.imageType == kRunLengthTrueColour)
        expandRunLengthPixels(in, end, image);
    else
        copyRawPixels(in, end, image);
    if (h.descriptor & TgaHeader::kTopDown) flipRows(image);
    return image;
}

void TgaReader::uploadTga(const TextureImage& image, unsigned options) const {
    GLint internalFormat = static_cast<GLint>(image.format);
    if (options & tgaOptions::sizedFormat) {
        switch (image.format) {
            case GL_ALPHA: internalFormat = GL_ALPHA8; break;
            case GL_RGB: internalFormat = GL_RGB8; break;
            case GL_RGBA: internalFormat = GL_RGBA8; break;
            case GL_LUMINANCE: internalFormat = GL_LUMINANCE8; break;
        }
    }
    if ((options & tgaOptions::compressedFormat) && compressedTexturesAvailable_) {
        switch (image.format) {
            case GL_ALPHA: internalFormat = GL_COMPRESSED_ALPHA_ARB; break;
            case GL_RGB: internalFormat = GL_COMPRESSED_RGB_ARB; break;
            case GL_RGBA: internalFormat = GL_COMPRESSED_RGBA_ARB; break;
            case GL_LUMINANCE: internalFormat = GL_COMPRESSED_LUMINANCE_ARB; break;
        }
    }
    // The rows are packed; read them so whatever alignment is current.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (options & tgaOptions::levelZeroOnly) {
        glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, image.width, image.height, 0, image.format,
                     GL_UNSIGNED_BYTE, image.pixels.data());
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, internalFormat, image.width, image.height, image.format,
                          GL_UNSIGNED_BYTE, image.pixels.data());
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

bool TgaReader::loadTga(const std::string& path, unsigned options, TextureImage* kept) {
    auto image = readTga(path, options);
    if (!image) return false;
    if (options & tgaOptions::keepPixels) {
        if (kept) *kept = std::move(*image);
        return true;
    }
    uploadTga(*image, options);
    return true;
}

}  // namespace velmora
