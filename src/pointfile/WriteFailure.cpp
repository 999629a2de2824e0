#include "pointfile/WriteFailure.h"

#include <cstdio>

namespace velmora {

Result<SampleSummary> cannotOpen(const std::string& path) {
    std::fputs("Cant open file\n", stderr);
    return Result<SampleSummary>::failure("Cant open file " + path);
}

Result<SampleSummary> cannotWrite(const std::string& path, const std::string& reason) {
    const std::string text = "Cant write file " + path + ": " + reason;
    std::fprintf(stderr, "%s\n", text.c_str());
    return Result<SampleSummary>::failure(text);
}

}  // namespace velmora
