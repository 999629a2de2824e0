// Parsing of velmora-export's and velmora-holo's options.
// What users rely on: a model alone means info with the defaults; every value option in both spellings; help
// texts start with the usage and line up; both programs name a mistake alike; lengths stay in double precision.

#include "cli/CommandLine.h"
#include "holo/HoloCommandLine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

using namespace velmora;

namespace {

using Xyz = std::array<float, 3>;

CommandLine parse(const std::vector<std::string>& args) {
    const auto cl = parseCommandLine(args);
    EXPECT_TRUE(cl) << cl.error();
    return cl ? *cl : CommandLine{};
}

TEST(CommandLine, AModelAloneMeansInfoWithTheDefaultsAndHelpAndVersionNeedNoModel) {
    const CommandLine cl = parse({"model.3ds"});
    EXPECT_EQ(std::tie(cl.model, cl.info, cl.width, cl.height, cl.twoSided, cl.scalxy),
              std::make_tuple("model.3ds", true, 800, 600, true, 1.0f));
    EXPECT_EQ(std::tie(cl.eye, cl.viewpoint), std::make_tuple(Xyz{0, 0, 30}, Xyz{0, 0, 30}));
    EXPECT_FALSE(cl.seed);
    EXPECT_TRUE(parse({"--help"}).help && parse({"--version"}).version);
    EXPECT_EQ(parse({"--size", "1x1", "m.3ds"}).width, 1);  // the smallest frame
    EXPECT_EQ(parse({"--", "-m.3ds"}).model, "-m.3ds");
}

TEST(CommandLine, EveryValueOptionInBothSpellings) {
    const CommandLine cl = parse({"--size", "1920x1080", "--eye=1.5,-2,40", "--scale", "2", "--offset", "0,0.5,-1",
                                  "--rot-x", "30", "--rot-y=-45", "--rescale", "2", "--rescale", "0.5", "--no-two-sided",
                                  "--colour", "a.cgh", "--grey=b", "--channels", "c", "--views", "-1:1:0.5",
                                  "--viewpoint", "1,2,3", "--scalxy", "10", "--scalz", "2", "--seed", "4294967295",
                                  "--png", "f.png", "m.3ds"});
    EXPECT_EQ(std::tie(cl.width, cl.height, cl.scale, cl.rotX, cl.rotY, cl.scalxy, cl.scalz, cl.twoSided, cl.info),
              std::make_tuple(1920, 1080, 2.0f, 30.0f, -45.0f, 10.0f, 2.0f, false, false));  // an export was asked for
    EXPECT_EQ(std::tie(cl.eye, cl.offset, cl.viewpoint),
              std::make_tuple(Xyz{1.5f, -2, 40}, Xyz{0, 0.5f, -1}, Xyz{1, 2, 3}));
    EXPECT_EQ(std::tie(cl.colour, cl.grey, cl.channels, cl.png), std::make_tuple("a.cgh", "b", "c", "f.png"));
    EXPECT_EQ(std::pair(cl.rescale, cl.seed), std::pair(std::vector<float>{2.0f, 0.5f}, std::optional(4294967295u)));
    ASSERT_TRUE(cl.views);
    EXPECT_EQ(std::tie(cl.views->left, cl.views->right, cl.views->interval), std::make_tuple(-1.0f, 1.0f, 0.5f));
}

TEST(CommandLine, HelpStartsWithTheUsageAndSetsEveryHelpTextAtOneColumn) {
    const std::string& help = commandLineUsage();
    EXPECT_EQ(help.rfind("Usage: velmora-export [OPTIONS] MODEL\n", 0), 0u);
    const std::string lines[] = {"\n  --size WxH" + std::string(13, ' ') + "frame size in pixels (default 800x600)\n",
                                 "\n  -v, --verbose" + std::string(10, ' ') + "also print",
                                 // too long for the column: two blanks
                                 "\n  --hologram-grey PREFIX  instead one grey hologram (532 nm) of the points --grey\n" +
                                     std::string(25, ' ') + "writes: PREFIX-532nm.png"};
    for (const std::string& line : lines) EXPECT_NE(help.find(line), std::string::npos) << line;
}

TEST(CommandLine, HoloReadsItsOptionsLikeExportAndKeepsLengthsInDoublePrecision) {
    const auto cl = parseHoloCommandLine({"--output=o", "--holo-pitch=0.1", "--holo-size", "64x32",
                                          "--holo-phase-range=2.9pi", "--holo-tilt", "0.1,-0.25", "--", "-p.ply"});
    ASSERT_TRUE(cl) << cl.error();
    EXPECT_EQ(std::tie(cl->job.output, cl->job.files), std::make_tuple("o", std::vector<std::string>{"-p.ply"}));
    EXPECT_EQ(std::tie(cl->job.options.settings.width, cl->job.options.settings.height), std::make_tuple(64, 32));
    EXPECT_DOUBLE_EQ(cl->job.options.settings.pitch, 1e-7);  // 0.1 um; a float would be 1.49e-15 m off
    EXPECT_DOUBLE_EQ(cl->job.options.settings.device.phaseRange, 2.9 * 3.14159265358979323846);
    EXPECT_EQ(cl->job.options.settings.device.tilt, (std::array{0.1, -0.25}));
}

// Each hologram option lands in its setting, in the computation's units: metres, bytes, flags.
TEST(CommandLine, EveryHologramOptionReachesItsSetting) {
    velmora::testing::TempDir dir;
    velmora::testing::writeFile(dir.file("lut.txt"), std::string("# measured\n0 0\n256 6.1\n"));
    const auto cl = parseHoloCommandLine(
        {"--holo-unit=2.5", "--holo-fit", "0.5", "--holo-distance=20", "--holo-method", "direct", "--holo-gap=3",
         "--holo-npy", "--holo-no-preview", "--holo-score", "--holo-threads", "3", "--holo-quick-plan",
         "--holo-encoding=amplitude", "--holo-bits", "16", "--holo-levels", "1024", "--holo-lut",
         "638:" + dir.file("lut.txt"), "--holo-memory", "1.5G", "--holo-tiles", "2/5", "--holo-whole-png", "p.CGH"});
    ASSERT_TRUE(cl) << cl.error();
    const HologramOptions& o = cl->job.options;
    const HologramSettings& s = o.settings;
    EXPECT_EQ(std::tie(s.unit, s.holoFit, s.distance, s.recordingGap),
              std::make_tuple(2.5e-3, std::optional(0.5), 20e-3, std::optional(3e-3)));
    EXPECT_EQ(std::tie(s.method, s.threads, s.planning),
              std::make_tuple(HologramMethod::Direct, 3, FftPlanning::Estimate));
    EXPECT_EQ(std::tie(o.output.npy, o.output.preview, o.score, o.given), std::make_tuple(true, false, true, true));
    EXPECT_EQ(std::tie(s.device.encoding, s.device.bits, s.device.levels),
              std::make_tuple(HologramEncoding::Amplitude, 16, std::optional(1024)));
    ASSERT_TRUE(s.device.luts.size() == 1 && s.device.luts[0].second.entries.size() == 2);
    EXPECT_DOUBLE_EQ(s.device.luts[0].first, 638e-9);
    const auto eightBits = parseHoloCommandLine({"--holo-lut", dir.file("lut.txt"), "p.CGH"});  // grey 256 is past 8 bits
    EXPECT_EQ(eightBits ? "(accepted)" : eightBits.error(), "--holo-lut: grey level 256 needs --holo-bits 16");
    const auto lutAlone = parseCommandLine({"m.3ds", "--holo-lut", dir.file("lut.txt")});  // a hologram option too
    EXPECT_EQ(lutAlone ? "(accepted)" : lutAlone.error(), "the --holo- options need --hologram or --hologram-grey");
    ASSERT_TRUE(cl->job.tiles);  // a budget of 1.5 x 1024^3 bytes
    EXPECT_EQ(std::tuple(cl->job.tiles->index, cl->job.tiles->count, cl->job.wholePicture, s.memoryBudget),
              std::tuple(2, 5, true, std::uint64_t{1610612736}));
    // velmora-export: the last of --hologram and --hologram-grey says which hologram.
    EXPECT_TRUE(parse({"--hologram", "a", "--hologram-grey", "b", "m.3ds"}).greyHologram);
    const CommandLine colour = parse({"--hologram-grey", "b", "--hologram", "a", "m.3ds"});
    EXPECT_EQ(std::tie(colour.hologram, colour.greyHologram), std::make_tuple(std::optional<std::string>("a"), false));
}

template <typename T> std::string refusalOf(const Result<T>& parsed) {
    return parsed ? "(accepted)" : parsed.error();
}

// tests/data/cli/mistakes.txt: the program, its arguments ("␣" a blank), "=> ", the message.
TEST(CommandLine, MistakesAreNamedAlikeByBothPrograms) {
    std::istringstream lines(velmora::testing::dataText("cli/mistakes.txt"));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        const std::size_t arrow = line.find("=> ");
        std::istringstream words(line.substr(0, arrow));
        std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
        for (std::string& arg : args)
            for (std::size_t at; (at = arg.find("␣")) != std::string::npos;) arg.replace(at, 3, " ");
        const std::vector<std::string> options(args.begin() + 1, args.end());
        const std::string refusal =
            args[0] == "velmora-holo" ? refusalOf(parseHoloCommandLine(options)) : refusalOf(parseCommandLine(options));
        EXPECT_EQ(refusal, line.substr(arrow + 3)) << line;
    }
    EXPECT_EQ(count, 98);
}

}  // namespace
