#include "cli/CommandLine.h"

#include "platform/DecimalText.h"

#include <cerrno>
#include <cstdlib>
#include <variant>

namespace velmora {

namespace {

struct FrameSize {
    int width = 0, height = 0;
};

// What an option's value is, and so how it is read and what a wrong one is
// called in the error message.
// Hologram stands for every --holo-* option: velmora-holo's parser reads
// them and its help text lists them, so both programs take the same ones.
enum class ValueKind { None, File, Size, Triple, Number, Range, Seed, Hologram };

using OptionValue =
    std::variant<std::monostate, std::string, FrameSize, std::array<float, 3>, float, ViewRange, std::uint32_t>;

// One row of the table that both the parse loop and --help are made from.
struct Option {
    const char* before;  // text --help prints before the row (headings), or nullptr
    const char* names;   // the spellings, space-separated; --help shows `usage`
    ValueKind kind;
    const char* usage;   // the left column of --help; nullptr: the row shares the previous row's line
    const char* help;    // the right column; '\n' starts a continuation line
    void (*set)(CommandLine&, const OptionValue&);
};

template <class T>
const T& as(const OptionValue& v) {
    return std::get<T>(v);
}

const Option kOptions[] = {
    {"What to do (any combination; without one, --info):\n", "--info", ValueKind::None, "--info",
     "print the model (materials, objects, vertex and triangle\ncounts, bounds) and the frame's point count and "
     "bounds;\nwith --fit also the eye used",
     [](CommandLine& c, const OptionValue&) { c.info = true; }},
    {nullptr, "--colour --color", ValueKind::File, "--colour FILE", "colour CGH point file of the frame",
     [](CommandLine& c, const OptionValue& v) { c.colour = as<std::string>(v); }},
    {nullptr, "--grey --gray", ValueKind::File, "--grey FILE", "grey CGH point file of the frame",
     [](CommandLine& c, const OptionValue& v) { c.grey = as<std::string>(v); }},
    {nullptr, "--channels", ValueKind::File, "--channels FILE",
     "three CGH files, one per colour channel: FILE \"out.CGH\"\ngives outr.CGH, outg.CGH and outb.CGH",
     [](CommandLine& c, const OptionValue& v) { c.channels = as<std::string>(v); }},
    {nullptr, "--3di", ValueKind::File, "--3di FILE", "3di grid file of the frame",
     [](CommandLine& c, const OptionValue& v) { c.threeDi = as<std::string>(v); }},
    {nullptr, "--ply", ValueKind::File, "--ply FILE",
     "binary PLY point cloud (x y z, red green blue, phase) of\nthe same points and phases as the colour file",
     [](CommandLine& c, const OptionValue& v) { c.ply = as<std::string>(v); }},
    {nullptr, "--ply-ascii", ValueKind::File, "--ply-ascii FILE",
     "the same as ASCII PLY in the layout CGH libraries such as\nOpenHolo read",
     [](CommandLine& c, const OptionValue& v) { c.plyAscii = as<std::string>(v); }},
    {nullptr, "--hologram", ValueKind::File, "--hologram PREFIX",
     "colour hologram (638, 520, 450 nm) of the points --colour\n"
     "writes with the same seed, as velmora-holo makes it from\n"
     "that file: PREFIX-638nm.png ..., PREFIX-preview.png;\nprogress on standard error",
     [](CommandLine& c, const OptionValue& v) {
         c.hologram = as<std::string>(v);
         c.greyHologram = false;
     }},
    {nullptr, "--hologram-grey", ValueKind::File, "--hologram-grey PREFIX",
     "instead one grey hologram (532 nm) of the points --grey\nwrites: PREFIX-532nm.png, PREFIX-preview.png",
     [](CommandLine& c, const OptionValue& v) {
         c.hologram = as<std::string>(v);
         c.greyHologram = true;
     }},
    {nullptr, "--views", ValueKind::Range, "--views L:R:STEP",
     "with --colour, --grey, --channels, --ply or --ply-ascii: a\nrow of views from the viewpoint shifted by L to R "
     "along x\nin steps of STEP; files are numbered: out1.CGH, out2.CGH",
     [](CommandLine& c, const OptionValue& v) { c.views = as<ViewRange>(v); }},
    {nullptr, "--png", ValueKind::File, "--png FILE", "save the frame that is sampled (black background) as PNG",
     [](CommandLine& c, const OptionValue& v) { c.png = as<std::string>(v); }},
    {"  File names get \".CGH\" (\".3di\", \".ply\") appended unless they end in it\n  (any letter case).\n\n"
     "The frame:\n",
     "--size", ValueKind::Size, "--size WxH", "frame size in pixels (default 800x600)",
     [](CommandLine& c, const OptionValue& v) {
         c.width = as<FrameSize>(v).width;
         c.height = as<FrameSize>(v).height;
     }},
    {nullptr, "--eye", ValueKind::Triple, "--eye X,Y,Z", "camera eye, looking at the origin (default 0,0,30)",
     [](CommandLine& c, const OptionValue& v) { c.eye = as<std::array<float, 3>>(v); }},
    {nullptr, "--scale", ValueKind::Number, "--scale F", "model scale (default 1)",
     [](CommandLine& c, const OptionValue& v) { c.scale = as<float>(v); }},
    {nullptr, "--offset", ValueKind::Triple, "--offset X,Y,Z", "model offset, scaled with the model (default 0,0,0)",
     [](CommandLine& c, const OptionValue& v) { c.offset = as<std::array<float, 3>>(v); }},
    {nullptr, "--rot-x", ValueKind::Number, "--rot-x DEG, --rot-y DEG", "model rotation about x, then y (default 0)",
     [](CommandLine& c, const OptionValue& v) { c.rotX = as<float>(v); }},
    {nullptr, "--rot-y", ValueKind::Number, nullptr, nullptr,
     [](CommandLine& c, const OptionValue& v) { c.rotY = as<float>(v); }},
    {nullptr, "--rescale", ValueKind::Number, "--rescale F", "multiply the model's vertices by F (repeatable)",
     [](CommandLine& c, const OptionValue& v) { c.rescale.push_back(as<float>(v)); }},
    {nullptr, "--fit", ValueKind::None, "--fit",
     "move the eye along its direction until the whole model\n(its bounding sphere) fits the frame with a small\n"
     "margin; the viewpoint follows unless --viewpoint is given",
     [](CommandLine& c, const OptionValue&) { c.fit = true; }},
    {nullptr, "--two-sided", ValueKind::None, "--two-sided", "draw every material two-sided (the default)",
     [](CommandLine& c, const OptionValue&) { c.twoSided = true; }},
    {nullptr, "--no-two-sided", ValueKind::None, "--no-two-sided", "only materials marked two-sided in the file",
     [](CommandLine& c, const OptionValue&) { c.twoSided = false; }},
    {"\nExport settings:\n", "--viewpoint", ValueKind::Triple, "--viewpoint X,Y,Z",
     "the viewpoint written into CGH files and the base of a\n--views series (default 0,0,30)",
     [](CommandLine& c, const OptionValue& v) {
         c.viewpoint = as<std::array<float, 3>>(v);
         c.viewpointGiven = true;
     }},
    {nullptr, "--scalxy", ValueKind::Number, "--scalxy F, --scalz F",
     "output scales for CGH headers and 3di files (default 1)",
     [](CommandLine& c, const OptionValue& v) { c.scalxy = as<float>(v); }},
    {nullptr, "--scalz", ValueKind::Number, nullptr, nullptr,
     [](CommandLine& c, const OptionValue& v) { c.scalz = as<float>(v); }},
    {nullptr, "--seed", ValueKind::Seed, "--seed N",
     "seed of the random phases (default: a random seed, shown\nwith --verbose); every export starts from it, so a "
     "point\nhas the same phase in every file, and a --views series\nruns one generator across its views",
     [](CommandLine& c, const OptionValue& v) { c.seed = as<std::uint32_t>(v); }},
    {"\n", "--holo-", ValueKind::Hologram, nullptr, nullptr, nullptr},
    {"\n", "-v --verbose", ValueKind::None, "-v, --verbose",
     "also print the informational message boxes and the seed",
     [](CommandLine& c, const OptionValue&) { c.verbose = true; }},
    {nullptr, "-h --help", ValueKind::None, "-h, --help", "show this help and exit",
     [](CommandLine& c, const OptionValue&) { c.help = true; }},
    {nullptr, "--version", ValueKind::None, "--version", "show the version and exit",
     [](CommandLine& c, const OptionValue&) { c.version = true; }},
};

const char* const kIntro =
    "Usage: velmora-export [OPTIONS] MODEL\n"
    "\n"
    "Loads a model without a display, draws it as the desktop program would, and\n"
    "exports the visible surface as points. MODEL is a 3D Studio file (.3ds) or an\n"
    "OBJ, STL, PLY, glTF (.gltf, .glb), COLLADA (.dae) or FBX file.\n"
    "\n";

const char* const kOutro =
    "\n"
    "Message boxes of the desktop program are printed to standard error as\n"
    "\"caption: text\"; the model reader's diagnostics go to standard output.\n"
    "\n"
    "Exit status: 0 success; 1 the model cannot be read; 2 usage error;\n"
    "3 an export failed or was refused; 4 no OpenGL available.\n";

// The help column starts after two spaces and a 23-character option column.
constexpr std::size_t kOptionColumn = 23;

std::string makeUsage() {
    std::string text = kIntro;
    for (const Option& option : kOptions) {
        if (option.before) text += option.before;
        if (option.kind == ValueKind::Hologram) text += hologramOptionsHelp();
        if (!option.usage) continue;
        const std::string usage = option.usage;
        const std::size_t gap = usage.size() + 2 <= kOptionColumn ? kOptionColumn - usage.size() : 2;
        text += "  " + usage + std::string(gap, ' ');
        for (const char* c = option.help; *c; ++c) {
            if (*c == '\n')
                text += "\n" + std::string(kOptionColumn + 2, ' ');
            else
                text += *c;
        }
        text += '\n';
    }
    return text + kOutro;
}

bool hasName(const Option& option, const std::string& name) {
    if (option.kind == ValueKind::Hologram) return name.rfind(option.names, 0) == 0;
    const std::string names = std::string(" ") + option.names + " ";
    return names.find(" " + name + " ") != std::string::npos;
}

std::optional<float> parseNumber(const std::string& text) { return parseDecimal(text); }

std::optional<std::array<float, 3>> parseTriple(const std::string& text) {
    std::array<float, 3> values{};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string::npos)) return std::nullopt;
        const auto value = parseDecimal(text.substr(start, i < 2 ? comma - start : std::string::npos));
        if (!value) return std::nullopt;
        values[static_cast<std::size_t>(i)] = *value;
        start = comma + 1;
    }
    return values;
}

std::optional<FrameSize> parseSize(const std::string& text) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return std::nullopt;
    char* end = nullptr;
    const std::string w = text.substr(0, x), h = text.substr(x + 1);
    if (w.empty() || h.empty()) return std::nullopt;
    const long pw = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0') return std::nullopt;
    const long ph = std::strtol(h.c_str(), &end, 10);
    if (*end != '\0' || pw < 1 || ph < 1 || pw > 65536 || ph > 65536) return std::nullopt;
    return FrameSize{static_cast<int>(pw), static_cast<int>(ph)};
}

std::optional<ViewRange> parseRange(const std::string& text) {
    const auto first = text.find(':');
    if (first == std::string::npos) return std::nullopt;
    const auto second = text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) return std::nullopt;
    const auto left = parseDecimal(text.substr(0, first));
    const auto right = parseDecimal(text.substr(first + 1, second - first - 1));
    const auto interval = parseDecimal(text.substr(second + 1));
    if (!left || !right || !interval) return std::nullopt;
    return ViewRange{*left, *right, *interval};
}

std::optional<std::uint32_t> parseSeed(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const unsigned long seed = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || text[0] == '-' || seed > 0xFFFFFFFFul) return std::nullopt;
    return static_cast<std::uint32_t>(seed);
}

template <class T>
OptionValue orNone(const std::optional<T>& value) {
    return value ? OptionValue(*value) : OptionValue();
}

// The value read as its kind, or nothing (monostate) with `what` naming what
// it should have been.
OptionValue parseValue(ValueKind kind, const std::string& text, const char*& what) {
    switch (kind) {
        case ValueKind::None: break;
        case ValueKind::File: what = "a file name"; return text.empty() ? OptionValue() : OptionValue(text);
        case ValueKind::Size: what = "a size like 800x600"; return orNone(parseSize(text));
        case ValueKind::Triple: what = "three numbers like 0,0,30"; return orNone(parseTriple(text));
        case ValueKind::Number: what = "a number"; return orNone(parseNumber(text));
        case ValueKind::Range: what = "a range like -1:1:0.5"; return orNone(parseRange(text));
        case ValueKind::Seed: what = "a whole number from 0 to 4294967295"; return orNone(parseSeed(text));
        case ValueKind::Hologram: break;
    }
    return {};
}

// A --holo-* option, through the parser velmora-holo uses; `inlineValue`
// is the text after '=' when there was one.
bool readHologramOption(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                        const std::optional<std::string>& inlineValue, CommandLine& cl, std::string& error) {
    const char* value = inlineValue ? inlineValue->c_str() : i + 1 < args.size() ? args[i + 1].c_str() : nullptr;
    switch (parseHologramOption(name, value, cl.hologramOptions, error)) {
        case OptionMatch::NotMine: error = "unknown option " + args[i]; return false;
        case OptionMatch::Invalid: return false;
        case OptionMatch::TakenAlone:
            if (inlineValue) {
                error = "option " + name + " takes no value";
                return false;
            }
            break;
        case OptionMatch::TakenValue:
            if (!inlineValue) ++i;
            break;
    }
    cl.hologramOptionGiven = true;
    return true;
}

// Reads the option at args[i] (advancing i past a separate value) into `cl`;
// false with `error` set on a mistake.
bool readOption(const std::vector<std::string>& args, std::size_t& i, CommandLine& cl, std::string& error) {
    const std::string& arg = args[i];
    // Options with a value take it from the next argument or after '='.
    std::string name = arg, value;
    const auto eq = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
    if (eq != std::string::npos) {
        name = arg.substr(0, eq);
        value = arg.substr(eq + 1);
    }
    for (const Option& option : kOptions) {
        if (!hasName(option, name)) continue;
        if (option.kind == ValueKind::Hologram)
            return readHologramOption(args, i, name, eq != std::string::npos ? std::optional(value) : std::nullopt,
                                      cl, error);
        if (option.kind == ValueKind::None) {
            if (eq != std::string::npos) error = "option " + name + " takes no value";
            if (eq == std::string::npos) option.set(cl, OptionValue());
            return eq == std::string::npos;
        }
        if (eq == std::string::npos) {
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = args[++i];
        }
        const char* what = "";
        const OptionValue parsed = parseValue(option.kind, value, what);
        if (std::holds_alternative<std::monostate>(parsed)) {
            error = "option " + name + ": \"" + value + "\" is not " + what;
            return false;
        }
        option.set(cl, parsed);
        return true;
    }
    error = "unknown option " + arg;
    return false;
}

// The checks across options, once all are read.
bool checkCombination(CommandLine& cl, const std::vector<std::string>& models, std::string& error) {
    if (cl.help || cl.version) return true;
    if (models.size() != 1) {
        error = models.empty() ? "no model file given" : "give exactly one model file";
        return false;
    }
    cl.model = models[0];
    if (cl.views && !cl.hasSeriesExport()) {
        error = "--views needs --colour, --grey, --channels, --ply or --ply-ascii";
        return false;
    }
    if (cl.hologramOptionGiven && !cl.hologram) {
        error = "the --holo- options need --hologram or --hologram-grey";
        return false;
    }
    if (cl.views && cl.hologram) {
        error = "--views cannot be combined with a hologram (it is made of one view)";
        return false;
    }
    if (cl.views && cl.threeDi) {
        error = "--views cannot be combined with --3di (a 3di file holds one view)";
        return false;
    }
    if (!cl.hasExport() && !cl.png) cl.info = true;
    return true;
}

}  // namespace

const std::string& commandLineUsage() {
    static const std::string usage = makeUsage();
    return usage;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    std::vector<std::string> models;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].size() > 1 && args[i][0] == '-') {
            if (!readOption(args, i, cl, error)) return std::nullopt;
        } else {
            models.push_back(args[i]);
        }
    }
    if (!checkCombination(cl, models, error)) return std::nullopt;
    return cl;
}

}  // namespace velmora
