// Arbitrary bytes through the whole hologram job on a 16 x 16 grid: read, placed, computed and written with its preview
// into a folder of its own. Every refusal says why, and a hologram handed on is finite and lit.

#include "hologram/HologramOutputs.h"
#include "pointfile/PointFileReader.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "%s: \"%s\"\n", what, why.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmora;
    const auto file = parsePointFile(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!file) return 0;
    HologramSettings settings;
    settings.width = settings.height = 16, settings.planning = FftPlanning::Estimate, settings.threads = 1;
    settings.wisdomFolder.clear();
    if (size % 2) settings.holoFit = 0.8;  // both ways of choosing the unit
    const auto set = computeHolograms(file->points, settings);
    if (!set) {
        if (set.error().empty()) fail("a refusal without a reason", "");
        return 0;
    }
    for (const auto& channel : set->channels) for (const auto& v : channel.field.values)
        if (!std::isfinite(v.real()) || !std::isfinite(v.imag())) fail("a hologram that is not finite", channel.name);
    std::string folder = (std::filesystem::temp_directory_path() / "velmora-fuzz-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return 0;
    HologramOutputRequest request;
    request.prefix = folder + "/h";
    const auto written = writeHologramOutputs(*set, settings, request);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (!written) fail("a computed hologram that cannot be written", written.error());
    return 0;
}
