#pragma once
// The three per-user settings: the main frame's outer size and the two-sided
// option. Read once at start-up, all three written when the main frame is
// torn down, whether or not they changed.

#include <string>

namespace velmora {

class SettingsStore;

struct UserSettings {
    static constexpr const char* kOrganisation = "VELMORA";
    static constexpr const char* kSection = "Options";

    int frameWidth = 600;
    int frameHeight = 600;
    int forceTwoSided = 1;

    // Reads "FrameWidth", "FrameHeight" and "Force2Sided", in this order.
    // Values are not validated.
    void read(SettingsStore& store);
    // Writes "Force2Sided", "FrameWidth" and "FrameHeight", in this order.
    void write(SettingsStore& store) const;
};

// The base name of the running executable ("velmora"), which names the
// profile below the organisation.
std::string executableBaseName();

}  // namespace velmora
