#pragma once
// What one writer call produced, and the two ways a point file fails: it
// cannot be created ("Cant open file" on standard error) or a write fails
// ("Cant write file <path>: <reason>"). Either way existing files stay as
// they were.

#include "export/SampledFrame.h"

#include <string>
#include <vector>

namespace velmora {

struct WriteResult {
    bool ok = false;
    SampleSummary summary;           // count and bounds of the points written
    std::vector<std::string> paths;  // the files written, in order (on success)
    std::string failedPath;          // on failure: the file that could not be written
    std::string error;               // on failure: why
    bool openFailed = false;         // the file could not be created at all
};

// The failures, with their line printed on standard error.
WriteResult openFailure(const std::string& path, const std::string& reason);
WriteResult writeFailure(const std::string& path, const std::string& reason, const SampleSummary& summary);
// Success for the files written.
WriteResult written(std::vector<std::string> paths, const SampleSummary& summary);

}  // namespace velmora
