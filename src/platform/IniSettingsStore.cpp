#include "platform/IniSettingsStore.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace velmora {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

bool isSectionLine(const std::string& line, std::string* name = nullptr) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    if (name) *name = t.substr(1, t.size() - 2);
    return true;
}

// "key=value" with the key trimmed; false for comments and other lines.
bool splitEntry(const std::string& line, std::string& key, std::string& value) {
    const std::string t = trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    const auto eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

bool makeDirectories(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirectories(dir.substr(0, slash))) return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

IniSettingsStore::IniSettingsStore(std::string path) : path_(std::move(path)) { load(); }

std::string IniSettingsStore::defaultPath(const std::string& organisation, const std::string& application) {
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        base = ".config";
    }
    return base + "/" + organisation + "/" + application + ".ini";
}

void IniSettingsStore::load() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines_.push_back(line);
    }
}

long IniSettingsStore::find(const std::string& section, const std::string& entry) const {
    std::string current;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        std::string name, key, value;
        if (isSectionLine(lines_[i], &name)) {
            current = name;
        } else if (current == section && splitEntry(lines_[i], key, value) && key == entry) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

int IniSettingsStore::getProfileInt(const std::string& section, const std::string& entry, int defaultValue) {
    const long index = find(section, entry);
    if (index < 0) return defaultValue;
    std::string key, value;
    splitEntry(lines_[static_cast<std::size_t>(index)], key, value);
    if (value.empty()) return defaultValue;
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(value.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < INT_MIN || parsed > INT_MAX) return defaultValue;
    return static_cast<int>(parsed);
}

bool IniSettingsStore::writeProfileInt(const std::string& section, const std::string& entry, int value) {
    const std::string line = entry + "=" + std::to_string(value);
    const long index = find(section, entry);
    if (index >= 0) {
        lines_[static_cast<std::size_t>(index)] = line;
    } else {
        // Append at the end of the section, creating it when needed.
        std::string current;
        long insertAt = -1;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            std::string name;
            if (isSectionLine(lines_[i], &name)) {
                current = name;
                if (name == section) insertAt = static_cast<long>(i) + 1;
            } else if (current == section && !trim(lines_[i]).empty()) {
                insertAt = static_cast<long>(i) + 1;
            }
        }
        if (insertAt < 0) {
            if (!lines_.empty() && !trim(lines_.back()).empty()) lines_.emplace_back();
            lines_.push_back("[" + section + "]");
            lines_.push_back(line);
        } else {
            lines_.insert(lines_.begin() + insertAt, line);
        }
    }
    return save();
}

bool IniSettingsStore::save() const {
    const auto slash = path_.find_last_of('/');
    if (slash != std::string::npos && !makeDirectories(path_.substr(0, slash))) return false;
    const std::string temp = path_ + ".tmp" + std::to_string(::getpid());
    std::FILE* out = std::fopen(temp.c_str(), "wb");
    if (!out) return false;
    bool ok = true;
    for (const auto& l : lines_) ok = ok && std::fprintf(out, "%s\n", l.c_str()) >= 0;
    // fclose flushes the buffer and reports a write that failed, a full disk included.
    ok = (std::fclose(out) == 0) && ok;
    if (!ok || std::rename(temp.c_str(), path_.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace velmora
