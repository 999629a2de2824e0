#pragma once
// The profile as an INI file in the user's configuration folder, in the
// layout Qt's QSettings uses for its INI format:
//   $XDG_CONFIG_HOME/VELMORA/<application>.ini   (default ~/.config)
//   [Options]
//   FrameWidth=600
// Lines the program does not know (other sections, other entries, comments)
// are kept as they are. Every write replaces the file atomically.

#include "platform/SettingsStore.h"

#include <string>
#include <vector>

namespace velmora {

class IniSettingsStore : public SettingsStore {
public:
    explicit IniSettingsStore(std::string path);

    // Where the profile of `application` under `organisation` lives for this user.
    static std::string defaultPath(const std::string& organisation, const std::string& application);

    int getProfileInt(const std::string& section, const std::string& entry, int defaultValue) override;
    bool writeProfileInt(const std::string& section, const std::string& entry, int value) override;

    const std::string& path() const { return path_; }

private:
    void load();
    bool save() const;
    // Index of the entry's line, or -1.
    long find(const std::string& section, const std::string& entry) const;

    std::string path_;
    std::vector<std::string> lines_;
};

}  // namespace velmora
