#include "HoloCommandLine.h"

#include "cmdline/OptionTable.h"

namespace velmora {

namespace {

const char* const kIntro =
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
    "\n";

const char* const kOutro =
    "\nProgress goes to standard error.\n"
    "Exit status: 0 success; 1 a file cannot be read; 2 usage error;\n"
    "3 a hologram could not be computed or written.\n";

OptionTable optionTable(HoloCommandLine& c) {
    OptionTable table;
    table.add({
        {nullptr, "-o --output", ValueKind::Text, "-o, --output PREFIX", "prefix of the files written (one input only)",
         storeIn(c.job.output)},
        {nullptr, "-h --help", ValueKind::None, "-h, --help", "show this help and exit", setFlag(c.help)},
        {nullptr, "--version", ValueKind::None, "--version", "show the version and exit", setFlag(c.version)},
    });
    table.add(hologramOptionRows(c.job.options));
    return table;
}

}  // namespace

Result<HoloCommandLine> parseHoloCommandLine(const std::vector<std::string>& args) {
    HoloCommandLine cl;
    auto files = optionTable(cl).parse(args);
    if (!files) return Result<HoloCommandLine>::failure(files.error());
    cl.job.files = std::move(*files);
    if (cl.help || cl.version) return cl;
    if (auto device = checkHologramOptions(cl.job.options); !device)
        return Result<HoloCommandLine>::failure(device.error());
    if (cl.job.files.empty() || (cl.job.output && cl.job.files.size() > 1))
        return Result<HoloCommandLine>::failure(cl.job.files.empty() ? "no point file given"
                                                                     : "--output takes one input file");
    return cl;
}

const std::string& holoUsage() {
    static const std::string usage = [] {
        HoloCommandLine unused;
        return kIntro + std::string(kOptionSyntaxHelp) + "\n" + optionTable(unused).help() + kOutro;
    }();
    return usage;
}

}  // namespace velmora
