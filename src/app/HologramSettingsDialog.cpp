#include "app/HologramSettingsDialog.h"

#include "cmdline/HologramOptions.h"
#include "platform/DecimalText.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace velmora {

namespace {

constexpr int kHologramSettingsForm = 136;
constexpr const char* kSection = "Hologram";
constexpr int kWidthId = 1001;
constexpr int kHeightId = 1002;
constexpr int kPitchId = 1003;
constexpr int kDistanceId = 1004;
constexpr int kFitId = 1005;
constexpr int kMethodId = 1006;
constexpr int kEncodingId = 1007;
constexpr int kBitsId = 1008;
constexpr int kLevelsId = 1009;
constexpr int kPhaseRangeId = 1010;
constexpr int kTiltXId = 1011;
constexpr int kTiltYId = 1012;
constexpr const char* kRefusal =
    "Width and height are whole numbers of pixels from 1, the pitch and the distance are above 0, "
    "the fit is from 0 to 1 (0: the model's own units), the method is wrp or direct.";
// In the order of HologramEncoding.
constexpr std::array<const char*, 4> kEncodings = {"phase", "double-phase", "amplitude", "binary"};
constexpr double kPi = 3.14159265358979323846;

// The stored form of what the form asks: pitch in nanometres, distance in
// micrometres, fit in millionths (0: none), method 0 (wrp) or 1 (direct);
// the encoding by its place in kEncodings, levels 0 for all the bits hold,
// the phase range in millionths of pi, the carrier in millionths of a cycle
// per pixel when `carrier` is 1 (0: the encoding's own).
struct Stored {
    int width, height, pitch, distance, fit, method;
    int encoding, bits, levels, phaseRange, carrier, tiltX, tiltY;
};

int micro(double value, double unit) { return static_cast<int>(std::lround(value / unit)); }

Stored read(SettingsStore& store, const HologramSettings& s) {
    return {store.getProfileInt(kSection, "Width", s.width),
            store.getProfileInt(kSection, "Height", s.height),
            store.getProfileInt(kSection, "Pitch", micro(s.pitch, 1e-9)),
            store.getProfileInt(kSection, "Distance", micro(s.distance, 1e-6)),
            store.getProfileInt(kSection, "Fit", micro(s.holoFit.value_or(0.0), 1e-6)),
            store.getProfileInt(kSection, "Method", s.method == HologramMethod::Direct),
            store.getProfileInt(kSection, "Encoding", static_cast<int>(s.device.encoding)),
            store.getProfileInt(kSection, "Bits", s.device.bits),
            store.getProfileInt(kSection, "Levels", s.device.levels.value_or(0)),
            store.getProfileInt(kSection, "PhaseRange", micro(s.device.phaseRange / kPi, 1e-6)),
            store.getProfileInt(kSection, "Carrier", s.device.tilt.has_value()),
            store.getProfileInt(kSection, "TiltX", micro(s.device.tilt.value_or(std::array{0.0, 0.0})[0], 1e-6)),
            store.getProfileInt(kSection, "TiltY", micro(s.device.tilt.value_or(std::array{0.0, 0.0})[1], 1e-6))};
}

void write(SettingsStore& store, const Stored& v) {
    store.writeProfileInt(kSection, "Width", v.width);
    store.writeProfileInt(kSection, "Height", v.height);
    store.writeProfileInt(kSection, "Pitch", v.pitch);
    store.writeProfileInt(kSection, "Distance", v.distance);
    store.writeProfileInt(kSection, "Fit", v.fit);
    store.writeProfileInt(kSection, "Method", v.method);
    store.writeProfileInt(kSection, "Encoding", v.encoding);
    store.writeProfileInt(kSection, "Bits", v.bits);
    store.writeProfileInt(kSection, "Levels", v.levels);
    store.writeProfileInt(kSection, "PhaseRange", v.phaseRange);
    store.writeProfileInt(kSection, "Carrier", v.carrier);
    store.writeProfileInt(kSection, "TiltX", v.tiltX);
    store.writeProfileInt(kSection, "TiltY", v.tiltY);
}

// The shortest decimal to the stored micro-unit: 8 -> "8", 0.8 -> "0.8".
std::string shortest(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
}

FormRequest formOf(const Stored& v) {
    FormRequest form;
    form.resourceId = kHologramSettingsForm;
    form.title = "Hologram Settings";
    const auto encoding = static_cast<std::size_t>(v.encoding) < kEncodings.size() ? kEncodings[v.encoding] : "";
    form.fields = {
        {kWidthId, "Width (pixels):", std::to_string(v.width), true, true},
        {kHeightId, "Height (pixels):", std::to_string(v.height), true, true},
        {kPitchId, "Pixel pitch (um):", shortest(v.pitch * 1e-3), true, true},
        {kDistanceId, "Distance of the nearest point (mm):", shortest(v.distance * 1e-3), true, true},
        {kFitId, "Fit (fraction of the shorter side, 0: model units):", shortest(v.fit * 1e-6), true, true},
        {kMethodId, "Method (wrp or direct):", v.method ? "direct" : "wrp", true, false},
        {kEncodingId, "Encoding (phase, double-phase, amplitude or binary):", encoding, true, false},
        {kBitsId, "Bits per grey level (8 or 16):", std::to_string(v.bits), true, true},
        {kLevelsId, "Grey levels (0: all that the bits hold):", std::to_string(v.levels), true, true},
        {kPhaseRangeId, "Phase range from grey 0 to the last level (pi):", shortest(v.phaseRange * 1e-6), true, true},
        {kTiltXId, "Carrier along x (cycles per pixel, empty: the encoding's own):",
         v.carrier ? shortest(v.tiltX * 1e-6) : "", true, false},
        {kTiltYId, "Carrier along y, up (cycles per pixel):", v.carrier ? shortest(v.tiltY * 1e-6) : "", true, false},
        {0, "A measured phase table per grey level is taken by velmora-holo --holo-lut.", "", false, false},
    };
    return form;
}

// The device rows as velmora-holo's options, read and checked by that
// program's own rows, so that the form takes exactly what its command line
// takes. The failure is the sentence to show.
Result<DeviceSettings> deviceOf(const FormRequest& form, const HologramSettings& settings) {
    const auto text = [&](int id) { return form.field(id)->text; };
    std::vector<std::string> args = {"--holo-encoding", text(kEncodingId), "--holo-bits", text(kBitsId),
                                     "--holo-phase-range", text(kPhaseRangeId) + "pi"};
    if (parseDecimalDouble(text(kLevelsId)) != 0.0) args.insert(args.end(), {"--holo-levels", text(kLevelsId)});
    if (!text(kTiltXId).empty() || !text(kTiltYId).empty()) {
        const auto zeroIfEmpty = [](const std::string& t) { return t.empty() ? std::string("0") : t; };
        args.insert(args.end(), {"--holo-tilt", zeroIfEmpty(text(kTiltXId)) + "," + zeroIfEmpty(text(kTiltYId))});
    }
    HologramOptions options;
    options.settings = settings;
    options.settings.device.levels.reset();
    options.settings.device.tilt.reset();
    OptionTable table;
    table.add(hologramOptionRows(options));
    const auto refused = [](const std::string& why) {
        return Result<DeviceSettings>::failure("The device settings are refused: " + why + ".");
    };
    if (auto read = table.parse(args); !read) return refused(read.error());
    if (auto checked = checkHologramOptions(options); !checked) return refused(checked.error());
    return options.settings.device;
}

Stored withDevice(Stored v, const DeviceSettings& device) {
    v.encoding = static_cast<int>(device.encoding);
    v.bits = device.bits;
    v.levels = device.levels.value_or(0);
    v.phaseRange = micro(device.phaseRange / kPi, 1e-6);
    v.carrier = device.tilt.has_value();
    v.tiltX = micro(device.tilt.value_or(std::array{0.0, 0.0})[0], 1e-6);
    v.tiltY = micro(device.tilt.value_or(std::array{0.0, 0.0})[1], 1e-6);
    return v;
}

// Nothing when an answer is out of range.
std::optional<Stored> answerOf(const FormRequest& form) {
    const auto number = [&](int id) { return parseDecimalDouble(form.field(id)->text).value_or(-1.0); };
    const double width = number(kWidthId), height = number(kHeightId), fit = number(kFitId);
    const std::string& method = form.field(kMethodId)->text;
    if (width < 1 || height < 1 || width != std::floor(width) || height != std::floor(height) || width > 1e5 ||
        height > 1e5 || !(number(kPitchId) > 0) || !(number(kDistanceId) > 0) || fit < 0 || fit > 1 ||
        (method != "wrp" && method != "direct"))
        return std::nullopt;
    Stored v{};
    v.width = int(width);
    v.height = int(height);
    v.pitch = micro(number(kPitchId), 1e-3);
    v.distance = micro(number(kDistanceId), 1e-3);
    v.fit = micro(fit, 1e-6);
    v.method = method == "direct";
    return v;
}

}  // namespace

std::optional<HologramSettings> askHologramSettings(Prompt& prompt, SettingsStore& store, HologramSettings settings) {
    FormRequest form = formOf(read(store, settings));
    std::optional<Stored> answer;
    while (!answer) {
        if (!prompt.runForm(form)) return std::nullopt;
        answer = answerOf(form);
        if (!answer) {
            prompt.show(kRefusal);
            continue;
        }
        auto device = deviceOf(form, settings);
        if (!device) {
            prompt.show(device.error());
            answer.reset();
            continue;
        }
        settings.device = std::move(*device);
        answer = withDevice(*answer, settings.device);
    }
    write(store, *answer);
    settings.width = answer->width;
    settings.height = answer->height;
    settings.pitch = answer->pitch * 1e-9;
    settings.distance = answer->distance * 1e-6;
    settings.holoFit = answer->fit > 0 ? std::optional<double>(answer->fit * 1e-6) : std::nullopt;
    settings.method = answer->method ? HologramMethod::Direct : HologramMethod::RecordingPlane;
    return settings;
}

}  // namespace velmora
