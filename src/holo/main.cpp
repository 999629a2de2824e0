// velmora-holo: computes holograms from CGH and PLY point files.

#include "HoloCommandLine.h"
#include "platform/TemporaryFiles.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    using velmora::ExitStatus;
    velmora::TemporaryFiles::removeOnTerminationSignals();
    auto options = velmora::parseHoloCommandLine({argv + 1, argv + argc});
    ExitStatus status = ExitStatus::Success;
    if (!options) {
        std::fprintf(stderr, "velmora-holo: %s\nTry 'velmora-holo --help'.\n", options.error().c_str());
        status = ExitStatus::Usage;
    } else if (options->help) {
        std::fputs(velmora::holoUsage().c_str(), stdout);
    } else if (options->version) {
        std::printf("velmora-holo %s\n", VELMORA_VERSION);
    } else {
        options->job.options.settings.wisdomFolder = velmora::defaultWisdomFolder();
        status = velmora::runHoloJob(options->job);
    }
    return static_cast<int>(status);
}
