// Arbitrary bytes into the point-file readers: every point from bytes of the input.

#include "pointfile/PointFileReader.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto file = velmora::parsePointFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!file) {
        if (file.error().empty()) std::abort();  // every refusal says why
        return 0;
    }
    // The smallest point is a binary record of four one-byte properties or a text line of six one-digit numbers.
    if (file->points.points.size() * 4 > size) std::abort();
    return 0;
}
