#pragma once
// The per-user profile: integers in named sections. The desktop program and
// the tests use the INI file below; another backing store only has to
// implement these two calls.

#include <string>

namespace velmora {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // The stored integer, or `defaultValue` when the entry is missing or
    // does not hold an integer.
    virtual int getProfileInt(const std::string& section, const std::string& entry, int defaultValue) = 0;
    // Stores the integer at once. Failures are not reported to the user.
    virtual bool writeProfileInt(const std::string& section, const std::string& entry, int value) = 0;
};

}  // namespace velmora
