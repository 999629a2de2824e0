#include "hologram/StoredPng.h"

#include "platform/OutputFile.h"

#include <zlib.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace velmora {

namespace {

constexpr std::size_t kLargestBlock = 65535;  // a stored deflate block's length field

void putBig32(std::uint8_t* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// A row's filtered bytes (a filter byte 0 and the levels) as stored blocks.
std::uint64_t rowPayload(int width) {
    const std::uint64_t bytes = static_cast<std::uint64_t>(width) + 1;
    return bytes + 5 * ((bytes + kLargestBlock - 1) / kLargestBlock);
}

}  // namespace

// Signature 8, IHDR 25, per row an IDAT (12 + payload), the zlib header (2)
// in the first and the Adler-32 (4) in the last, IEND 12.
std::uint64_t storedPngSize(int width, int height) {
    return 8 + 25 + static_cast<std::uint64_t>(height) * (12 + rowPayload(width)) + 2 + 4 + 12;
}

StoredPngWriter::StoredPngWriter(OutputFile& file, int width, int height)
    : file_(file), width_(width), height_(height) {
    file_.append(std::string_view("\x89PNG\r\n\x1a\n", 8));
    std::uint8_t header[13] = {};
    putBig32(header, static_cast<std::uint32_t>(width));
    putBig32(header + 4, static_cast<std::uint32_t>(height));
    header[8] = 8;  // bit depth; colour type 0 (grey), deflate, adaptive filters, no interlace
    chunk("IHDR", header, sizeof header);
}

void StoredPngWriter::addRow(const std::uint8_t* levels) {
    const std::size_t bytes = static_cast<std::size_t>(width_) + 1;
    std::vector<std::uint8_t> data;
    data.reserve(static_cast<std::size_t>(rowPayload(width_)) + 6);
    if (row_ == 0) data.insert(data.end(), {0x78, 0x01});  // deflate, 32 KiB window, no dictionary
    const bool last = row_ + 1 == height_;
    for (std::size_t from = 0; from < bytes; from += kLargestBlock) {
        const std::size_t length = std::min(kLargestBlock, bytes - from);
        const bool final = last && from + length == bytes;
        data.insert(data.end(), {static_cast<std::uint8_t>(final ? 1 : 0), static_cast<std::uint8_t>(length & 0xFF),
                                 static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(~length & 0xFF),
                                 static_cast<std::uint8_t>((~length >> 8) & 0xFF)});
        // The filter byte leads the row: the first block starts with it.
        if (from == 0) {
            data.push_back(0);
            data.insert(data.end(), levels, levels + length - 1);
        } else {
            data.insert(data.end(), levels + from - 1, levels + from - 1 + length);
        }
    }
    const std::uint8_t filter = 0;
    adler_ = adler32(adler_, &filter, 1);
    adler_ = adler32_z(adler_, levels, static_cast<std::size_t>(width_));
    if (last) {
        std::uint8_t sum[4];
        putBig32(sum, static_cast<std::uint32_t>(adler_));
        data.insert(data.end(), sum, sum + 4);
    }
    chunk("IDAT", data.data(), data.size());
    if (last) chunk("IEND", nullptr, 0);
    ++row_;
}

void StoredPngWriter::chunk(const char* type, const std::uint8_t* data, std::size_t size) {
    std::uint8_t head[8];
    putBig32(head, static_cast<std::uint32_t>(size));
    std::copy(type, type + 4, head + 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size > 0) crc = crc32_z(crc, data, size);
    std::uint8_t tail[4];
    putBig32(tail, static_cast<std::uint32_t>(crc));
    file_.append({reinterpret_cast<const char*>(head), 8});
    if (size > 0) file_.append({reinterpret_cast<const char*>(data), size});
    file_.append({reinterpret_cast<const char*>(tail), 4});
}

}  // namespace velmora
