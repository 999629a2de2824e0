// What users of velmora-export rely on (the options' own parsing and refusals: CommandLineTest, mistakes.txt):
//  - a model alone prints the model and the frame; --fit moves the eye to hold the bounding sphere and prints it;
//  - each export starts the generator from one seed: every file of a frame has the same points and phases;
//  - CGH, 3di and PLY files of one frame hold the same positions and colours, scales only where the layout has them;
//  - endings are added unless present in any case; a series numbers its files from 1, one per view;
//  - an empty frame writes a file of no points; shares of a series write the bytes of one run;
//  - --help and --version print on standard output and exit 0; mistakes exit 2 with "Try ... --help";
//  - an unreadable model exits 1 and writes nothing; an output that cannot be written is refused (3) up front.
// velmora-export as its users run it. tests/cli/expected.py derived the files in tests/data/cli without running
// the program; info.txt is by hand (the back face lies beyond the crease: each corner splits, six vertices), and so
// is fit.txt: the eye at 1.05 R / sin 9 degrees, R = 1.6 sqrt 2, sees 36 pixel centres inside the triangle.

#include "cli/CommandLine.h"
#include "support/Pictures.h"
#include "support/PointFiles.h"
#include "support/ScoreLines.h"
#include "support/ThreeDsBuilder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cmath>
#include <iterator>
#include <regex>
#include <sstream>

namespace velmora::testing {
namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// velmora-export's exit status, standard output and standard error.
std::tuple<int, std::string, std::string> run(const TempDir& folder, const std::vector<std::string>& args,
                                              const std::string& env = "") {
    std::string line = "cd " + quote(folder.path().string()) + " && " + env + quote(VELMORA_EXPORT);
    for (const auto& word : args) line += " " + quote(word);
    const int raw = std::system((line + " >.out 2>.err").c_str());
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, fileText(folder.file(".out")), fileText(folder.file(".err"))};
}

// Equal but for decimals, which may differ by 1e-4: depth comes back quantised.
::testing::AssertionResult sameText(const std::string& actual, const std::string& expected) {
    static const std::regex decimal(R"(-?\d+\.\d+)");
    const auto split = [](const std::string& text, std::vector<double>& values) {  // the text with "#" for each decimal
        for (std::sregex_iterator i(text.begin(), text.end(), decimal), end; i != end; ++i)
            values.push_back(std::stod(i->str()));
        return std::regex_replace(text, decimal, "#");
    };
    std::vector<double> a, e;
    bool same = split(actual, a) == split(expected, e) && a.size() == e.size();
    for (std::size_t i = 0; same && i < a.size(); ++i) same = std::fabs(a[i] - e[i]) <= 1e-4;
    if (same) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\n--- got:\n" << actual << "\n--- expected:\n" << expected;
}

// Header lines but comments, then "index x y z phase r g b" a point; an empty 3di record is left out.
std::string dump(const PointFile& f) {
    std::string s;
    for (const auto& line : f.lines) if (line.rfind("comment", 0) != 0) s += line + "\n";
    for (std::size_t i = 0; i < f.points.size(); ++i) {
        const Point& p = f.points[i];
        if (p.x == 0 && p.y == 0 && p.z == 0 && p.phase == 0) continue;
        s += std::to_string(i);
        for (double v : {p.x, p.y, p.z, p.phase, p.r, p.g, p.b}) s += " " + std::to_string(v);  // "%f"
        s += "\n";
    }
    return s;
}

struct Row {
    std::string name;
    std::vector<std::string> args;
    int status = 0;
    std::string out, err, unknown, env;  // unknown: lines of the table that are none of its kinds
    std::vector<std::pair<std::string, std::string>> files;  // a file and its expected file; "": not written
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const std::string kSize = "--size=16x13", kSeed = "--seed=7";

std::string textOf(const std::string& value) {
    if (value == "@usage") return commandLineUsage();
    if (value == "@version") return "velmora-export " VELMORA_VERSION "\n";
    return value.rfind('@', 0) == 0 ? dataText("cli/" + value.substr(1)) : value + "\n";
}

// The runs of tests/data/cli/runs.txt, whose head says how they are written.
std::vector<Row> table() {
    std::vector<Row> rows;
    for (const auto& [name, body] : dataSections("cli/runs.txt")) {
        Row& row = rows.emplace_back(Row{name, {}, 0, "", "", "", "", {}});
        std::istringstream lines(body);
        for (std::string kind, value; lines >> kind && std::getline(lines >> std::ws, value);) {
            std::istringstream words(value);
            const std::vector<std::string> split{std::istream_iterator<std::string>(words), {}};
            if (kind == "args") row.args = split;
            else if (kind == "env") row.env += value + " ";
            else if (kind == "status") row.status = std::stoi(value);
            else if (kind == "out" || kind == "err") (kind == "out" ? row.out : row.err) += textOf(value);
            else if (kind == "file" || kind == "absent") row.files.push_back({split.at(0), kind == "file" ? split.at(1) : ""});
            else if (kind != "#") row.unknown += kind + " " + value + "\n";
        }
    }
    return rows;
}

// The triangle (-1.6,-1.6) (1.6,-1.6) (-1.6,1.6) on z = 0, facing the eye, stored as (-x, z, y) with a face's
// last two corners exchanged. The lit white saturates: its one texel (255, 128, 64) is the colour seen.
void writeModels(const TempDir& dir) {
    std::vector<Chunk> white{materialName("white"), textureMap("white.tga")};
    for (std::uint16_t block : {0xA010, 0xA020, 0xA030}) white.push_back(colourBlock(block, {colourFloat(1, 1, 1)}));
    ASSERT_TRUE(writeFile(dir.file("white.tga"), Bytes{0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0, 64, 128, 255}));
    const auto tri = object("tri", {mesh({vertexList({{1.6f, 0, -1.6f}, {-1.6f, 0, -1.6f}, {1.6f, 0, 1.6f}}),
                                          faceList({{0, 2, 1}}, {faceGroup("white", {0})})})});
    ASSERT_TRUE(writeFile(dir.file("tri.3ds"), model({material(white), tri})));
    for (const char* name : {"tri.obj", "tri.mtl"}) ASSERT_TRUE(writeFile(dir.file(name), dataText(std::string("cli/") + name)));
}

// A written file as the table states it: CGH files as they are, 3di and PLY files through their readers.
std::string readWritten(const std::string& path) {
    std::string ending = std::filesystem::path(path).extension().string();
    for (char& c : ending) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ending == ".3di") return dump(readThreeDi(path));
    return ending == ".ply" ? dump(readPly(path)) : fileText(path);
}

class ExportCli : public ::testing::TestWithParam<Row> {};

TEST_P(ExportCli, StatusOutputAndFiles) {
    const Row& row = GetParam();
    TempDir dir;
    writeModels(dir);
    const auto [status, out, err] = run(dir, row.args, row.env);
    EXPECT_EQ(std::pair(status, row.unknown), std::pair(row.status, std::string()));
    EXPECT_TRUE(sameText(out, row.out)) << "standard output";
    EXPECT_EQ(err, row.err);
    for (const auto& [name, expected] : row.files) {
        if (expected.empty()) EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
        else EXPECT_TRUE(sameText(readWritten(dir.file(name)), dataText("cli/" + expected))) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, ExportCli, ::testing::ValuesIn(table()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

TEST(ExportCliSeed, TwoRunsWithoutASeedDrawDifferentPhases) {
    TempDir dir;
    writeModels(dir);
    for (const char* name : {"a", "b"}) ASSERT_EQ(std::get<0>(run(dir, {kSize, "--colour", name, "tri.3ds"})), 0);
    EXPECT_NE(fileText(dir.file("a.CGH")), fileText(dir.file("b.CGH")));  // only the phases can differ
}

// The saved frame is what is sampled: the triangle's ten points in the texel's colour, in rows of 1, 2, 3 and 4
// from the top, on black. The hologram's score counts each of them once in every channel.
TEST(ExportCliOutputs, TheSavedFrameShowsThePointsAndTheScoreCountsEachOnce) {
    TempDir dir;
    writeModels(dir);
    const auto [status, out, err] = run(dir, {kSize, kSeed, "--png", "f.png", "--hologram", "h", "--holo-size=64x48",
                                              "--holo-quick-plan", "--holo-score", "tri.3ds"});
    ASSERT_EQ(status, 0) << err;
    EXPECT_NE(out.find("wrote f.png (16x13)\n"), std::string::npos) << out;
    EXPECT_EQ(scoredPoints(out), "blue 450: 10, green 520: 10, red 638: 10");
    const Picture frame = readPicture(dir.file("f.png"));
    ASSERT_TRUE(frame.width == 16 && frame.height == 13 && frame.rgb.size() == 16u * 13 * 3) << frame.width;
    std::vector<int> lit;  // texel-coloured pixels per row with any, top first; nothing but those and black
    for (int y = 0; y < 13; ++y) {
        int row = 0;
        for (const auto* p = frame.rgb.data() + 3 * 16 * y; p < frame.rgb.data() + 3 * 16 * (y + 1); p += 3) {
            row += p[0] == 255 && p[1] == 128 && p[2] == 64;
            EXPECT_TRUE(p[0] + p[1] + p[2] == 0 || p[0] + p[1] + p[2] == 255 + 128 + 64) << y;
        }
        if (row) lit.push_back(row);
    }
    EXPECT_EQ(lit, (std::vector<int>{1, 2, 3, 4}));
}

// Five views in three shares of 1, 2 and 2 views, the outer ones seeing the triangle at a slant and so fewer points:
// the later shares start the phases where one run is at their first view, so together they write the bytes of one run.
TEST(ExportCliShares, ThreeSharesWriteTheFilesOfOneRun) {
    TempDir whole, shares;
    writeModels(whole), writeModels(shares);
    const std::vector<std::string> args{kSize, kSeed, "--views=-40:40:20", "--channels=c", "--ply=p", "tri.3ds"};
    ASSERT_EQ(std::get<0>(run(whole, args)), 0);
    for (const std::string share : {"1/3", "2/3", "3/3"}) {
        std::vector<std::string> part = args;
        part.push_back("--view-share=" + share);
        ASSERT_EQ(std::get<0>(run(shares, part)), 0) << share;
    }
    for (const std::string view : {"1", "2", "3", "4", "5"})
        for (const std::string& name : {"cr" + view + ".CGH", "cg" + view + ".CGH", "cb" + view + ".CGH", "p" + view + ".ply"}) {
            const std::string written = fileText(whole.file(name));
            EXPECT_FALSE(written.empty()) << name;
            EXPECT_TRUE(written == fileText(shares.file(name))) << name;
        }
}

}  // namespace
}  // namespace velmora::testing
