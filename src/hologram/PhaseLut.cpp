#include "hologram/PhaseLut.h"

#include "platform/DecimalText.h"
#include "platform/InputFile.h"

#include <cmath>
#include <optional>

namespace velmora {

namespace {

constexpr std::size_t kLargestFile = 4u << 20;

std::optional<std::uint16_t> greyLevel(std::string_view text) {
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// The line without its comment, split at blanks and tabs.
std::vector<std::string_view> words(std::string_view line) {
    line = line.substr(0, line.find('#'));
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t start = line.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos) break;
        const std::size_t end = std::min(line.find_first_of(" \t\r", start), line.size());
        found.push_back(line.substr(start, end - start));
        at = end;
    }
    return found;
}

}  // namespace

Result<PhaseLut> parsePhaseLut(std::string_view text) {
    PhaseLut lut;
    std::vector<bool> seen(65536, false);
    std::size_t number = 0;
    while (!text.empty()) {
        ++number;
        const std::size_t end = std::min(text.find('\n'), text.size());
        const auto pair = words(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (pair.empty()) continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        const auto grey = pair.size() == 2 ? greyLevel(pair[0]) : std::nullopt;
        const auto phase = pair.size() == 2 ? parseDecimalDouble(pair[1]) : std::nullopt;
        if (!grey || !phase || !std::isfinite(*phase))
            return Result<PhaseLut>::failure(where + "not a grey level (0 to 65535) and a phase in radians");
        if (seen[*grey]) return Result<PhaseLut>::failure(where + "grey level " + std::to_string(*grey) + " again");
        seen[*grey] = true;
        lut.entries.push_back({*grey, *phase});
    }
    if (lut.entries.empty()) return Result<PhaseLut>::failure("no grey level and phase in it");
    return lut;
}

Result<PhaseLut> readPhaseLut(const std::string& path) {
    InputFile file;
    if (file.open(path) != InputFile::Status::Ok) return Result<PhaseLut>::failure("cannot open " + path);
    std::string text;
    char block[65536];
    for (long got; (got = file.read(block, sizeof block)) != 0;) {
        if (got < 0) return Result<PhaseLut>::failure("cannot read " + path);
        text.append(block, static_cast<std::size_t>(got));
        if (text.size() > kLargestFile) return Result<PhaseLut>::failure(path + " is larger than a table of phases");
    }
    auto lut = parsePhaseLut(text);
    if (!lut) return Result<PhaseLut>::failure(path + ": " + lut.error());
    return lut;
}

}  // namespace velmora
