#pragma once
// The options of velmora-holo and their parsing.

#include "HoloJob.h"
#include "platform/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace velmora {

struct HoloCommandLine {
    HoloJob job;
    bool help = false;
    bool version = false;
};

// Parses argv[1..]. On an error returns nothing and sets `error` to a
// one-line message.
Result<HoloCommandLine> parseHoloCommandLine(const std::vector<std::string>& args);

// The text of --help.
const std::string& holoUsage();

}  // namespace velmora
