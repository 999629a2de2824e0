#include "cli/CommandLine.h"

#include "cmdline/OptionTable.h"

namespace velmora {

namespace {

// The rows write into `c`; the table is built afresh for each use.
OptionTable optionTable(CommandLine& c) {
    OptionTable table;
    table.add({
        {"What to do (any combination; without one, --info):\n", "--info", ValueKind::None, "--info",
         "print the model (materials, objects, vertex and triangle\ncounts, bounds) and the frame's point count and "
         "bounds;\nwith --fit also the eye used",
         setFlag(c.info)},
        {nullptr, "--colour --color", ValueKind::Text, "--colour FILE", "colour CGH point file of the frame",
         storeIn(c.colour)},
        {nullptr, "--grey --gray", ValueKind::Text, "--grey FILE", "grey CGH point file of the frame", storeIn(c.grey)},
        {nullptr, "--channels", ValueKind::Text, "--channels FILE",
         "three CGH files, one per colour channel: FILE \"out.CGH\"\ngives outr.CGH, outg.CGH and outb.CGH",
         storeIn(c.channels)},
        {nullptr, "--3di", ValueKind::Text, "--3di FILE", "3di grid file of the frame", storeIn(c.threeDi)},
        {nullptr, "--ply", ValueKind::Text, "--ply FILE",
         "binary PLY point cloud (x y z, red green blue, phase) of\nthe same points and phases as the colour file",
         storeIn(c.ply)},
        {nullptr, "--ply-ascii", ValueKind::Text, "--ply-ascii FILE",
         "the same as ASCII PLY in the layout CGH libraries such as\nOpenHolo read", storeIn(c.plyAscii)},
        {nullptr, "--hologram", ValueKind::Text, "--hologram PREFIX",
         "colour hologram (638, 520, 450 nm) of the points --colour\n"
         "writes with the same seed, as velmora-holo makes it from\n"
         "that file: PREFIX-638nm.png ..., PREFIX-preview.png;\nprogress on standard error",
         [&c](const OptionValue& v) {
             c.hologram = std::get<std::string>(v);
             c.greyHologram = false;
             return true;
         }},
        {nullptr, "--hologram-grey", ValueKind::Text, "--hologram-grey PREFIX",
         "instead one grey hologram (532 nm) of the points --grey\nwrites: PREFIX-532nm.png, PREFIX-preview.png",
         [&c](const OptionValue& v) {
             c.hologram = std::get<std::string>(v);
             c.greyHologram = true;
             return true;
         }},
        {nullptr, "--views", ValueKind::Range, "--views L:R:STEP",
         "with --colour, --grey, --channels, --ply, --ply-ascii or a\n"
         "hologram: a row of views from the viewpoint shifted by L\n"
         "to R along x in steps of STEP; files are numbered:\n"
         "out1.CGH, out2.CGH, a hologram per view PREFIX1-638nm.png",
         [&c](const OptionValue& v) {
             const auto& [left, right, interval] = std::get<std::array<float, 3>>(v);
             c.views = ViewRange{left, right, interval};
             return true;
         }},
        {nullptr, "--view-share", ValueKind::Text, "--view-share K/N",
         "with --views and --seed: only the K-th of N shares of the\n"
         "row (1 <= K <= N), for the tasks of a scheduler: N\n"
         "contiguous blocks of views as even as possible; of V\n"
         "views share K holds views (K-1)V/N+1 to KV/N, each\n"
         "rounded down (some hold none when N > V); together the\n"
         "shares write the files of one run, phases included",
         [&c](const OptionValue& v) {
             c.viewShare = parseViewShare(std::get<std::string>(v));
             return c.viewShare.has_value();
         },
         "a share K/N with 1 <= K <= N"},
        {nullptr, "--png", ValueKind::Text, "--png FILE", "save the frame that is sampled (black background) as PNG",
         storeIn(c.png)},
        {"  File names get \".CGH\" (\".3di\", \".ply\") appended unless they end in it\n  (any letter case).\n\n"
         "The frame:\n",
         "--size", ValueKind::Size, "--size WxH", "frame size in pixels (default 800x600)",
         [&c](const OptionValue& v) {
             const PixelSize size = std::get<PixelSize>(v);
             if (size.width < 1 || size.height < 1 || size.width > 65536 || size.height > 65536) return false;
             c.width = size.width;
             c.height = size.height;
             return true;
         }},
        {nullptr, "--eye", ValueKind::Triple, "--eye X,Y,Z", "camera eye, looking at the origin (default 0,0,30)",
         storeIn(c.eye)},
        {nullptr, "--scale", ValueKind::Float, "--scale F", "model scale (default 1)", storeIn(c.scale)},
        {nullptr, "--offset", ValueKind::Triple, "--offset X,Y,Z",
         "model offset, scaled with the model (default 0,0,0)", storeIn(c.offset)},
        {nullptr, "--rot-x", ValueKind::Float, "--rot-x DEG, --rot-y DEG", "model rotation about x, then y (default 0)",
         storeIn(c.rotX)},
        {nullptr, "--rot-y", ValueKind::Float, nullptr, nullptr, storeIn(c.rotY)},
        {nullptr, "--rescale", ValueKind::Float, "--rescale F", "multiply the model's vertices by F (repeatable)",
         [&c](const OptionValue& v) {
             c.rescale.push_back(std::get<float>(v));
             return true;
         }},
        {nullptr, "--fit", ValueKind::None, "--fit",
         "move the eye along its direction until the whole model\n(its bounding sphere) fits the frame with a small\n"
         "margin; the viewpoint follows unless --viewpoint is given",
         setFlag(c.fit)},
        {nullptr, "--two-sided", ValueKind::None, "--two-sided", "draw every material two-sided (the default)",
         setFlag(c.twoSided)},
        {nullptr, "--no-two-sided", ValueKind::None, "--no-two-sided", "only materials marked two-sided in the file",
         setFlag(c.twoSided, false)},
        {"\nExport settings:\n", "--viewpoint", ValueKind::Triple, "--viewpoint X,Y,Z",
         "the viewpoint written into CGH files and the base of a\n--views series (default 0,0,30)",
         [&c](const OptionValue& v) {
             c.viewpoint = std::get<std::array<float, 3>>(v);
             c.viewpointGiven = true;
             return true;
         }},
        {nullptr, "--scalxy", ValueKind::Float, "--scalxy F, --scalz F",
         "output scales for CGH headers and 3di files (default 1)", storeIn(c.scalxy)},
        {nullptr, "--scalz", ValueKind::Float, nullptr, nullptr, storeIn(c.scalz)},
        {nullptr, "--seed", ValueKind::Whole, "--seed N",
         "seed of the random phases (default: a random seed, shown\nwith --verbose); every export starts from it, so a "
         "point\nhas the same phase in every file, and a --views series\nruns one generator across its views",
         storeIn(c.seed)},
    });
    table.add(hologramOptionRows(c.hologramOptions));
    table.add({
        {"\n", "-v --verbose", ValueKind::None, "-v, --verbose",
         "also print the informational message boxes and the seed", setFlag(c.verbose)},
        {nullptr, "-h --help", ValueKind::None, "-h, --help", "show this help and exit", setFlag(c.help)},
        {nullptr, "--version", ValueKind::None, "--version", "show the version and exit", setFlag(c.version)},
    });
    return table;
}

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

// The checks across options, once all are read.
Result<void> checkCombination(CommandLine& cl, const std::vector<std::string>& models) {
    using Checked = Result<void>;
    if (cl.help || cl.version) return {};
    if (models.size() != 1)
        return Checked::failure(models.empty() ? "no model file given" : "give exactly one model file");
    cl.model = models[0];
    if (cl.views && !cl.hasSeriesExport())
        return Checked::failure("--views needs --colour, --grey, --channels, --ply, --ply-ascii or a hologram");
    if (cl.viewShare && !cl.views) return Checked::failure("--view-share needs --views");
    // Without one seed the shares would draw unrelated phases.
    if (cl.viewShare && !cl.seed) return Checked::failure("--view-share needs --seed");
    if (cl.hologramOptions.given && !cl.hologram)
        return Checked::failure("the --holo- options need --hologram or --hologram-grey");
    if (auto device = checkHologramOptions(cl.hologramOptions); !device) return device;
    if (cl.views && cl.threeDi)
        return Checked::failure("--views cannot be combined with --3di (a 3di file holds one view)");
    if (!cl.hasExport() && !cl.png) cl.info = true;
    return {};
}

}  // namespace

const std::string& commandLineUsage() {
    static const std::string usage = [] {
        CommandLine unused;
        return kIntro + std::string(kOptionSyntaxHelp) + "\n" + optionTable(unused).help() + kOutro;
    }();
    return usage;
}

Result<CommandLine> parseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    const auto models = optionTable(cl).parse(args);
    if (!models) return Result<CommandLine>::failure(models.error());
    if (auto checked = checkCombination(cl, *models); !checked) return Result<CommandLine>::failure(checked.error());
    return cl;
}

}  // namespace velmora
