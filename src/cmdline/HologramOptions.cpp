#include "cmdline/HologramOptions.h"

#include <cmath>

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

}  // namespace

std::vector<OptionRow> hologramOptionRows(HologramOptions& o) {
    using S = HologramSettings;
    return {
        {"\nHologram options:\n", "--holo-size", ValueKind::Size, "--holo-size WxH",
         "hologram size in pixels (default 1920x1080)",
         setting<PixelSize>(o,
                            [](PixelSize size, S& s) {
                                if (size.width < 2 || size.height < 2 || size.width > 16384 || size.height > 16384)
                                    return false;
                                s.width = size.width;
                                s.height = size.height;
                                return true;
                            }),
         "a size from 2x2 to 16384x16384"},
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
         "recording plane in front of the nearest point (default:\nper wavelength, so the nearest zone is 28 pixels "
         "wide;\nit must give a zone of at least 25)",
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
    };
}

}  // namespace velmora
