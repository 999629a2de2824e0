#include "cli/CommandLine.h"

#include "platform/DecimalText.h"

#include <cerrno>
#include <cstdlib>

namespace velmora {

namespace {

const char* const kUsage =
    "Usage: velmora-export [OPTIONS] MODEL\n"
    "\n"
    "Loads a model without a display, draws it as the desktop program would, and\n"
    "exports the visible surface as points. MODEL is a 3D Studio file (.3ds) or an\n"
    "OBJ, STL, PLY, glTF (.gltf, .glb), COLLADA (.dae) or FBX file.\n"
    "\n"
    "What to do (any combination; without one, --info):\n"
    "  --info                 print the model (materials, objects, vertex and triangle\n"
    "                         counts, bounds) and the frame's point count and bounds;\n"
    "                         with --fit also the eye used\n"
    "  --colour FILE          colour CGH point file of the frame\n"
    "  --grey FILE            grey CGH point file of the frame\n"
    "  --channels FILE        three CGH files, one per colour channel: FILE \"out.CGH\"\n"
    "                         gives outr.CGH, outg.CGH and outb.CGH\n"
    "  --3di FILE             3di grid file of the frame\n"
    "  --ply FILE             binary PLY point cloud (x y z, red green blue, phase) of\n"
    "                         the same points and phases as the colour file\n"
    "  --ply-ascii FILE       the same as ASCII PLY in the layout CGH libraries such as\n"
    "                         OpenHolo read\n"
    "  --views L:R:STEP       with --colour, --grey, --channels, --ply or --ply-ascii: a\n"
    "                         row of views from the viewpoint shifted by L to R along x\n"
    "                         in steps of STEP; files are numbered: out1.CGH, out2.CGH\n"
    "  --png FILE             save the frame that is sampled (black background) as PNG\n"
    "  File names get \".CGH\" (\".3di\", \".ply\") appended unless they end in it\n"
    "  (any letter case).\n"
    "\n"
    "The frame:\n"
    "  --size WxH             frame size in pixels (default 800x600)\n"
    "  --eye X,Y,Z            camera eye, looking at the origin (default 0,0,30)\n"
    "  --scale F              model scale (default 1)\n"
    "  --offset X,Y,Z         model offset, scaled with the model (default 0,0,0)\n"
    "  --rot-x DEG, --rot-y DEG  model rotation about x, then y (default 0)\n"
    "  --rescale F            multiply the model's vertices by F (repeatable)\n"
    "  --fit                  move the eye along its direction until the whole model\n"
    "                         (its bounding sphere) fits the frame with a small\n"
    "                         margin; the viewpoint follows unless --viewpoint is given\n"
    "  --two-sided            draw every material two-sided (the default)\n"
    "  --no-two-sided         only materials marked two-sided in the file\n"
    "\n"
    "Export settings:\n"
    "  --viewpoint X,Y,Z      the viewpoint written into CGH files and the base of a\n"
    "                         --views series (default 0,0,30)\n"
    "  --scalxy F, --scalz F  output scales for CGH headers and 3di files (default 1)\n"
    "  --seed N               seed of the random phases (default: a random seed, shown\n"
    "                         with --verbose); every export starts from it, so a point\n"
    "                         has the same phase in every file, and a --views series\n"
    "                         runs one generator across its views\n"
    "\n"
    "  -v, --verbose          also print the informational message boxes and the seed\n"
    "  -h, --help             show this help and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Message boxes of the desktop program are printed to standard error as\n"
    "\"caption: text\"; the model reader's diagnostics go to standard output.\n"
    "\n"
    "Exit status: 0 success; 1 the model cannot be read; 2 usage error;\n"
    "3 an export failed or was refused; 4 no OpenGL available.\n";

bool parseFloat(const std::string& text, float& out) {
    const auto value = parseDecimal(text);
    if (value) out = *value;
    return value.has_value();
}

bool parseTriple(const std::string& text, std::array<float, 3>& out) {
    std::array<float, 3> values{};
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t comma = text.find(',', start);
        if ((i < 2) != (comma != std::string::npos)) return false;
        const std::string part = text.substr(start, i < 2 ? comma - start : std::string::npos);
        if (!parseFloat(part, values[static_cast<std::size_t>(i)])) return false;
        start = comma + 1;
    }
    out = values;
    return true;
}

bool parseSize(const std::string& text, int& width, int& height) {
    const auto x = text.find_first_of("xX");
    if (x == std::string::npos) return false;
    char* end = nullptr;
    const std::string w = text.substr(0, x), h = text.substr(x + 1);
    if (w.empty() || h.empty()) return false;
    const long pw = std::strtol(w.c_str(), &end, 10);
    if (*end != '\0') return false;
    const long ph = std::strtol(h.c_str(), &end, 10);
    if (*end != '\0' || pw < 1 || ph < 1 || pw > 65536 || ph > 65536) return false;
    width = static_cast<int>(pw);
    height = static_cast<int>(ph);
    return true;
}

bool parseViews(const std::string& text, ViewRangeOption& out) {
    const auto first = text.find(':');
    if (first == std::string::npos) return false;
    const auto second = text.find(':', first + 1);
    if (second == std::string::npos || text.find(':', second + 1) != std::string::npos) return false;
    out.left = text.substr(0, first);
    out.right = text.substr(first + 1, second - first - 1);
    out.interval = text.substr(second + 1);
    float check = 0;
    return parseFloat(out.left, check) && parseFloat(out.right, check) && parseFloat(out.interval, check);
}

}  // namespace

const char* commandLineUsage() { return kUsage; }

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args, std::string& error) {
    CommandLine cl;
    std::vector<std::string> models;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Options with a value take it from the next argument or after '='.
        std::string name = arg, value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
        }
        const auto takeValue = [&](std::string& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        const auto bad = [&](const std::string& v, const char* what) {
            error = "option " + name + ": \"" + v + "\" is not " + what;
            return std::nullopt;
        };
        const auto flagOnly = [&]() {
            if (inlineValue) error = "option " + name + " takes no value";
            return !inlineValue;
        };

        std::string v;
        if (name == "-h" || name == "--help") {
            if (!flagOnly()) return std::nullopt;
            cl.help = true;
        } else if (name == "--version") {
            if (!flagOnly()) return std::nullopt;
            cl.version = true;
        } else if (name == "-v" || name == "--verbose") {
            if (!flagOnly()) return std::nullopt;
            cl.verbose = true;
        } else if (name == "--info") {
            if (!flagOnly()) return std::nullopt;
            cl.info = true;
        } else if (name == "--fit") {
            if (!flagOnly()) return std::nullopt;
            cl.fit = true;
        } else if (name == "--two-sided" || name == "--no-two-sided") {
            if (!flagOnly()) return std::nullopt;
            cl.twoSided = name == "--two-sided" ? 1 : 0;
        } else if (name == "--png" || name == "--colour" || name == "--color" || name == "--grey" ||
                   name == "--gray" || name == "--channels" || name == "--3di" || name == "--ply" ||
                   name == "--ply-ascii") {
            if (!takeValue(v)) return std::nullopt;
            if (v.empty()) return bad(v, "a file name");
            if (name == "--png") cl.png = v;
            else if (name == "--colour" || name == "--color") cl.colour = v;
            else if (name == "--grey" || name == "--gray") cl.grey = v;
            else if (name == "--channels") cl.channels = v;
            else if (name == "--ply") cl.ply = v;
            else if (name == "--ply-ascii") cl.plyAscii = v;
            else cl.threeDi = v;
        } else if (name == "--size") {
            if (!takeValue(v)) return std::nullopt;
            if (!parseSize(v, cl.width, cl.height)) return bad(v, "a size like 800x600");
        } else if (name == "--eye" || name == "--offset" || name == "--viewpoint") {
            if (!takeValue(v)) return std::nullopt;
            auto& target = name == "--eye" ? cl.eye : name == "--offset" ? cl.offset : cl.viewpoint;
            if (!parseTriple(v, target)) return bad(v, "three numbers like 0,0,30");
            if (name == "--viewpoint") cl.viewpointGiven = true;
        } else if (name == "--scale" || name == "--rot-x" || name == "--rot-y" || name == "--scalxy" ||
                   name == "--scalz" || name == "--rescale") {
            if (!takeValue(v)) return std::nullopt;
            float f = 0;
            if (!parseFloat(v, f)) return bad(v, "a number");
            if (name == "--scale") cl.scale = f;
            else if (name == "--rot-x") cl.rotX = f;
            else if (name == "--rot-y") cl.rotY = f;
            else if (name == "--scalxy") cl.scalxy = f;
            else if (name == "--scalz") cl.scalz = f;
            else cl.rescale.push_back(f);
        } else if (name == "--views") {
            if (!takeValue(v)) return std::nullopt;
            ViewRangeOption range;
            if (!parseViews(v, range)) return bad(v, "a range like -1:1:0.5");
            cl.views = range;
        } else if (name == "--seed") {
            if (!takeValue(v)) return std::nullopt;
            char* end = nullptr;
            errno = 0;
            const unsigned long seed = std::strtoul(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || errno != 0 || v[0] == '-' || seed > 0xFFFFFFFFul)
                return bad(v, "a whole number from 0 to 4294967295");
            cl.seed = static_cast<unsigned>(seed);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return std::nullopt;
        } else {
            models.push_back(arg);
        }
    }
    if (cl.help || cl.version) return cl;
    if (models.size() != 1) {
        error = models.empty() ? "no model file given" : "give exactly one model file";
        return std::nullopt;
    }
    cl.model = models[0];
    if (cl.views && !cl.hasSeriesExport()) {
        error = "--views needs --colour, --grey, --channels, --ply or --ply-ascii";
        return std::nullopt;
    }
    if (cl.views && cl.threeDi) {
        error = "--views cannot be combined with --3di (a 3di file holds one view)";
        return std::nullopt;
    }
    if (!cl.hasExport() && !cl.png) cl.info = true;
    return cl;
}

}  // namespace velmora
