#pragma once
// Test pictures: TGA and BMP files assembled field by field around pixel bytes
// the test spells out, JPEG files made with libjpeg's compressor.

#include "support/TempDir.h"

#include <cstdlib>
#include <functional>

#include <jpeglib.h>

namespace velmora::testing {

inline void put16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
inline void put32(Bytes& b, std::uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }

// The fields most pictures set come first, so that a brace list names them in order.
struct TgaLayout {
    std::uint8_t imageType = 2, depth = 24;
    int width = 1, height = 1;
    Bytes body{};  // pixel bytes or packets, as stored
    std::uint8_t descriptor = 0;
    Bytes id{};         // the image ID field
    Bytes colourMap{};  // 24-bit entries
};

inline Bytes tgaFile(const TgaLayout& s) {
    Bytes b{std::uint8_t(s.id.size()), std::uint8_t(s.colourMap.empty() ? 0 : 1), s.imageType};
    put16(b, 0), put16(b, unsigned(s.colourMap.size() / 3)), b.push_back(s.colourMap.empty() ? 0 : 24);
    put16(b, 0), put16(b, 0), put16(b, unsigned(s.width)), put16(b, unsigned(s.height));
    b.insert(b.end(), {s.depth, s.descriptor});
    for (const Bytes* part : {&s.id, &s.colourMap, &s.body}) b.insert(b.end(), part->begin(), part->end());
    return b;
}

struct BmpLayout {
    unsigned bitCount = 24;
    std::int32_t width = 1, height = 1;
    Bytes pixels{};   // rows as stored, with their padding
    Bytes palette{};  // entries as stored: B, G, R (, 0)
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks{};  // written after a 40-byte header when given
    std::uint32_t coloursUsed = 0;
    unsigned headerSize = 40;  // 12 for the OS/2 core header
    bool fileHeader = true;
};

inline Bytes bmpFile(const BmpLayout& s) {
    Bytes info;
    put32(info, s.headerSize);
    if (s.headerSize == 12) {
        put16(info, unsigned(s.width)), put16(info, unsigned(s.height)), put16(info, 1), put16(info, s.bitCount);
    } else {
        put32(info, std::uint32_t(s.width)), put32(info, std::uint32_t(s.height)), put16(info, 1);
        put16(info, s.bitCount);
        for (std::uint32_t v : {s.compression, 0u, 2835u, 2835u, s.coloursUsed, 0u}) put32(info, v);
        info.resize(std::max<std::size_t>(info.size(), s.headerSize), 0);
    }
    for (auto m : s.masks) put32(info, m);
    info.insert(info.end(), s.palette.begin(), s.palette.end());
    Bytes b;
    if (s.fileHeader) {
        b = {'B', 'M'};
        put32(b, std::uint32_t(14 + info.size() + s.pixels.size())), put32(b, 0), put32(b, std::uint32_t(14 + info.size()));
    }
    b.insert(b.end(), info.begin(), info.end());
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    return b;
}

inline Bytes bmpRows(const std::vector<Bytes>& rows) {
    Bytes b;
    for (const auto& r : rows) {
        b.insert(b.end(), r.begin(), r.end());
        b.resize(b.size() + (4 - r.size() % 4) % 4, 0);
    }
    return b;
}

struct Rgb {
    std::uint8_t r, g, b;
};

inline bool closeTo(const std::uint8_t* p, Rgb c, int tolerance) {
    return std::abs(p[0] - c.r) <= tolerance && std::abs(p[1] - c.g) <= tolerance && std::abs(p[2] - c.b) <= tolerance;
}

// A JPEG (quality 100) of `colour(x, y)`, y = 0 the top row. `components` 3 writes colour (YCbCr),
// 1 greyscale (the red channel), 4 CMYK.
inline Bytes jpegFile(int width, int height, const std::function<Rgb(int, int)>& colour, int components = 3) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width), info.image_height = JDIMENSION(height), info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(std::size_t(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x, y);
            const JSAMPLE sample[4] = {c.r, c.g, c.b, 0};
            std::copy(sample, sample + components, &row[std::size_t(x) * components]);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace velmora::testing
