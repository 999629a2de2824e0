#include "export/ExportNaming.h"

#include "platform/NameSuffix.h"

namespace velmora {

namespace {

std::string withoutLastFour(const std::string& name) {
    return name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
}

}  // namespace

std::string withCghExtension(const std::string& chosen) {
    return hasSuffixIgnoringCase(chosen, ".cgh") ? chosen : chosen + ".CGH";
}

std::string with3diExtension(const std::string& chosen) {
    return hasSuffixIgnoringCase(chosen, ".3di") ? chosen : chosen + ".3di";
}

std::string withPlyExtension(const std::string& chosen) {
    return hasSuffixIgnoringCase(chosen, ".ply") ? chosen : chosen + ".ply";
}

std::string multiViewFileName(const std::string& cghName, int number) {
    return withoutLastFour(cghName) + std::to_string(number) + ".CGH";
}

std::string multiViewStem(const std::string& cghName) { return withoutLastFour(cghName); }

std::string multiViewSuffix(int number) { return std::to_string(number) + ".CGH"; }

std::string multiViewPlyFileName(const std::string& plyName, int number) {
    return withoutLastFour(plyName) + std::to_string(number) + ".ply";
}
std::string multiViewPrefix(const std::string& prefix, int number) { return prefix + std::to_string(number); }

}  // namespace velmora
