#pragma once
// The score lines the programs print, as the points they count.

#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace velmora::testing {

// The points each channel's score lines count over their depth bands ("red 638: 2, ..."): every point is
// scored once in one band.
inline std::string scoredPoints(const std::string& out) {
    static const std::regex line(R"(score (\w+ \d+) nm band \d+/\d+ at [\d.]+ mm \((\d+) points\): )"
                                 R"(PSNR \S+ dB, SSIM \S+, speckle \S+)");
    std::vector<std::pair<std::string, int>> channels;
    std::istringstream lines(out);
    for (std::string text; std::getline(lines, text);) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        if (channels.empty() || channels.back().first != m[1]) channels.emplace_back(m[1], 0);
        channels.back().second += std::stoi(m[2]);
    }
    std::string said;
    for (const auto& [channel, points] : channels)
        said += (said.empty() ? "" : ", ") + channel + ": " + std::to_string(points);
    return said;
}

}  // namespace velmora::testing
