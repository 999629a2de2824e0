#include "app/HologramSettingsDialog.h"

#include "platform/DecimalText.h"

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
constexpr const char* kRefusal =
    "Width and height are whole numbers of pixels from 1, the pitch and the distance are above 0, "
    "the fit is from 0 to 1 (0: the model's own units), the method is wrp or direct.";

// The stored form of what the form asks: pitch in nanometres, distance in
// micrometres, fit in millionths (0: none), method 0 (wrp) or 1 (direct).
struct Stored {
    int width, height, pitch, distance, fit, method;
};

int micro(double value, double unit) { return static_cast<int>(std::lround(value / unit)); }

Stored read(SettingsStore& store, const HologramSettings& s) {
    return {store.getProfileInt(kSection, "Width", s.width),
            store.getProfileInt(kSection, "Height", s.height),
            store.getProfileInt(kSection, "Pitch", micro(s.pitch, 1e-9)),
            store.getProfileInt(kSection, "Distance", micro(s.distance, 1e-6)),
            store.getProfileInt(kSection, "Fit", micro(s.holoFit.value_or(0.0), 1e-6)),
            store.getProfileInt(kSection, "Method", s.method == HologramMethod::Direct)};
}

void write(SettingsStore& store, const Stored& v) {
    store.writeProfileInt(kSection, "Width", v.width);
    store.writeProfileInt(kSection, "Height", v.height);
    store.writeProfileInt(kSection, "Pitch", v.pitch);
    store.writeProfileInt(kSection, "Distance", v.distance);
    store.writeProfileInt(kSection, "Fit", v.fit);
    store.writeProfileInt(kSection, "Method", v.method);
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
    // The encoding's rows go after the method.
    form.fields = {
        {kWidthId, "Width (pixels):", std::to_string(v.width), true, true},
        {kHeightId, "Height (pixels):", std::to_string(v.height), true, true},
        {kPitchId, "Pixel pitch (um):", shortest(v.pitch * 1e-3), true, true},
        {kDistanceId, "Distance of the nearest point (mm):", shortest(v.distance * 1e-3), true, true},
        {kFitId, "Fit (fraction of the shorter side, 0: model units):", shortest(v.fit * 1e-6), true, true},
        {kMethodId, "Method (wrp or direct):", v.method ? "direct" : "wrp", true, false},
    };
    return form;
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
    return Stored{int(width), int(height), micro(number(kPitchId), 1e-3), micro(number(kDistanceId), 1e-3),
                  micro(fit, 1e-6), method == "direct"};
}

}  // namespace

std::optional<HologramSettings> askHologramSettings(Prompt& prompt, SettingsStore& store, HologramSettings settings) {
    FormRequest form = formOf(read(store, settings));
    std::optional<Stored> answer;
    while (!answer) {
        if (!prompt.runForm(form)) return std::nullopt;
        answer = answerOf(form);
        if (!answer) prompt.show(kRefusal);
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
