// velmora-holo: computes holograms from CGH and PLY point files.

#include "HoloJob.h"
#include "platform/TemporaryFiles.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kUsage =
    "Usage: velmora-holo [OPTIONS] FILE...\n"
    "\n"
    "Computes a hologram from each point file VELMORA wrote: colour (three holograms,\n"
    "638, 520 and 450 nm), grey (one, 532 nm), per-channel CGH files (name one of\n"
    "the r, g, b files; the other two are read with it) and PLY files (ASCII or\n"
    "binary). The points keep the phases the file gives them. Writes, beside each\n"
    "input without its extension (or at --output PREFIX):\n"
    "  PREFIX-638nm.png ...   8-bit phase-only hologram per wavelength (-pi -> 0,\n"
    "                         0 -> 128)\n"
    "  PREFIX-preview.png     the phase-only holograms focused back on the middle of\n"
    "                         the object, as the --png frame of velmora-export shows it\n"
    "  PREFIX-638nm.npy ...   with --holo-npy: the complex fields (complex64)\n"
    "\n"
    "  -o, --output PREFIX    prefix of the files written (one input only)\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n";

const char* const kStatus =
    "\nProgress goes to standard error.\n"
    "Exit status: 0 success; 1 a file cannot be read; 2 usage error;\n"
    "3 a hologram could not be computed or written.\n";

int usageError(const std::string& error) {
    std::fprintf(stderr, "velmora-holo: %s\nTry 'velmora-holo --help'.\n", error.c_str());
    return velmora::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    velmora::TemporaryFiles::removeOnTerminationSignals();
    velmora::HoloJob job;
    job.options.settings.wisdomFolder = velmora::defaultWisdomFolder();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::fputs(velmora::hologramOptionsHelp(), stdout);
            std::fputs(kStatus, stdout);
            return velmora::kExitOk;
        }
        if (arg == "--version") {
            std::printf("velmora-holo %s\n", VELMORA_VERSION);
            return velmora::kExitOk;
        }
        if (arg == "-o" || arg == "--output") {
            if (!next) return usageError(arg + " needs a prefix");
            job.output = next;
            ++i;
            continue;
        }
        std::string error;
        switch (velmora::parseHologramOption(arg, next, job.options, error)) {
            case velmora::OptionMatch::TakenValue: ++i; continue;
            case velmora::OptionMatch::TakenAlone: continue;
            case velmora::OptionMatch::Invalid: return usageError(error);
            case velmora::OptionMatch::NotMine: break;
        }
        if (arg.size() > 1 && arg[0] == '-') return usageError("unknown option " + arg);
        job.files.push_back(arg);
    }
    if (job.files.empty()) return usageError("no point file given");
    if (job.output && job.files.size() > 1) return usageError("--output takes one input file");
    return velmora::runHoloJob(job);
}
