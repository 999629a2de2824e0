// velmora-holo as a person runs it. The FFT wisdom goes to a temporary cache
// folder, never the user's.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {
using velmora::testing::fileText;

void writeChannel(const std::string& path, const char* value) {
    std::ofstream(path, std::ios::binary)
        << "2 1.0 1.0 0" << std::string(30, ' ') << "\r\n"
        << "0 0.100000 0.050000 0.000000 1.000000 " << value << "\r\n"
        << "1 -0.100000 0.000000 -1.000000 2.000000 " << value << "\r\n"
        << "Statics: Maxx=0.100000 Minx=-0.100000 Maxy=0.050000 Miny=0.000000 Maxz=0.000000 Minz=-1.000000 \r\n"
        << "ViewPoint: x=0.000000  y=0.000000 z=30.000000";
}

int run(const velmora::testing::TempDir& dir, const std::string& arguments, const char* program = VELMORA_HOLO) {
    const std::string command = "XDG_CACHE_HOME='" + dir.file("cache") + "' '" + program + "' " + arguments +
                                " >'" + dir.file("stdout") + "' 2>'" + dir.file("stderr") + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HoloCli, ChannelSetGivesThreeHologramsAndAPreviewAndStatusesFollowTheReadme) {
    velmora::testing::TempDir dir;
    for (const auto& [letter, value] : {std::pair{"r", "1.000000"}, {"g", "0.500000"}, {"b", "0.000000"}})
        writeChannel(dir.file(std::string("obj") + letter + "1.CGH"), value);
    const std::string small = "--holo-size 64x48 --holo-distance 20 --holo-quick-plan --holo-npy ";
    ASSERT_EQ(run(dir, small + "'" + dir.file("objg1.CGH") + "'"), 0);
    for (const char* name : {"obj1-638nm.png", "obj1-520nm.png", "obj1-450nm.png", "obj1-preview.png", "obj1-638nm.npy"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
    EXPECT_EQ(std::filesystem::file_size(dir.file("obj1-520nm.npy")), 128u + 64 * 48 * 8);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cache/VELMORA/fftw-wisdom")));  // nothing measured

    ASSERT_EQ(run(dir, "--help"), 0);
    EXPECT_NE(fileText(dir.file("stdout"))
                  .find("Exit status: 0 success; 1 a file cannot be read; 2 usage error;\n"
                        "3 a hologram could not be computed or written.\n"),
              std::string::npos);
    EXPECT_EQ(run(dir, small + "'" + dir.file("missing.CGH") + "'"), 1);
    EXPECT_EQ(fileText(dir.file("stderr")), "velmora-holo: cannot open " + dir.file("missing.CGH") + "\n");
    EXPECT_EQ(run(dir, "--holo-size 64 x.CGH"), 2);
    std::filesystem::remove(dir.file("objb1.CGH"));
    EXPECT_EQ(run(dir, small + "'" + dir.file("objr1.CGH") + "'"), 1);  // its siblings are gone
}

#ifdef VELMORA_EXPORT  // built with the viewer
TEST(HoloCli, ExportedHologramEqualsTheHologramOfTheExportedColourFile) {
    velmora::testing::TempDir dir;
    const std::string small = "--holo-size 64x48 --holo-distance 20 --holo-quick-plan --holo-npy --holo-fit 0.8 ";
    ASSERT_EQ(run(dir, small + "--size 40x30 --fit --seed 7 --colour '" + dir.file("frame.CGH") + "' --hologram '" +
                           dir.file("direct") + "' '" VELMORA_SOURCE_DIR "/samples/sample.3ds'",
                  VELMORA_EXPORT),
              0);
    ASSERT_EQ(run(dir, small + "-o '" + dir.file("fromfile") + "' '" + dir.file("frame.CGH") + "'"), 0);
    for (const std::string suffix : {"-638nm.npy", "-520nm.npy", "-450nm.npy", "-preview.png"}) {
        const std::string direct = fileText(dir.file("direct" + suffix));
        EXPECT_FALSE(direct.empty()) << suffix;
        EXPECT_TRUE(direct == fileText(dir.file("fromfile" + suffix))) << suffix;
    }
}
#endif

}  // namespace
