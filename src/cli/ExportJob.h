#pragma once
// Runs what the command line asked for: loads the model into a headless
// view, sets the camera and the model transform, and reports or exports.

#include "cli/CommandLine.h"
#include "cmdline/ExitStatus.h"

namespace velmora {

ExitStatus runExportJob(const CommandLine& options);

}  // namespace velmora
