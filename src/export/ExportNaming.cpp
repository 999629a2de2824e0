#include "export/ExportNaming.h"

#include <cctype>

namespace velmora {

namespace {

bool endsWithIgnoringCase(const std::string& name, const char* ending, std::size_t length) {
    if (name.size() < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char a = static_cast<unsigned char>(name[name.size() - length + i]);
        const unsigned char b = static_cast<unsigned char>(ending[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

std::string withoutLastFour(const std::string& name) {
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
}

}  // namespace

std::string withCghExtension(const std::string& chosen) {
    return endsWithIgnoringCase(chosen, ".cgh", 4) ? chosen : chosen + ".CGH";
}

std::string with3diExtension(const std::string& chosen) {
    return endsWithIgnoringCase(chosen, ".3di", 4) ? chosen : chosen + ".3di";
}

std::string withPlyExtension(const std::string& chosen) {
    return endsWithIgnoringCase(chosen, ".ply", 4) ? chosen : chosen + ".ply";
}

std::string multiViewFileName(const std::string& cghName, int number) {
    return withoutLastFour(cghName) + std::to_string(number) + ".CGH";
}

std::string multiViewStem(const std::string& cghName) { return withoutLastFour(cghName); }

std::string multiViewSuffix(int number) { return std::to_string(number) + ".CGH"; }

std::string multiViewPlyFileName(const std::string& plyName, int number) {
    return withoutLastFour(plyName) + std::to_string(number) + ".ply";
}

}  // namespace velmora
