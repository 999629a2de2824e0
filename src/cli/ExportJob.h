#pragma once
// Runs what the command line asked for: loads the model into a headless
// view, sets the camera and the model transform, and reports or exports.

#include "cli/CommandLine.h"

namespace velmora {

// Returns the process's exit status.
int runExportJob(const CommandLine& options);

}  // namespace velmora
