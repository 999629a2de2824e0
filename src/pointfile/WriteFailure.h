#pragma once
// What a point-file writer gives back: the count and bounds of the points
// it wrote, or why it wrote nothing. The two failures print their line on
// standard error as they happen and carry the sentence the export's error
// box shows: a file that cannot be created ("Cant open file", the box "Cant
// open file <path>") or a write that fails ("Cant write file <path>:
// <reason>" in both). Either way existing files stay as they were.

#include "platform/Result.h"
#include "pointfile/SampledFrame.h"

#include <string>

namespace velmora {

Result<SampleSummary> cannotOpen(const std::string& path);
Result<SampleSummary> cannotWrite(const std::string& path, const std::string& reason);

}  // namespace velmora
