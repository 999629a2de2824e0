#include "hologram/HologramOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <vector>

namespace velmora {

namespace {

const char* const kHelp =
    "Hologram options:\n"
    "  --holo-size WxH        hologram size in pixels (default 1920x1080)\n"
    "  --holo-pitch UM        pixel pitch in micrometres (default 8)\n"
    "  --holo-unit MM         millimetres per model unit, times the file's\n"
    "                         Output_Scalxy / Output_Scalz (default 1)\n"
    "  --holo-fit F           instead: scale the object to span F (0..1] of the\n"
    "                         hologram's shorter side\n"
    "  --holo-distance MM     from the nearest point to the hologram (default 100)\n"
    "  --holo-method M        wrp (recording plane, default) or direct (every point\n"
    "                         onto every pixel; exact but slow)\n"
    "  --holo-gap MM          recording plane in front of the nearest point (default:\n"
    "                         per wavelength, so the nearest zone is 28 pixels wide)\n"
    "  --holo-npy             also write the complex fields as .npy (complex64)\n"
    "  --holo-no-preview      do not write the reconstruction preview\n"
    "  --holo-threads N       threads (default: all cores)\n"
    "  --holo-quick-plan      plan the FFTs without measuring (slower transforms, no\n"
    "                         planning time; wisdom is kept in $XDG_CACHE_HOME/VELMORA\n"
    "                         or ~/.cache/VELMORA otherwise)\n";

bool toNumber(const char* text, double& out) {
    if (!text || !*text) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtod(text, &end);
    return errno == 0 && *end == '\0' && std::isfinite(out);
}

bool positive(const char* text, double& out) { return toNumber(text, out) && out > 0.0; }

bool parseSize(const char* text, HologramSettings& s) {
    if (!text) return false;
    char* end = nullptr;
    errno = 0;
    const long w = std::strtol(text, &end, 10);
    if (*end != 'x') return false;
    const long h = std::strtol(end + 1, &end, 10);
    if (errno != 0 || *end != '\0' || w < 2 || h < 2 || w > 16384 || h > 16384) return false;
    s.width = static_cast<int>(w);
    s.height = static_cast<int>(h);
    return true;
}

struct ValueOption {
    const char* name;
    const char* expects;
    std::function<bool(const char*, HologramSettings&)> apply;
};

const std::vector<ValueOption>& valueOptions() {
    static const std::vector<ValueOption> options = {
        {"--holo-size", "WxH, each 2 to 16384", parseSize},
        {"--holo-pitch", "a positive number of micrometres",
         [](const char* t, HologramSettings& s) { return positive(t, s.pitch) && (s.pitch *= 1e-6, true); }},
        {"--holo-unit", "a positive number of millimetres",
         [](const char* t, HologramSettings& s) { return positive(t, s.unit) && (s.unit *= 1e-3, true); }},
        {"--holo-fit", "a fraction in (0, 1]",
         [](const char* t, HologramSettings& s) {
             double f = 0;
             if (!positive(t, f) || f > 1.0) return false;
             s.holoFit = f;
             return true;
         }},
        {"--holo-distance", "a number of millimetres, at least 1",
         [](const char* t, HologramSettings& s) {
             return toNumber(t, s.distance) && s.distance >= 1.0 && (s.distance *= 1e-3, true);
         }},
        {"--holo-method", "wrp or direct",
         [](const char* t, HologramSettings& s) {
             const std::string m = t ? t : "";
             if (m != "wrp" && m != "direct") return false;
             s.method = m == "wrp" ? HologramMethod::RecordingPlane : HologramMethod::Direct;
             return true;
         }},
        {"--holo-gap", "a number of millimetres",
         [](const char* t, HologramSettings& s) {
             double gap = 0;
             if (!toNumber(t, gap)) return false;
             s.recordingGap = gap * 1e-3;
             return true;
         }},
        {"--holo-threads", "a whole number from 1 to 256",
         [](const char* t, HologramSettings& s) {
             double n = 0;
             if (!positive(t, n) || n != std::floor(n) || n > 256) return false;
             s.threads = static_cast<int>(n);
             return true;
         }},
    };
    return options;
}

}  // namespace

OptionMatch parseHologramOption(const std::string& name, const char* value, HologramOptions& options,
                                std::string& error) {
    if (name == "--holo-npy") return options.output.npy = true, OptionMatch::TakenAlone;
    if (name == "--holo-no-preview") return options.output.preview = false, OptionMatch::TakenAlone;
    if (name == "--holo-quick-plan") return options.settings.planning = FftPlanning::Estimate, OptionMatch::TakenAlone;
    for (const auto& option : valueOptions()) {
        if (name != option.name) continue;
        HologramSettings changed = options.settings;
        if (!option.apply(value, changed)) {
            error = std::string(option.name) + " needs " + option.expects;
            return OptionMatch::Invalid;
        }
        options.settings = changed;
        return OptionMatch::TakenValue;
    }
    return OptionMatch::NotMine;
}

const char* hologramOptionsHelp() { return kHelp; }

}  // namespace velmora
