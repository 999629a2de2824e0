// velmora-export: loads a .3ds model headless and reports or exports it.

#include "cli/CommandLine.h"
#include "cmdline/ExitStatus.h"
#include "cli/ExportJob.h"
#include "platform/TemporaryFiles.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    velmora::TemporaryFiles::removeOnTerminationSignals();
    using velmora::ExitStatus;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto options = velmora::parseCommandLine(args);
    ExitStatus status = ExitStatus::Success;
    if (!options) {
        std::fprintf(stderr, "velmora-export: %s\nTry 'velmora-export --help'.\n", options.error().c_str());
        status = ExitStatus::Usage;
    } else if (options->help) {
        std::fputs(velmora::commandLineUsage().c_str(), stdout);
    } else if (options->version) {
        std::printf("velmora-export %s\n", VELMORA_VERSION);
    } else {
        status = velmora::runExportJob(*options);
    }
    return static_cast<int>(status);
}
