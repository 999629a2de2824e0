#include "cmdline/HologramOptions.h"

#include "platform/DecimalText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace velmora {

namespace {

// A setter for a row whose value is `T`: `take` stores an accepted one in
// the settings; either way the option counts as given only when accepted.
template <class T, class Take>
OptionSetter setting(HologramOptions& options, Take take) {
    return [&options, take](const OptionValue& value) {
        if (!take(std::get<T>(value), options.settings)) return false;
        options.given = true;
        return true;
    };
}

OptionSetter flag(HologramOptions& options, void (*set)(HologramOptions&)) {
    return [&options, set](const OptionValue&) {
        set(options);
        options.given = true;
        return true;
    };
}

constexpr double kPi = 3.14159265358979323846;

// Radians, or a multiple of pi written with "pi" after it ("2.9pi").
std::optional<double> phaseRange(const std::string& text) {
    const bool ofPi = text.size() > 2 && text.compare(text.size() - 2, 2, "pi") == 0;
    const auto number = parseDecimalDouble(ofPi ? text.substr(0, text.size() - 2) : text);
    if (!number || text.find(' ') != std::string::npos || !(*number > 0.0)) return std::nullopt;
    return ofPi ? *number * kPi : *number;
}

// "FX,FY" in cycles per pixel, each within the sampling limit.
std::optional<std::array<double, 2>> tilt(const std::string& text) {
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(' ') != std::string::npos) return std::nullopt;
    const auto fx = parseDecimalDouble(text.substr(0, comma));
    const auto fy = parseDecimalDouble(text.substr(comma + 1));
    if (!fx || !fy || std::fabs(*fx) > 0.5 || std::fabs(*fy) > 0.5) return std::nullopt;
    return std::array{*fx, *fy};
}

// "[NM:]FILE": the table, read now, for one wavelength or every one.
bool takeLut(HologramOptions& o, const std::string& text) {
    const std::size_t colon = text.find(':');
    const std::string nm = colon == std::string::npos ? "" : text.substr(0, colon);
    const bool forOne = !nm.empty() && nm.size() <= 5 && nm.find_first_not_of("0123456789") == std::string::npos;
    const std::string path = forOne ? text.substr(colon + 1) : text;
    auto lut = readPhaseLut(path);
    if (!lut) {
        if (o.deviceRefusal.empty()) o.deviceRefusal = "--holo-lut: " + lut.error();
        return true;
    }
    o.settings.device.luts.emplace_back(forOne ? std::stoi(nm) * 1e-9 : 0.0, std::move(*lut));
    return true;
}

}  // namespace

std::vector<OptionRow> hologramOptionRows(HologramOptions& o) {
    using S = HologramSettings;
    return {
        {"\nHologram options:\n", "--holo-size", ValueKind::Size, "--holo-size WxH",
         "hologram size in pixels (default 1920x1080; above\n16384x16384 only velmora-holo, in tiles)",
         setting<PixelSize>(o,
                            [](PixelSize size, S& s) {
                                if (size.width < 2 || size.height < 2 || size.width > kLargestTiledSide ||
                                    size.height > kLargestTiledSide)
                                    return false;
                                s.width = size.width;
                                s.height = size.height;
                                return true;
                            }),
         "a size from 2x2 to 1000000x1000000"},
        {nullptr, "--holo-pitch", ValueKind::Double, "--holo-pitch UM", "pixel pitch in micrometres (default 8)",
         setting<double>(o, [](double um, S& s) { return um > 0.0 && (s.pitch = um * 1e-6, true); }),
         "a positive number of micrometres"},
        {nullptr, "--holo-unit", ValueKind::Double, "--holo-unit MM",
         "millimetres per model unit, times the file's\nOutput_Scalxy / Output_Scalz (default 1)",
         setting<double>(o, [](double mm, S& s) { return mm > 0.0 && (s.unit = mm * 1e-3, true); }),
         "a positive number of millimetres"},
        {nullptr, "--holo-fit", ValueKind::Double, "--holo-fit F",
         "instead: scale the object to span F (0..1] of the\nhologram's shorter side",
         setting<double>(o, [](double f, S& s) { return f > 0.0 && f <= 1.0 && (s.holoFit = f, true); }),
         "a fraction in (0, 1]"},
        {nullptr, "--holo-distance", ValueKind::Double, "--holo-distance MM",
         "from the nearest point to the hologram (default 100)",
         setting<double>(o, [](double mm, S& s) { return mm >= 1.0 && (s.distance = mm * 1e-3, true); }),
         "a number of millimetres, at least 1"},
        {nullptr, "--holo-method", ValueKind::Text, "--holo-method M",
         "wrp (recording plane, default) or direct (every point\nonto every pixel; exact but slow)",
         setting<std::string>(o,
                              [](const std::string& m, S& s) {
                                  if (m != "wrp" && m != "direct") return false;
                                  s.method = m == "wrp" ? HologramMethod::RecordingPlane : HologramMethod::Direct;
                                  return true;
                              }),
         "wrp or direct"},
        {nullptr, "--holo-gap", ValueKind::Double, "--holo-gap MM",
         "one recording plane this far in front of the nearest point\n(default: per wavelength, planes among the "
         "points, as\nmany as their depth is worth; it must give a zone of at\nleast 25 pixels)",
         setting<double>(o, [](double mm, S& s) { return s.recordingGap = mm * 1e-3, true; })},
        {nullptr, "--holo-npy", ValueKind::None, "--holo-npy", "also write the complex fields as .npy (complex64)",
         flag(o, [](HologramOptions& h) { h.output.npy = true; })},
        {nullptr, "--holo-no-preview", ValueKind::None, "--holo-no-preview", "do not write the reconstruction preview",
         flag(o, [](HologramOptions& h) { h.output.preview = false; })},
        {nullptr, "--holo-score", ValueKind::None, "--holo-score",
         "print PSNR, SSIM and speckle contrast of the\nreconstruction in focus, per channel and depth band",
         flag(o, [](HologramOptions& h) { h.score = true; })},
        {nullptr, "--holo-threads", ValueKind::Whole, "--holo-threads N", "threads (default: all cores)",
         setting<std::uint32_t>(o,
                                [](std::uint32_t n, S& s) {
                                    return n >= 1 && n <= 256 && (s.threads = static_cast<int>(n), true);
                                }),
         "a whole number from 1 to 256"},
        {nullptr, "--holo-quick-plan", ValueKind::None, "--holo-quick-plan",
         "plan the FFTs without measuring (slower transforms, no\nplanning time; wisdom is kept in "
         "$XDG_CACHE_HOME/VELMORA\nor ~/.cache/VELMORA otherwise)",
         flag(o, [](HologramOptions& h) { h.settings.planning = FftPlanning::Estimate; })},
        {"\nDevice options (what the pictures drive):\n", "--holo-encoding", ValueKind::Text, "--holo-encoding E",
         "phase: phase modulator (default); double-phase:\namplitude and phase on a phase modulator, two pixels\n"
         "a pair; amplitude: amplitude modulator or film, on\nan off-axis carrier; binary: micromirror device or\n"
         "printed mask, 1-bit PNG",
         setting<std::string>(o,
                              [](const std::string& e, S& s) {
                                  using E = HologramEncoding;
                                  const auto found = e == "phase"          ? std::optional(E::Phase)
                                                     : e == "double-phase" ? std::optional(E::DoublePhase)
                                                     : e == "amplitude"    ? std::optional(E::Amplitude)
                                                     : e == "binary"       ? std::optional(E::Binary)
                                                                           : std::nullopt;
                                  return found && (s.device.encoding = *found, true);
                              }),
         "phase, double-phase, amplitude or binary"},
        {nullptr, "--holo-bits", ValueKind::Whole, "--holo-bits N", "bits per grey level: 8 (default) or 16",
         setting<std::uint32_t>(o, [](std::uint32_t n, S& s) { return (n == 8 || n == 16) && (s.device.bits = n, true); }),
         "8 or 16"},
        {nullptr, "--holo-levels", ValueKind::Whole, "--holo-levels N",
         "grey levels the device takes, 0 to N-1 (default: all\nthat the bits hold)",
         setting<std::uint32_t>(o,
                                [](std::uint32_t n, S& s) {
                                    return n >= 2 && n <= 65536 && (s.device.levels = static_cast<int>(n), true);
                                }),
         "a whole number from 2 to 65536"},
        {nullptr, "--holo-phase-range", ValueKind::Text, "--holo-phase-range R",
         "phase from grey 0 to grey N, in radians or as \"2.9pi\"\n(default 2pi; the middle grey is phase 0)",
         setting<std::string>(o,
                              [](const std::string& r, S& s) {
                                  const auto range = phaseRange(r);
                                  return range && (s.device.phaseRange = *range, true);
                              }),
         "a positive number of radians or of pi (\"2.9pi\")"},
        {nullptr, "--holo-lut", ValueKind::Text, "--holo-lut [NM:]FILE",
         "measured phase per grey level (lines \"GREY PHASE\", in\nradians; # comments), for one wavelength in nm or "
         "all",
         [&o](const OptionValue& value) { return takeLut(o, std::get<std::string>(value)) && (o.given = true); }},
        {nullptr, "--holo-tilt", ValueKind::Text, "--holo-tilt FX,FY",
         "carrier in cycles per pixel along x and y (up): moves\nthe image off the zero order (default 0,0; "
         "amplitude\nand binary 0.25,0)",
         setting<std::string>(o,
                              [](const std::string& t, S& s) {
                                  const auto f = tilt(t);
                                  return f && (s.device.tilt = *f, true);
                              }),
         "two numbers of cycles per pixel from -0.5 to 0.5, \"FX,FY\""},
    };
}

Result<void> checkHologramOptions(const HologramOptions& options) {
    using Checked = Result<void>;
    const DeviceSettings& device = options.settings.device;
    if (!options.deviceRefusal.empty()) return Checked::failure(options.deviceRefusal);
    const int held = 1 << device.bits;
    if (device.greyLevels() > held)
        return Checked::failure("--holo-levels " + std::to_string(device.greyLevels()) + " needs --holo-bits 16");
    for (const auto& [wavelength, lut] : device.luts)
        for (const auto& entry : lut.entries)
            if (entry.grey >= held)
                return Checked::failure("--holo-lut: grey level " + std::to_string(entry.grey) + " needs --holo-bits 16");
    const auto [fx, fy] = device.carrier();
    const double carrier = std::max(std::fabs(fx), std::fabs(fy));
    if ((device.encoding == HologramEncoding::Amplitude || device.encoding == HologramEncoding::Binary) &&
        !(carrier > 0.0 && carrier < 0.5))
        return Checked::failure("--holo-tilt: amplitude and binary pictures need a carrier above 0 and below 0.5 "
                                "cycles per pixel");
    return {};
}

}  // namespace velmora
