#include "textures/DibReader.h"

#include "platform/Diagnostics.h"
#include "platform/MappedFile.h"
#include "platform/Prompt.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <new>

namespace velmora {

namespace {

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (mask == 0) return;
        while (!((mask >> shift) & 1u)) ++shift;
        max = mask >> shift;
    }
    std::uint8_t operator()(std::uint32_t pixel) const {
        if (max == 0) return 0;
        const std::uint64_t value = (pixel & mask) >> shift;
        return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
    }
};

// Writes decoded pixels into the picture, bottom row first, whatever order
// the file stores its rows in. Pixels outside the picture are dropped.
class RgbCanvas {
public:
    RgbCanvas(TextureImage& image, bool topDown) : image_(image), topDown_(topDown) {}
    // `line` counts the file's rows in storage order.
    std::uint8_t* row(std::int64_t line) {
        if (line < 0 || line >= image_.height) return nullptr;
        const std::int64_t y = topDown_ ? image_.height - 1 - line : line;
        return image_.pixels.data() + static_cast<std::size_t>(y) * image_.rowBytes();
    }
    void put(std::int64_t x, std::int64_t line, const DibColour& c) {
        if (x < 0 || x >= image_.width) return;
        if (std::uint8_t* r = row(line)) {
            r[x * 3] = c.red;
            r[x * 3 + 1] = c.green;
            r[x * 3 + 2] = c.blue;
        }
    }
    int width() const { return image_.width; }
    int height() const { return image_.height; }

private:
    TextureImage& image_;
    bool topDown_;
};

DibColour paletteColour(const std::vector<DibColour>& colours, unsigned index) {
    // An index beyond the table draws black.
    return index < colours.size() ? colours[index] : DibColour{};
}

void decodeUncompressed(const NormalisedDib& dib, const std::uint8_t* data, std::size_t size, RgbCanvas& out) {
    const auto& h = dib.header;
    const std::uint64_t stride = ((std::uint64_t{h.bitCount} * h.width + 31) / 32) * 4;
    std::array<std::uint32_t, 3> masks = dib.masks;
    if (h.compression != kDibBitFields) {
        masks = h.bitCount == 16 ? std::array<std::uint32_t, 3>{0x7C00, 0x03E0, 0x001F}
                                 : std::array<std::uint32_t, 3>{0xFF0000, 0xFF00, 0xFF};
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);
    for (int line = 0; line < out.height(); ++line) {
        const std::uint64_t start = dib.pixelOffset + line * stride;
        if (start >= size) break;  // the rest of a cut-off file stays black
        const std::uint8_t* src = data + start;
        const std::uint64_t available = std::min<std::uint64_t>(stride, size - start);
        std::uint8_t* dst = out.row(line);
        const int bits = h.bitCount;
        for (int x = 0; x < out.width(); ++x) {
            const std::uint64_t firstBit = std::uint64_t(x) * bits;
            const std::uint64_t lastByte = (firstBit + bits - 1) / 8;
            if (lastByte >= available) break;
            const std::uint8_t* p = src + firstBit / 8;
            DibColour c;
            switch (bits) {
                case 1: c = paletteColour(dib.colours, (*p >> (7 - x % 8)) & 1u); break;
                case 4: c = paletteColour(dib.colours, x % 2 ? *p & 0x0Fu : *p >> 4); break;
                case 8: c = paletteColour(dib.colours, *p); break;
                case 24: c = DibColour{p[0], p[1], p[2], 0}; break;
                default: {
                    const std::uint32_t v = bits == 16 ? le16(p) : le32(p);
                    c = DibColour{blue(v), green(v), red(v), 0};
                    break;
                }
            }
            dst[x * 3] = c.red;
            dst[x * 3 + 1] = c.green;
            dst[x * 3 + 2] = c.blue;
        }
    }
}

// RLE8 and RLE4: pairs of (count, value) and escapes for end of line, end of
// picture, a jump and runs of literal pixels. Pixels the codes skip stay black.
void decodeRunLength(const NormalisedDib& dib, const std::uint8_t* data, std::size_t size, RgbCanvas& out) {
    const bool four = dib.header.compression == kDibRle4;
    std::size_t p = dib.pixelOffset;
    std::int64_t x = 0, line = 0;
    while (p + 2 <= size && line < out.height()) {
        const unsigned count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i, ++x) {
                const unsigned index = four ? (i % 2 ? value & 0x0Fu : value >> 4) : value;
                out.put(x, line, paletteColour(dib.colours, index));
            }
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++line;
        } else if (value == 1) {  // end of picture
            break;
        } else if (value == 2) {  // jump right and up
            if (p + 2 > size) break;
            x += data[p];
            line += data[p + 1];
            p += 2;
        } else {  // literal pixels, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            for (unsigned i = 0; i < value; ++i, ++x) {
                const std::size_t at = p + (four ? i / 2 : i);
                if (at >= size) break;
                const unsigned index = four ? (i % 2 ? data[at] & 0x0Fu : data[at] >> 4) : data[at];
                out.put(x, line, paletteColour(dib.colours, index));
            }
            p += bytes + (bytes & 1u);
        }
    }
}

bool decodable(const DibInfoHeader& h) {
    switch (h.compression) {
        case kDibRgb:
            return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 ||
                   h.bitCount == 24 || h.bitCount == 32;
        case kDibRle8: return h.bitCount == 8;
        case kDibRle4: return h.bitCount == 4;
        case kDibBitFields: return h.bitCount == 16 || h.bitCount == 32;
        default: return false;
    }
}

}  // namespace

std::uint32_t dibColourCount(std::uint16_t bitCount) {
    switch (bitCount) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

std::optional<NormalisedDib> normaliseDib(const std::uint8_t* data, std::size_t size) {
    NormalisedDib dib;
    std::size_t info = 0;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        if (size < kFileHeaderSize) return std::nullopt;
        dib.fileHeader = true;
        dib.pixelOffset = le32(data + 10);
        info = kFileHeaderSize;
    }
    if (size < info + 4) return std::nullopt;
    const std::uint32_t headerSize = le32(data + info);
    const std::uint8_t* p = data + info;
    DibInfoHeader& h = dib.header;
    std::uint32_t colourCount = 0;
    std::size_t entrySize = 0;
    if (headerSize == kCoreHeaderSize) {
        if (size < info + kCoreHeaderSize) return std::nullopt;
        h.width = le16(p + 4);
        h.height = le16(p + 6);
        h.planes = le16(p + 8);
        h.bitCount = le16(p + 10);
        colourCount = dibColourCount(h.bitCount);
        h.coloursUsed = h.coloursImportant = colourCount;
        entrySize = 3;
    } else if (headerSize == kInfoHeaderSize) {
        if (size < info + kInfoHeaderSize) return std::nullopt;
        h.width = static_cast<std::int32_t>(le32(p + 4));
        h.height = static_cast<std::int32_t>(le32(p + 8));
        h.planes = le16(p + 12);
        h.bitCount = le16(p + 14);
        h.compression = le32(p + 16);
        h.imageSize = le32(p + 20);
        h.xPelsPerMeter = static_cast<std::int32_t>(le32(p + 24));
        h.yPelsPerMeter = static_cast<std::int32_t>(le32(p + 28));
        h.coloursUsed = le32(p + 32);
        h.coloursImportant = le32(p + 36);
        const std::uint32_t used = h.coloursUsed & 0xFFFFu;
        colourCount = used != 0 ? used : dibColourCount(h.bitCount);
        entrySize = 4;
    } else {
        return std::nullopt;
    }

    // Bit-field masks follow a 40-byte header, before the colour table.
    std::size_t table = info + headerSize;
    if (headerSize == kInfoHeaderSize && h.compression == kDibBitFields) {
        for (std::size_t i = 0; i < 3; ++i)
            if (table + 4 * i + 4 <= size) dib.masks[i] = le32(data + table + 4 * i);
        table += 12;
    }
    dib.colours.resize(colourCount);
    for (std::uint32_t i = 0; i < colourCount; ++i) {
        const std::size_t at = table + i * entrySize;
        if (at + entrySize > size) break;
        dib.colours[i] = DibColour{data[at], data[at + 1], data[at + 2], 0};
        if (entrySize == 4) dib.colours[i].reserved = data[at + 3];
    }
    if (!dib.fileHeader) dib.pixelOffset = table + std::size_t{colourCount} * entrySize;

    if (h.imageSize == 0) {
        const std::uint64_t bytes =
            (std::uint64_t{h.bitCount} * static_cast<std::uint64_t>(std::max(h.width, 0)) + 7) / 8 *
            static_cast<std::uint64_t>(std::llabs(h.height));
        h.imageSize = static_cast<std::uint32_t>(std::min<std::uint64_t>(bytes, UINT32_MAX));
    }
    if (h.coloursUsed == 0) h.coloursUsed = colourCount;
    h.size = kInfoHeaderSize;
    return dib;
}

DibReader::DibReader(Prompt& prompt) : prompt_(prompt) {}

std::optional<TextureImage> DibReader::fail(const std::string& text) {
    prompt_.show(text, std::string("Error"));
    return std::nullopt;
}

std::optional<TextureImage> DibReader::readDib(const std::string& path) {
    MappedFile file;
    if (file.open(path) != MappedFile::Status::Ok)
        return fail(formatText("Failed to open DIB file %s.\n", path.c_str()));
    return readDibMemory(file.data(), file.size());
}

std::optional<TextureImage> DibReader::readDibMemory(const std::uint8_t* data, std::size_t size) {
    auto dib = normaliseDib(data, size);
    if (!dib) return fail("Unknown DIB file format.");
    const DibInfoHeader& h = dib->header;
    const std::int64_t width = h.width;
    const std::int64_t height = std::llabs(std::int64_t{h.height});
    if (width < 1 || height < 1 || !decodable(h)) return fail("Image file conversion error.");
    if (!pictureSizeAllowed(width, height) || width * height > pixelLimit_)
        return fail(formatText("DIB image is too large (%lld x %lld pixels).", static_cast<long long>(width),
                               static_cast<long long>(height)));

    TextureImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.format = GL_RGB;
    image.bytesPerPixel = 3;
    try {
        image.pixels.assign(image.rowBytes() * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        return fail("Out of memory.");
    }
    RgbCanvas canvas(image, h.height < 0);
    if (h.compression == kDibRle8 || h.compression == kDibRle4)
        decodeRunLength(*dib, data, size, canvas);
    else
        decodeUncompressed(*dib, data, size, canvas);
    return image;
}

}  // namespace velmora
