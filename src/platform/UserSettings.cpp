#include "platform/UserSettings.h"

#include "platform/SettingsStore.h"

#include <unistd.h>

#include <climits>

namespace velmora {

void UserSettings::read(SettingsStore& store) {
    frameWidth = store.getProfileInt(kSection, "FrameWidth", 600);
    frameHeight = store.getProfileInt(kSection, "FrameHeight", 600);
    forceTwoSided = store.getProfileInt(kSection, "Force2Sided", 1);
}

void UserSettings::write(SettingsStore& store) const {
    store.writeProfileInt(kSection, "Force2Sided", forceTwoSided);
    store.writeProfileInt(kSection, "FrameWidth", frameWidth);
    store.writeProfileInt(kSection, "FrameHeight", frameHeight);
}

std::string executableBaseName() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "velmora";
    std::string path(buffer, static_cast<std::size_t>(n));
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace velmora
