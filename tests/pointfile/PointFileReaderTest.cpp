// The point-file readers on files written by hand in the writers' layouts. What users rely on: colour, grey and channel
// CGH files and every PLY layout and line end give the points written; channel files merge only when their points
// agree; bad lines are refused with their number; folders, devices, huge files and FIFOs end promptly with a reason;
// sets that do not fit the memory left are refused before a point is read.

#include "pointfile/PointFileReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace velmora {
namespace {

std::string padded(const std::string& header, std::size_t width) {
    return header + std::string(width - header.size(), ' ') + "\r\n";
}

const std::string kTail =
    "Statics: Maxx=-1.250000 Minx=-1.250000 Maxy=0.500000 Miny=0.500000 Maxz=3.000000 Minz=3.000000 \r\n"
    "ViewPoint: x=0.000000  y=0.000000 z=30.000000";

TEST(CghReader, ColourGreyAndChannelFilesByTheirLinesAndPlaceholders) {
    struct Case {
        std::string text;
        PointFileKind kind;
        float red, green, blue;
    } cases[] = {
        {padded("1 2.5 0.3 0", 41) + "0 -1.250000 0.500000 3.000000 3.141686 1.000000 0.501961 0.000000\r\n" + kTail,
         PointFileKind::ColourCgh, 1.0f, 0.501961f, 0.0f},
        {padded("1 2.5 0.3 0", 42) + "0 -1.250000 0.500000 3.000000 3.141686 0.511529\r\n" + kTail,
         PointFileKind::GreyCgh, 0.511529f, 0.511529f, 0.511529f},
        {padded("1 2.5 0.3 0", 41) + "0 -1.250000 0.500000 3.000000 3.141686 0.501961\r\n" + kTail,
         PointFileKind::ChannelCgh, 0.501961f, 0.501961f, 0.501961f},
    };
    for (const Case& c : cases) {
        const auto file = parsePointFile(c.text);
        ASSERT_TRUE(file) << file.error();
        EXPECT_EQ(std::pair(file->kind, file->points.colour), std::pair(c.kind, c.kind != PointFileKind::GreyCgh));
        ASSERT_EQ(file->points.points.size(), 1u);
        const HologramPoint& p = file->points.points[0];
        EXPECT_EQ((std::vector<double>{file->points.scaleXy, file->points.scaleZ, p.x, p.y, p.z, p.phase, p.red, p.green, p.blue}),
                  (std::vector<double>{2.5f, 0.3f, -1.25, 0.5, 3.0, 3.141686, c.red, c.green, c.blue}));
    }
    const auto empty = parsePointFile(padded("0 1.0 1.0 0", 42) + kTail);
    ASSERT_TRUE(empty) << empty.error();
    EXPECT_TRUE(empty->points.points.empty());
}

TEST(CghReader, ChannelFilesMergeOnlyWhenTheirPointsAgree) {
    const auto channel = [](const char* value, const char* phase) {
        return *parsePointFile(padded("1 1.0 1.0 0", 41) + "0 1.000000 2.000000 3.000000 " + phase + " " + value +
                               "\r\n" + kTail);
    };
    const auto merged = mergeChannels(channel("0.1", "1.0"), channel("0.2", "1.0"), channel("0.3", "1.0"));
    ASSERT_TRUE(merged) << merged.error();
    EXPECT_TRUE(merged->colour);
    const HologramPoint& p = merged->points[0];
    EXPECT_EQ((std::array{p.red, p.green, p.blue}), (std::array{0.1f, 0.2f, 0.3f}));
    EXPECT_FALSE(mergeChannels(channel("0.1", "1.0"), channel("0.2", "2.0"), channel("0.3", "1.0")));
}

TEST(CghReader, RefusesBadLinesWithTheLineNumber) {
    const std::string header = padded("2 1.0 1.0 0", 41);
    const std::string good = "0 1.000000 2.000000 3.000000 1.000000 0.5 0.5 0.5\r\n";
    struct Case {
        std::string text;
        const char* says;
    } cases[] = {
        {"", "empty"}, {"x 1.0 1.0 0\r\n", "line 1"},
        {padded("2 1 1", 41) + good + good + kTail, "line 1: not"},  // three numbers, a count below 0 or not whole, too large
        {"-2 1 1 0\r\n", "line 1: not"}, {"1.5 1 1 0\r\n", "line 1: not"}, {"2 1 1 1e999\r\n", "line 1: not"},
        {header + good + "1 1.000000 2.000000 oops 1.000000 0.5 0.5 0.5\r\n" + kTail, "line 3"},
        {header + good + "1 1.0 2.0 3.0 1.0 0.5\r\n" + kTail, "line 3"},   // width changes
        {header + good + std::string(3000, '1') + "\r\n" + kTail, "line 3: not a point line"},  // longer than any
        {header + good + kTail, "header says 2"}, {header + good + good + kTail + "\r\n5", "after the viewpoint"},
        {header + good + "Statics: \r\n" + good + kTail, "after the statistics"},
        {padded("268435457 2.5 0.3 0", 42), "line 1: the point count is too large"},  // past 2^28, whatever the memory
        {padded("268435456 2.5 0.3 0", 42), " 268435456 points"},  // 2^28: as much as memory holds, then counted
    };
    for (const Case& c : cases) {
        const auto file = parsePointFile(c.text);
        ASSERT_FALSE(file) << c.says;
        EXPECT_NE(file.error().find(c.says), std::string::npos) << file.error();
    }
}

TEST(PointFileReader, FoldersDevicesHugeFilesAndFifosEndPromptly) {
    testing::TempDir dir;
    const testing::AwkwardPaths awkward(dir, ".CGH");
    for (const auto& [path, says] : {std::pair{awkward.folder, "cannot open"}, {awkward.fifo, "the file is empty"},
                                     {awkward.zero, "line 1: not a CGH header"}, {awkward.big, "line 1: not a CGH header"}}) {
        ASSERT_FALSE(path.empty()) << says;
        const auto file = readPointFile(path);
        ASSERT_FALSE(file) << path;
        EXPECT_NE(file.error().find(says), std::string::npos) << file.error();
    }
    const int keeper = testing::fillFifo(
        awkward.fifo, padded("1 2.5 0.3 0", 42) + "0 -1.250000 0.500000 3.000000 3.141686 0.511529\r\n" + kTail);
    const auto fed = readPointFile(awkward.fifo);
    ::close(keeper);
    ASSERT_TRUE(fed) << fed.error();
    ASSERT_EQ(fed->points.points.size(), 1u);
    const HologramPoint& p = fed->points.points[0];
    EXPECT_EQ((std::array<double, 5>{p.x, p.y, p.z, p.phase, p.blue}),
              (std::array<double, 5>{-1.25, 0.5, 3, 3.141686, 0.511529f}));
}

// With 1 GiB of address space left, a header's 100,000,000 points of 48 bytes (4.47 GiB) are refused
// before any is read, in both formats; 0 when all is right.
static int checkPointsThatDoNotFitAreRefused() {
    if (!testing::leaveAddressSpace(1ull << 30)) return 2;
    int wrong = 0;
    const std::string ply = "ply\nformat ascii 1.0\nelement vertex 100000000\nproperty float x\nproperty float y\n"
                            "property float z\nproperty float phase\nend_header\n";
    for (const std::string& text : {padded("100000000 2.5 0.3 0", 42), ply}) {
        const auto file = parsePointFile(text);
        wrong += file || file.error().rfind("holding 100000000 points needs 4.5 GiB, ", 0) != 0;
    }
    return wrong;
}

TEST(PointFileReaderDeathTest, PointsThatDoNotFitTheMemoryLeftAreRefusedBeforeReading) {
    static_assert(sizeof(HologramPoint) == 48);
    EXPECT_EXIT(std::_Exit(checkPointsThatDoNotFitAreRefused()), ::testing::ExitedWithCode(0), "");
}

TEST(PlyReader, EveryLayoutAndLineEndGivesTheSamePoints) {
    const std::string ascii = "ply\nformat ascii 1.0\ncomment VELMORA surface points   \nelement color 1\n"
        "property int channel\nelement vertex 2\nproperty float x\nproperty float y\nproperty float z\n"
        "property uchar red\nproperty uchar green\nproperty uchar blue\nproperty double phase\nend_header\n3\n"
        "-1.25 0.5 3 255 51 0 3.141686\n2 -4 0.25 0 0 102 0.5\n";
    std::string binary = "ply\nformat binary_little_endian 1.0\ncomment VELMORA surface points\nelement vertex 2\n"
        "property float x\nproperty float y\nproperty float z\nproperty uchar red\nproperty uchar green\n"
        "property uchar blue\nproperty float phase\nend_header\n";
    const float first[3] = {-1.25f, 0.5f, 3.0f}, second[3] = {2.0f, -4.0f, 0.25f};
    const unsigned char colours[2][3] = {{255, 51, 0}, {0, 0, 102}};
    const float phases[2] = {3.141686f, 0.5f};
    for (int i = 0; i < 2; ++i) {
        binary.append(reinterpret_cast<const char*>(i == 0 ? first : second), 12);
        binary.append(reinterpret_cast<const char*>(colours[i]), 3);
        binary.append(reinterpret_cast<const char*>(&phases[i]), 4);
    }
    std::string windows;  // the ASCII layout as written on Windows, each line ending in CR LF
    for (const char c : ascii) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {ascii, binary, windows}) {
        const auto file = parsePointFile(text);
        ASSERT_TRUE(file) << file.error();
        ASSERT_EQ(file->points.points.size(), 2u);
        const HologramPoint& a = file->points.points[0];
        const HologramPoint& b = file->points.points[1];
        EXPECT_NEAR(a.phase, 3.141686, 1e-6);  // stored as a float in the binary layout
        EXPECT_EQ((std::vector<double>{a.x, a.y, a.z, a.red, a.green, a.blue, b.x, b.y, b.z, b.phase, b.red, b.green, b.blue}),
                  (std::vector<double>{-1.25, 0.5, 3, 1, 0.2f, 0, 2, -4, 0.25, 0.5, 0, 0, 0.4f}));
    }
    // Without any one of x, y, z and phase there are no points; without colours they are white.
    for (const std::string name : {"x", "y", "z", "phase", "red"}) {
        std::string renamed = ascii;
        const std::size_t at = renamed.find(" " + name + "\n");
        renamed.replace(at + 1, name.size(), "other");
        const auto file = parsePointFile(renamed);
        EXPECT_EQ(file ? "red " + std::to_string(file->points.points[1].red) : file.error(),
                  name == "red" ? "red 1.000000" : "the vertex element lacks x, y, z or phase") << name;
    }
}

TEST(PlyReader, EveryScalarTypeIsReadAtItsSizeAndSignedness) {
    // An element before the vertices is skipped by its record size: 1+2+4+4+8+1+2+4 = 26 bytes.
    std::string text = "ply\nformat binary_little_endian 1.0\nelement extra 1\nproperty uint8 a\nproperty int16 b\n"
        "property uint32 c\nproperty float32 d\nproperty float64 e\nproperty int8 f\nproperty uint16 g\n"
        "property int32 h\nelement vertex 1\nproperty char x\nproperty short y\nproperty ushort z\n"
        "property double phase\nproperty uchar red\nproperty int green\nproperty uint blue\nend_header\n";
    text.append(26, '\x7f');
    const auto put = [&text](auto value) { text.append(reinterpret_cast<const char*>(&value), sizeof value); };
    put(std::int8_t{-3}), put(std::int16_t{-300}), put(std::uint16_t{40000}), put(0.25);
    put(std::uint8_t{51}), put(std::int32_t{102}), put(std::uint32_t{255});
    const auto file = parsePointFile(text);
    ASSERT_TRUE(file) << file.error();
    ASSERT_EQ(file->points.points.size(), 1u);
    const HologramPoint& p = file->points.points[0];
    EXPECT_EQ((std::vector<double>{p.x, p.y, p.z, p.phase, p.red, p.green, p.blue}),
              (std::vector<double>{-3, -300, 40000, 0.25, 0.2f, 0.4f, 1}));
}

TEST(PlyReader, EachBadHeaderOrBodyIsRefusedWithItsReason) {
    const std::string format = "ply\nformat ascii 1.0\n";
    const std::string vertex = "element vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
                               "property float phase\n";
    const std::pair<std::string, std::string> cases[] = {
        {format + "element vertex 2x\n", "line 3: bad element count"},
        {format + "element vertex\n", "line 3: bad element count"},
        {format + "element vertex 268435457\n", "line 3: bad element count"},  // one past 2^28
        {format + "property float x\n", "line 3: unsupported property"},       // before any element
        {format + "element vertex 1\nproperty quad x\n", "line 4: unsupported property"},
        {format + "element vertex 1\nproperty float\n", "line 4: unsupported property"},
        {"ply\nformat binary_big_endian 1.0\n", "line 2: unsupported PLY format"},
        {format + "obj_info scanned\ncomment fine\nvertices 1\n", "line 5: not a PLY header line"},
        {format + vertex, "the PLY header has no end_header"},
        {"ply\n" + vertex + "end_header\n0 0 0 0\n", "the PLY header has no format line"},
        {format + "element face 0\n" + vertex + "end_header\n0 0 0 0\n", "element face has no usable properties"},
        {format + vertex + "end_header\n0 0 0\n", "PLY data line 1 of vertex is not 4 numbers"},
        {format + vertex + "end_header\n0 0 0 0 0\n", "PLY data line 1 of vertex is not 4 numbers"},
        {"ply\nformat binary_little_endian 1.0\n" + vertex + "end_header\n" + std::string(15, '\0'),
         "the PLY data ends early"},
    };
    for (const auto& [text, reason] : cases) {
        const auto file = parsePointFile(text);
        EXPECT_EQ(file ? "read" : file.error(), reason) << text;
    }
    EXPECT_TRUE(parsePointFile(format + vertex + "end_header\n0 0 0 0\n"));
}

}  // namespace
}  // namespace velmora
