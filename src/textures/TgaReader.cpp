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

namespace {

// Copies the pixels, raw or run-length coded, into the picture; what a
// short file does not cover stays zero.
void decodePixels(const std::uint8_t* data, std::size_t size, const TgaHeader& h, bool runLength,
                  TextureImage& image) {
    const std::size_t bpp = static_cast<std::size_t>(image.bytesPerPixel);
    const std::size_t imageSize = image.pixels.size();
    const std::size_t start = std::min(h.pixelOffset(), size);
    const std::uint8_t* in = data ? data + start : nullptr;
    const std::uint8_t* const end = data ? data + size : nullptr;
    std::uint8_t* out = image.pixels.data();
    std::uint8_t* const outEnd = out + imageSize;
    if (!runLength) {
        const std::size_t whole = std::min(imageSize, static_cast<std::size_t>(end - in)) / bpp;
        for (std::size_t i = 0; i < whole; ++i, in += bpp, out += bpp) storePixel(out, in, image.bytesPerPixel);
    } else {
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
}

}  // namespace

// The picture's format for the header's image type and depth, or nothing
// after the refusal; `runLength` tells whether the pixels are run-length coded.
std::optional<unsigned> TgaReader::formatOf(const TgaHeader& h, unsigned options, const std::string& path,
                                            bool& runLength) {
    unsigned format = 0;
    runLength = false;
    switch (h.imageType) {
        case 1:
        case 9:
            refuse("TGA Texture File: %s uses 8-bit Colour (No Longer Supported).", path);
            return std::nullopt;
        case 2:
        case 10:
            runLength = h.imageType == 10;
            if (h.pixelDepth == 24) {
                format = GL_RGB;
            } else if (h.pixelDepth == 32) {
                format = GL_RGBA;
            } else {
                refuse(runLength ? "TGA Texture File: %s uses an Unsupported Compressed RGB format."
                                 : "TGA Texture File: %s has an Unsuported RGB Format (Must be 24 or 32 bpp).",
                       path);
                return std::nullopt;
            }
            break;
        case 3:
            if (options & tgaOptions::greyAsLuminance) {
                format = GL_LUMINANCE;
            } else if (options & tgaOptions::greyAsAlpha) {
                format = GL_ALPHA;
            } else {
                refuse("TGA Texture File: %s has Unsuported Color Type (Must be Luminance or Alpha Greyscale).",
                       path);
                return std::nullopt;
            }
            if (h.pixelDepth != 8) {
                refuse("TGA Texture File: %s has an Unsupported Greyscale Format (Must be 8 bpp).", path);
                return std::nullopt;
            }
            break;
        default:
            prompt_.show(formatText("TGA Texture File: %s has an Unsupported Image Type (%d).", path.c_str(),
                                    h.imageType));
            return std::nullopt;
    }
    return format;
}

std::optional<TextureImage> TgaReader::readTgaMemory(const std::uint8_t* data, std::size_t size,
                                                     const std::string& path, unsigned options) {
    header_ = TgaHeader::parse(data, size);
    const TgaHeader& h = header_;
    bool runLength = false;
    const auto format = formatOf(h, options, path, runLength);
    if (!format) return std::nullopt;
    if (h.width < 1 || h.height < 1) {
        prompt_.show(formatText("TGA Texture File: %s has an Invalid Size (%d x %d).", path.c_str(), h.width,
                                h.height));
        return std::nullopt;
    }
    if (!pictureSizeAllowed(h.width, h.height) || std::int64_t{h.width} * h.height > pixelLimit_) {
        prompt_.show(formatText("TGA Texture File: %s is too large (%d x %d).", path.c_str(), h.width,
                                h.height));
        return std::nullopt;
    }

    TextureImage image;
    image.format = *format;
    image.width = h.width;
    image.height = h.height;
    image.bytesPerPixel = h.pixelDepth / 8;
    const std::size_t imageSize = image.rowBytes() * static_cast<std::size_t>(image.height);
    // What a short file does not cover stays zero.
    image.pixels.assign(imageSize, 0);

    decodePixels(data, size, h, runLength, image);
    if (h.descriptor & TgaHeader::kTopDown) flipRows(image);
    return image;
}

void TgaReader::uploadTga(const TextureImage& image) const {
    // The rows are packed; read them so whatever alignment is current.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, static_cast<GLint>(image.format), image.width, image.height, image.format,
                      GL_UNSIGNED_BYTE, image.pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

bool TgaReader::loadTga(const std::string& path, unsigned options) {
    auto image = readTga(path, options);
    if (!image) return false;
    uploadTga(*image);
    return true;
}

}  // namespace velmora
