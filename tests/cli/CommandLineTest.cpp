// Parsing of velmora-export's options.

#include "cli/CommandLine.h"

#include <gtest/gtest.h>

using namespace velmora;

namespace {

std::optional<CommandLine> parse(std::vector<std::string> args, std::string* errorOut = nullptr) {
    std::string error;
    auto result = parseCommandLine(args, error);
    if (errorOut) *errorOut = error;
    return result;
}

std::string errorOf(std::vector<std::string> args) {
    std::string error;
    EXPECT_FALSE(parse(std::move(args), &error).has_value());
    return error;
}

}  // namespace

TEST(CommandLine, AModelAloneMeansInfoWithTheDefaults) {
    const auto cl = parse({"model.3ds"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->model, "model.3ds");
    EXPECT_TRUE(cl->info);
    EXPECT_EQ(cl->width, 800);
    EXPECT_EQ(cl->height, 600);
    EXPECT_TRUE(cl->twoSided);
    EXPECT_EQ(cl->eye, (std::array<float, 3>{0, 0, 30}));
    EXPECT_EQ(cl->viewpoint, (std::array<float, 3>{0, 0, 30}));
    EXPECT_EQ(cl->scalxy, 1.0f);
    EXPECT_FALSE(cl->seed);
}

TEST(CommandLine, EveryValueOptionInBothSpellings) {
    const auto cl = parse({"--size", "1920x1080", "--eye=1.5,-2,40", "--scale", "2", "--offset", "0,0.5,-1",
                           "--rot-x", "30", "--rot-y=-45", "--rescale", "2", "--rescale", "0.5", "--no-two-sided",
                           "--colour", "a.cgh", "--grey=b", "--channels", "c", "--views", "-1:1:0.5",
                           "--viewpoint", "1,2,3", "--scalxy", "10", "--scalz", "2", "--seed", "4294967295",
                           "--png", "f.png", "m.3ds"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->width, 1920);
    EXPECT_EQ(cl->height, 1080);
    EXPECT_EQ(cl->eye, (std::array<float, 3>{1.5f, -2, 40}));
    EXPECT_EQ(cl->scale, 2.0f);
    EXPECT_EQ(cl->offset, (std::array<float, 3>{0, 0.5f, -1}));
    EXPECT_EQ(cl->rotX, 30.0f);
    EXPECT_EQ(cl->rotY, -45.0f);
    EXPECT_EQ(cl->rescale, (std::vector<float>{2.0f, 0.5f}));
    EXPECT_FALSE(cl->twoSided);
    EXPECT_EQ(cl->colour, std::optional<std::string>("a.cgh"));
    EXPECT_EQ(cl->grey, std::optional<std::string>("b"));
    EXPECT_EQ(cl->channels, std::optional<std::string>("c"));
    ASSERT_TRUE(cl->views);
    EXPECT_EQ(cl->views->left, -1.0f);
    EXPECT_EQ(cl->views->right, 1.0f);
    EXPECT_EQ(cl->views->interval, 0.5f);
    EXPECT_EQ(cl->viewpoint, (std::array<float, 3>{1, 2, 3}));
    EXPECT_EQ(cl->scalxy, 10.0f);
    EXPECT_EQ(cl->scalz, 2.0f);
    EXPECT_EQ(cl->seed, std::optional<unsigned>(4294967295u));
    EXPECT_EQ(cl->png, std::optional<std::string>("f.png"));
    EXPECT_FALSE(cl->info);  // an export was asked for
}

TEST(CommandLine, MistakesAreNamed) {
    EXPECT_EQ(errorOf({}), "no model file given");
    EXPECT_EQ(errorOf({"a.3ds", "b.3ds"}), "give exactly one model file");
    EXPECT_EQ(errorOf({"--frobnicate", "a.3ds"}), "unknown option --frobnicate");
    EXPECT_EQ(errorOf({"a.3ds", "--colour"}), "option --colour needs a value");
    EXPECT_EQ(errorOf({"a.3ds", "--scale", "two"}), "option --scale: \"two\" is not a number");
    EXPECT_EQ(errorOf({"a.3ds", "--scale", "1e999"}), "option --scale: \"1e999\" is not a number");
    EXPECT_EQ(errorOf({"a.3ds", "--eye", "1,2"}), "option --eye: \"1,2\" is not three numbers like 0,0,30");
    EXPECT_EQ(errorOf({"a.3ds", "--eye", "1,2,3,4"}), "option --eye: \"1,2,3,4\" is not three numbers like 0,0,30");
    EXPECT_EQ(errorOf({"a.3ds", "--size", "0x10"}), "option --size: \"0x10\" is not a size like 800x600");
    EXPECT_EQ(errorOf({"a.3ds", "--size", "800"}), "option --size: \"800\" is not a size like 800x600");
    EXPECT_EQ(errorOf({"a.3ds", "--seed", "-1"}), "option --seed: \"-1\" is not a whole number from 0 to 4294967295");
    EXPECT_EQ(errorOf({"a.3ds", "--views", "1:2"}), "option --views: \"1:2\" is not a range like -1:1:0.5");
    EXPECT_EQ(errorOf({"a.3ds", "--views", "0:1:0.1"}),
              "--views needs --colour, --grey, --channels, --ply or --ply-ascii");
    EXPECT_EQ(errorOf({"a.3ds", "--views", "0:1:0.1", "--colour", "x", "--3di", "y"}),
              "--views cannot be combined with --3di (a 3di file holds one view)");
    EXPECT_EQ(errorOf({"a.3ds", "--info=yes"}), "option --info takes no value");
}

TEST(CommandLine, HelpAndVersionNeedNoModel) {
    auto cl = parse({"--help"});
    ASSERT_TRUE(cl);
    EXPECT_TRUE(cl->help);
    cl = parse({"--version"});
    ASSERT_TRUE(cl);
    EXPECT_TRUE(cl->version);
}
