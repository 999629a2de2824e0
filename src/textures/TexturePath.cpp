#include "textures/TexturePath.h"

#include <filesystem>
#include <vector>

namespace velmora {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool sameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::vector<std::string> components(const std::string& name) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!part.empty() && part != ".") parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

// Follows the name's parts from `folder`, each one exactly or else the
// entry that differs from it only in letter case.
fs::path findIgnoringCase(const fs::path& folder, const std::vector<std::string>& parts) {
    fs::path at = folder;
    for (const auto& part : parts) {
        std::error_code ec;
        if (fs::exists(at / part, ec)) {
            at /= part;
            continue;
        }
        fs::path match;  // the first in name order, when several differ only in case
        for (fs::directory_iterator it(at, ec), end; !ec && it != end; it.increment(ec)) {
            if (sameIgnoringCase(it->path().filename().string(), part) && (match.empty() || it->path() < match))
                match = it->path();
        }
        if (match.empty()) return {};
        at = match;
    }
    return at;
}

}  // namespace

std::string findTextureFile(const std::string& textureFile, const std::string& modelPath) {
    if (textureFile.empty() || isFile(textureFile)) return textureFile;
    if (modelPath.empty() || fs::path(textureFile).is_absolute()) return textureFile;
    fs::path folder = fs::path(modelPath).parent_path();
    if (folder.empty()) folder = ".";
    if (isFile(folder / textureFile)) return (folder / textureFile).string();
    const auto parts = components(textureFile);
    if (parts.empty()) return textureFile;
    const fs::path found = findIgnoringCase(folder, parts);
    if (!found.empty() && isFile(found)) return found.string();
    return textureFile;
}

}  // namespace velmora
