// velmora-export: loads a .3ds model headless and reports or exports it.

#include "cli/CommandLine.h"
#include "cli/ExportJob.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = velmora::parseCommandLine(args, error);
    if (!options) {
        std::fprintf(stderr, "velmora-export: %s\nTry 'velmora-export --help'.\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(velmora::commandLineUsage(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("velmora-export %s\n", VELMORA_VERSION);
        return 0;
    }
    return velmora::runExportJob(*options);
}
