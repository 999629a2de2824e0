#include "HoloCommandLine.h"

#include "cmdline/OptionTable.h"
#include "platform/DecimalText.h"

#include <cmath>

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
    "A hologram larger than 16384 pixels a side or than --holo-memory allows is\n"
    "computed in tiles instead, with no preview:\n"
    "  PREFIX-638nm-r0-c1.png 8-bit phase picture per tile (row, column from 0)\n"
    "  PREFIX-tiles.txt       the manifest: size, pitch, wavelengths, each tile's\n"
    "                         file, pixel offset and byte size\n"
    "\n";

const char* const kOutro =
    "\nProgress goes to standard error.\n"
    "Exit status: 0 success; 1 a file cannot be read; 2 usage error;\n"
    "3 a hologram could not be computed or written.\n";

// "512M", "4G", "1.5T" or bytes: K, M, G and T are powers of 1024.
bool takeMemory(const std::string& text, HologramSettings& s) {
    const std::string units = "KMGT";
    const std::size_t unit = text.empty() ? std::string::npos : units.find(text.back());
    const auto number = parseDecimalDouble(unit == std::string::npos ? text : text.substr(0, text.size() - 1));
    if (!number || text.find(' ') != std::string::npos) return false;
    const double bytes = *number * std::pow(1024.0, unit == std::string::npos ? 0.0 : unit + 1.0);
    if (!(bytes >= 1024.0 * 1024.0 && bytes < 1e18)) return false;
    s.memoryBudget = static_cast<std::uint64_t>(bytes);
    return true;
}

// "K/N", 1 <= K <= N.
bool takeShare(const std::string& text, std::optional<TileShare>& share) {
    int k = 0, n = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%d/%d%c", &k, &n, &end) != 2 || k < 1 || k > n ||
        text.find_first_not_of("0123456789/") != std::string::npos)
        return false;
    share = TileShare{k, n};
    return true;
}

OptionTable optionTable(HoloCommandLine& c) {
    OptionTable table;
    table.add({
        {nullptr, "-o --output", ValueKind::Text, "-o, --output PREFIX", "prefix of the files written (one input only)",
         storeIn(c.job.output)},
        {nullptr, "-h --help", ValueKind::None, "-h, --help", "show this help and exit", setFlag(c.help)},
        {nullptr, "--version", ValueKind::None, "--version", "show the version and exit", setFlag(c.version)},
    });
    table.add(hologramOptionRows(c.job.options));
    HoloJob& job = c.job;
    table.add({
        {"\nLarge holograms:\n", "--holo-memory", ValueKind::Text, "--holo-memory SIZE",
         "memory to compute in, e.g. 512M or 4G (default: half\nof what is available); a hologram that does not fit\n"
         "is computed in tiles as large as fit",
         [&job](const OptionValue& v) { return takeMemory(std::get<std::string>(v), job.options.settings); },
         "a size of at least 1M, such as 512M or 4G"},
        {nullptr, "--holo-tiles", ValueKind::Text, "--holo-tiles K/N",
         "compute in tiles even when the whole fits, and only the\nK-th of N shares (tiles K, K+N, ... in row-major "
         "order;\n1/1: all); tiles found complete are kept. Tiles up to\n1000000x1000000 pixels; no preview, no .npy",
         [&job](const OptionValue& v) { return takeShare(std::get<std::string>(v), job.tiles); },
         "K/N with 1 <= K <= N"},
        {nullptr, "--holo-whole-png", ValueKind::None, "--holo-whole-png",
         "also put the tiles together into PREFIX-<nm>nm.png, once\nevery tile is complete",
         setFlag(job.wholePicture)},
    });
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
