#pragma once
// Saves a rendered frame as a PNG picture.

#include "platform/Result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

// Writes `rgba` (width × height pixels, 4 bytes each, bottom row first, as
// OpenGL reads them back) as an 8-bit RGB PNG with the top row first. The
// alpha channel is dropped: the frame is opaque. A failure says what went
// wrong.
Result<void> writeFramePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgba);

}  // namespace velmora
