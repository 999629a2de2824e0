#include "export/WriteResult.h"

#include <cstdio>

namespace velmora {

WriteResult openFailure(const std::string& path, const std::string& reason) {
    std::fputs("Cant open file\n", stderr);
    WriteResult result;
    result.openFailed = true;
    result.failedPath = path;
    result.error = reason;
    return result;
}

WriteResult writeFailure(const std::string& path, const std::string& reason, const SampleSummary& summary) {
    std::fprintf(stderr, "Cant write file %s: %s\n", path.c_str(), reason.c_str());
    WriteResult result;
    result.summary = summary;
    result.failedPath = path;
    result.error = reason;
    return result;
}

WriteResult written(std::vector<std::string> paths, const SampleSummary& summary) {
    WriteResult result;
    result.ok = true;
    result.summary = summary;
    result.paths = std::move(paths);
    return result;
}

}  // namespace velmora
