// velmora-holo as a person runs it. The FFT wisdom goes to a temporary cache folder, never the user's. What users rely
// on: three channel files give three holograms and a preview, with the statuses the README gives; outputs that cannot
// be written are refused before any computation; a termination signal removes the temporary file; the hologram of an
// exported view equals that of its colour file; tile shares write one run's files and a resumed run keeps the complete
// tiles.

#include "support/Pictures.h"
#include "support/ScoreLines.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using velmora::testing::fileText;

// One channel of a per-channel set; with a 42-character first line, a grey file.
void writeChannel(const std::string& path, const char* value, std::size_t pad = 30) {
    std::ofstream(path, std::ios::binary) << "2 1.0 1.0 0" << std::string(pad, ' ') << "\r\n"
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
    for (const auto& [letter, value] : {std::pair{"r", "0.000000"}, {"g", "0.500000"}, {"b", "1.000000"}})
        writeChannel(dir.file(std::string("obj") + letter + "1.CGH"), value);
    const std::string small = "--holo-size 64x48 --holo-distance 20 --holo-quick-plan --holo-npy ";
    ASSERT_EQ(run(dir, small + "--holo-unit 2.5 '" + dir.file("objg1.CGH") + "'"), 0);
    EXPECT_NE(fileText(dir.file("stderr")).find(" s (unit 2.5 mm, object 20 to 22.5 mm from the hologram)\n"),
              std::string::npos);  // the points lie 1 unit deep
    for (const char* name : {"obj1-638nm.png", "obj1-520nm.png", "obj1-450nm.png", "obj1-preview.png", "obj1-638nm.npy"})
        EXPECT_TRUE(std::filesystem::exists(dir.file(name))) << name;
    EXPECT_EQ(std::filesystem::file_size(dir.file("obj1-520nm.npy")), 128u + 64 * 48 * 8);
    // Each file lights its own channel: the black red file's field is zero, the blue one's is not.
    EXPECT_EQ(fileText(dir.file("obj1-638nm.npy")).find_first_not_of('\0', 128), std::string::npos);
    EXPECT_NE(fileText(dir.file("obj1-450nm.npy")).find_first_not_of('\0', 128), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("cache/VELMORA/fftw-wisdom")));  // nothing measured
    // Two files of one set, as a shell pattern gives them: one hologram, not a second run over the same names.
    EXPECT_EQ(run(dir, small + "'" + dir.file("objr1.CGH") + "' '" + dir.file("objb1.CGH") + "'"), 0);
    ASSERT_EQ(run(dir, small + "--holo-encoding binary --holo-score -o '" + dir.file("mask") + "' '" +
                           dir.file("objg1.CGH") + "'"), 0);
    EXPECT_EQ(fileText(dir.file("mask-520nm.png")).substr(24, 2), std::string("\1\0", 2));  // 1-bit grey
    EXPECT_EQ(velmora::testing::scoredPoints(fileText(dir.file("stdout"))), "blue 450: 2, green 520: 2, red 638: 2");
    ASSERT_EQ(run(dir, "--help"), 0);
    EXPECT_EQ(fileText(dir.file("stdout")).rfind("Usage: velmora-holo [OPTIONS] FILE...\n", 0), 0u);
    for (const char* option : {"--holo-unit MM", "--holo-encoding E", "--holo-tiles K/N", "-o, --output PREFIX"})
        EXPECT_NE(fileText(dir.file("stdout")).find(option), std::string::npos) << option;
    EXPECT_NE(fileText(dir.file("stdout"))
                  .find("Exit status: 0 success; 1 a file cannot be read; 2 usage error;\n"
                        "3 a hologram could not be computed or written.\n"), std::string::npos);
    EXPECT_EQ(run(dir, small + "'" + dir.file("missing.CGH") + "'"), 1);
    EXPECT_EQ(fileText(dir.file("stderr")), "velmora-holo: cannot open " + dir.file("missing.CGH") + "\n");
    EXPECT_EQ(run(dir, "--holo-size 64 x.CGH"), 2);
    // The refusal's own words are the options table's (mistakes.txt); the program adds its name and the hint.
    const std::string refused = fileText(dir.file("stderr"));
    EXPECT_EQ(refused.rfind("velmora-holo: option --holo-size: ", 0), 0u) << refused;
    const std::string hint = "\nTry 'velmora-holo --help'.\n";
    EXPECT_TRUE(refused.size() > hint.size() && refused.substr(refused.size() - hint.size()) == hint) << refused;
    EXPECT_TRUE(run(dir, "--version") == 0 && fileText(dir.file("stdout")).rfind("velmora-holo ", 0) == 0);
    std::ofstream(dir.file("objb1.CGH")) << "x\n";  // a sibling that cannot be read is named
    EXPECT_EQ(run(dir, small + "'" + dir.file("objr1.CGH") + "'"), 1);
    EXPECT_EQ(fileText(dir.file("stderr")),
              "velmora-holo: " + dir.file("objb1.CGH") + ": line 1: not a CGH header (count, two scales and 0)\n");
    std::filesystem::remove(dir.file("objb1.CGH"));
    EXPECT_EQ(run(dir, small + "'" + dir.file("objr1.CGH") + "'"), 1);  // its siblings are gone
    std::ofstream(dir.file("none.CGH")) << "0 1.0 1.0 0\r\n";  // read, then refused by the computation
    EXPECT_EQ(run(dir, small + "'" + dir.file("none.CGH") + "'"), 3);  // its wording: the export table
}

TEST(HoloCli, OutputsThatCannotBeWrittenAreRefusedBeforeAnyComputation) {
    velmora::testing::TempDir dir;
    for (const char* name : {"x.CGH", "x.cgh"}) writeChannel(dir.file(name), "0.500000", 31);
    EXPECT_EQ(run(dir, "'" + dir.file("x.CGH") + "' '" + dir.file("x.cgh") + "'"), 3);  // both would write x-532nm.png
    EXPECT_EQ(fileText(dir.file("stderr")), "velmora-holo: cannot write " + dir.file("x-532nm.png") +
                                                ": another output of this command has the same name\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("x-532nm.png")));
    EXPECT_EQ(run(dir, "-o '" + dir.file("") + "' '" + dir.file("x.CGH") + "'"), 3);
    EXPECT_EQ(fileText(dir.file("stderr")),
              "velmora-holo: cannot write " + dir.file("") + ": the prefix has no file name of its own\n");
}

// The .npy file goes into a FIFO that is open but never read: the writer
// blocks with its temporary file beside the target until the signal comes.
TEST(HoloCli, TerminationSignalsRemoveTheTemporaryFileAndSetTheStatus) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        velmora::testing::TempDir dir;
        for (const auto& [letter, value] : {std::pair{"r", "1.000000"}, {"g", "0.500000"}, {"b", "0.000000"}})
            writeChannel(dir.file(std::string("obj") + letter + "1.CGH"), value);
        const std::string fifo = dir.file("obj1-638nm.npy"), input = dir.file("objr1.CGH");
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0666), 0);
        const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
        // Woken by a file appearing in the folder, or by the child's end of the pipe closing when it exits.
        const int created = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(created, dir.path().c_str(), IN_CREATE), 0);
        int alive[2];
        ASSERT_EQ(::pipe(alive), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            for (const int s : {SIGTERM, SIGINT, SIGHUP}) std::signal(s, SIG_DFL);
            ::setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
            std::freopen("/dev/null", "w", stderr);
            ::execl(VELMORA_HOLO, VELMORA_HOLO, "--holo-size", "256x256", "--holo-distance", "20", "--holo-quick-plan",
                    "--holo-npy", input.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto hidden = [&] {
            for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
                if (entry.path().filename().string().rfind(".obj1-", 0) == 0) return true;
            return false;
        };
        ::close(alive[1]);
        pollfd events[2] = {{created, POLLIN, 0}, {alive[0], POLLIN, 0}};
        const auto ceiling = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!hidden() && events[1].revents == 0 && std::chrono::steady_clock::now() < ceiling) {
            char drained[4096];
            if (::poll(events, 2, 1000) > 0 && (events[0].revents & POLLIN)) (void)!::read(created, drained, sizeof drained);
        }
        ::close(created), ::close(alive[0]);
        int status = 0;
        ::kill(child, signal), ::waitpid(child, &status, 0);
        ::close(reader);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 128 + signal) << signal << ": " << status;
        EXPECT_FALSE(hidden()) << signal;
        EXPECT_FALSE(std::filesystem::exists(dir.file("obj1-preview.png"))) << signal;
    }
}

#ifdef VELMORA_EXPORT  // built with the viewer
// The second view of a row, alone in its share: its phases follow the first view's points.
TEST(HoloCli, ExportedHologramOfAViewEqualsTheHologramOfTheViewsColourFile) {
    velmora::testing::TempDir dir;
    const std::string small = "--holo-size 64x48 --holo-distance 20 --holo-quick-plan --holo-npy --holo-fit 0.8 ";
    ASSERT_EQ(run(dir, small + "--size 40x30 --fit --seed 7 --views 0:1:1 --view-share 2/2 --colour '" +
                           dir.file("frame.CGH") + "' --hologram '" + dir.file("direct") +
                           "' '" VELMORA_SOURCE_DIR "/samples/sample.3ds'", VELMORA_EXPORT), 0);
    ASSERT_EQ(run(dir, small + "-o '" + dir.file("fromfile") + "' '" + dir.file("frame2.CGH") + "'"), 0);
    for (const std::string suffix : {"-638nm.npy", "-520nm.npy", "-450nm.npy", "-preview.png"}) {
        const std::string direct = fileText(dir.file("direct2" + suffix));
        EXPECT_FALSE(direct.empty()) << suffix;
        EXPECT_TRUE(direct == fileText(dir.file("fromfile" + suffix))) << suffix;
    }
}
#endif

}  // namespace

// 3 x 3 tiles (the budget's largest, 478 pixels, cover 1024 in 3), each 342 pixels, the last 340: three shares write
// the bytes one run writes, a stored picture of 342 x 342 takes 33 + 342 (12 + 343 + 5) + 18 bytes, and a second run
// keeps a complete tile and redoes a truncated one.
TEST(HoloCli, TileSharesWriteOneRunsFilesAndAResumedRunKeepsCompleteTiles) {
    velmora::testing::TempDir dir;
    writeChannel(dir.file("g.CGH"), "0.500000", 31);
    std::filesystem::create_directories(dir.file("shares"));
    const std::string tiled = "--holo-size 1024x1024 --holo-distance 20 --holo-quick-plan --holo-memory 36M '" +
                              dir.file("g.CGH") + "' -o ";
    ASSERT_EQ(run(dir, tiled + "'" + dir.file("one") + "'"), 0) << fileText(dir.file("stderr"));
    for (const char* whole : {"--holo-npy", "--holo-score"}) {  // each needs the whole field: refused, nothing written
        EXPECT_EQ(run(dir, tiled + "'" + dir.file("refused") + "' " + whole), 3) << whole;
        const std::string said = fileText(dir.file("stderr"));
        EXPECT_NE(said.find(": a tiled hologram has no .npy files and no score: each needs the whole field\n"),
                  said.npos);
        EXPECT_FALSE(std::filesystem::exists(dir.file("refused-tiles.txt")));
    }
    for (const char* share : {"2/3", "3/3"})
        ASSERT_EQ(run(dir, tiled + "'" + dir.file("shares/one") + "' --holo-tiles " + share), 0);
    // Shares 2 and 3 hold columns 1 and 2: without column 0 no whole picture is put together.
    ASSERT_EQ(run(dir, tiled + "'" + dir.file("shares/one") + "' --holo-tiles 3/3 --holo-whole-png"), 0);
    EXPECT_NE(fileText(dir.file("stderr")).find("not writing"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.file("shares/one-532nm.png")));
    ASSERT_EQ(run(dir, tiled + "'" + dir.file("shares/one") + "' --holo-tiles 1/3"), 0);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.file("shares"))) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(fileText(entry.path().string()), fileText(dir.file(name))) << name;
        ++files;
    }
    EXPECT_EQ(std::pair(files, std::size_t(std::filesystem::file_size(dir.file("one-532nm-r0-c0.png")))),
              std::pair(std::size_t{10}, std::size_t{123171}));
    const std::string manifest = fileText(dir.file("one-tiles.txt"));  // a line a tile; the last: 33 + 340 x 358 + 18
    for (const char* line : {"\ntile 342\ngrid 3 3\n532 0 0 0 0 342 342 123171 one-532nm-r0-c0.png\n",
                             "\n532 2 2 684 684 340 340 121771 one-532nm-r2-c2.png\n"})
        EXPECT_NE(manifest.find(line), std::string::npos) << manifest;
    struct stat kept {}, before {};
    ASSERT_EQ(stat(dir.file("one-532nm-r1-c1.png").c_str(), &before), 0);
    std::filesystem::resize_file(dir.file("one-532nm-r0-c0.png"), 1000);
    ASSERT_EQ(run(dir, tiled + "'" + dir.file("one") + "'"), 0);
    ASSERT_EQ(stat(dir.file("one-532nm-r1-c1.png").c_str(), &kept), 0);
    EXPECT_EQ(std::pair(kept.st_ino, kept.st_mtim.tv_nsec), std::pair(before.st_ino, before.st_mtim.tv_nsec));
    EXPECT_EQ(fileText(dir.file("one-532nm-r0-c0.png")), fileText(dir.file("shares/one-532nm-r0-c0.png")));
    EXPECT_NE(fileText(dir.file("stderr")).find("tile r1-c1 at 532 nm is complete: kept"), std::string::npos);
    EXPECT_NE(fileText(dir.file("stderr")).find("g.CGH: 2 points\n"), std::string::npos);  // what was read, first
    // Put together, the tiles make the whole picture: each tile's pixels at its offset, 342 pixels apart.
    ASSERT_EQ(run(dir, tiled + "'" + dir.file("one") + "' --holo-whole-png"), 0) << fileText(dir.file("stderr"));
    EXPECT_NE(fileText(dir.file("stderr")).find(", 2 files written, 9 tiles kept\n"), std::string::npos);
    const auto whole = velmora::testing::readPicture(dir.file("one-532nm.png"));
    ASSERT_EQ(std::pair(whole.width, whole.height), std::pair(1024, 1024));
    for (int r = 0; r < 3; ++r) for (int c = 0; c < 3; ++c) {
        const auto tile = velmora::testing::readPicture(
            dir.file("one-532nm-r" + std::to_string(r) + "-c" + std::to_string(c) + ".png"));
        const int width = c < 2 ? 342 : 1024 - 684, height = r < 2 ? 342 : 1024 - 684;
        ASSERT_EQ(std::pair(tile.width, tile.height), std::pair(width, height)) << r << "," << c;
        for (int y = 0; y < height; ++y) {
            const auto from = tile.rgb.begin() + 3 * y * width;
            const auto at = whole.rgb.begin() + 3 * ((342 * r + y) * 1024 + 342 * c);
            ASSERT_TRUE(std::equal(from, from + 3 * width, at)) << "tile " << r << "," << c << " row " << y;
        }
    }
    // A kept tile damaged in place, its size unchanged, is named, not put together: in a row, then in its header.
    for (const auto& [tile, at] : {std::pair{"one-532nm-r2-c2.png", 100}, std::pair{"one-532nm-r1-c1.png", 24}}) {
        std::fstream(dir.file(tile), std::ios::in | std::ios::out | std::ios::binary).seekp(at).put('\x7F');
        EXPECT_EQ(run(dir, tiled + "'" + dir.file("one") + "' --holo-whole-png"), 3) << tile;
        EXPECT_NE(fileText(dir.file("stderr")).find("cannot read " + dir.file(tile)), std::string::npos) << tile;
    }
}
