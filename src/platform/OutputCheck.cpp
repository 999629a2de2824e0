#include "platform/OutputCheck.h"

#include "platform/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>

#include <unistd.h>

namespace velmora {

std::string OutputRefusal::text() const {
    return "cannot write " + (name.empty() ? std::string("\"\"") : name) + ": " + reason;
}

std::optional<OutputRefusal> checkOutputs(const std::vector<std::string>& names) {
    namespace fs = std::filesystem;
    std::set<fs::path> files;
    for (const auto& name : names) {
        const auto destination = OutputFile::destination(name);
        if (!destination) return OutputRefusal{name, destination.error()};
        if (destination->stream) continue;
        // The temporary file is made in the target's folder.
        fs::path folder = fs::path(destination->file).parent_path();
        if (folder.empty()) folder = ".";
        if (::access(folder.c_str(), W_OK | X_OK) != 0) return OutputRefusal{name, std::strerror(errno)};
        std::error_code ec;
        const fs::path file = fs::weakly_canonical(destination->file, ec);
        if (!files.insert(ec ? fs::path(destination->file) : file).second)
            return OutputRefusal{name, "another output of this command has the same name"};
    }
    return std::nullopt;
}

std::optional<OutputRefusal> checkOutputPrefix(const std::string& prefix) {
    if (!std::filesystem::path(prefix).filename().empty()) return std::nullopt;
    return OutputRefusal{prefix, "the prefix has no file name of its own"};
}

}  // namespace velmora
