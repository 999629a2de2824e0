#pragma once
// The score lines the programs print, as the points they count.

#include <map>
#include <regex>
#include <sstream>
#include <string>

namespace velmora::testing {

// The points each channel's score lines count over their depth bands ("blue 450: 2, green 520: 2, ..."):
// every point is scored once in one band.
inline std::string scoredPoints(const std::string& out) {
    static const std::regex line(R"(score (\w+ \d+) nm band \d+/\d+ at [\d.]+ mm \((\d+) points\): )"
                                 R"(PSNR \S+ dB, SSIM \S+, speckle \S+)");
    std::map<std::string, int> channels;
    std::istringstream lines(out);
    std::smatch m;
    for (std::string text; std::getline(lines, text);)
        if (std::regex_match(text, m, line)) channels[m[1]] += std::stoi(m[2]);
    std::string said;
    for (const auto& [channel, points] : channels)
        said += (said.empty() ? "" : ", ") + channel + ": " + std::to_string(points);
    return said;
}

}  // namespace velmora::testing
