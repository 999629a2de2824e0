#pragma once
// A measured modulator's phase per grey level, as a text file:
//
//   # grey  phase in radians
//   0       0.0
//   128     3.21
//   255     6.40
//
// one pair per line, blanks or tabs between; '#' starts a comment; grey
// levels 0 to 65535, each at most once; at least one pair. Levels left out
// are never written, so a device that takes only some greys lists only those.

#include "platform/Result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct PhaseLut {
    struct Entry {
        std::uint16_t grey;
        double phase;
    };
    std::vector<Entry> entries;  // in the file's order
};

// The table in `text`, or the first line that is not a pair and why.
Result<PhaseLut> parsePhaseLut(std::string_view text);
// The table in the file at `path` (at most 4 MiB).
Result<PhaseLut> readPhaseLut(const std::string& path);

}  // namespace velmora
