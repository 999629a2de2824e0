// velmora-export end to end: the real program on real files, its outputs
// checked against each other and against hand-computed expectations.

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using velmora::testing::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Outcome runExporter(const std::vector<std::string>& args, const std::string& workDir = "") {
    TempDir capture;
    std::string command;
    if (!workDir.empty()) command = "cd " + quote(workDir) + " && ";
    command += quote(VELMORA_EXPORT);
    for (const auto& a : args) command += " " + quote(a);
    command += " >" + quote(capture.file("out")) + " 2>" + quote(capture.file("err"));
    Outcome r;
    const int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(capture.file("out"));
    r.err = readFile(capture.file("err"));
    return r;
}

// The numbers of a CGH file: header count, point lines, statistics bounds.
struct CghFile {
    int headerCount = -1;
    std::vector<std::vector<double>> points;
    std::vector<double> statistics;  // maxX minX maxY minY maxZ minZ
    std::string viewpointLine;
};

CghFile parseCgh(const std::string& text) {
    CghFile f;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
        lines.push_back(text.substr(start, at - start));
    f.viewpointLine = text.substr(start);
    if (lines.size() < 2) return f;
    f.headerCount = std::atoi(lines.front().c_str());
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        std::istringstream in(lines[i]);
        std::vector<double> values;
        double v;
        while (in >> v) values.push_back(v);
        f.points.push_back(values);
    }
    const std::regex stat(R"(Statics: Maxx=(\S+) Minx=(\S+) Maxy=(\S+) Miny=(\S+) Maxz=(\S+) Minz=(\S+) )");
    std::smatch m;
    if (std::regex_match(lines.back(), m, stat))
        for (int i = 1; i <= 6; ++i) f.statistics.push_back(std::stod(m[i]));
    return f;
}

struct Info {
    int framePoints = -1;
    std::vector<double> bounds;  // maxX minX maxY minY maxZ minZ
    std::size_t fileFaces = 0;
};

Info parseInfo(const std::string& out) {
    Info info;
    std::smatch m;
    if (std::regex_search(out, m, std::regex(R"(frame: (\d+) points)"))) info.framePoints = std::stoi(m[1]);
    for (const char* label : {"Max_X", "Min_X", "Max_Y", "Min_Y", "Max_Z", "Min_Z"}) {
        if (std::regex_search(out, m, std::regex(std::string("Object_") + label + R"(: (\S+))")))
            info.bounds.push_back(std::stod(m[1]));
    }
    if (std::regex_search(out, m, std::regex(R"(file: \d+ vertices, (\d+) faces)"))) info.fileFaces = std::stoul(m[1]);
    return info;
}

std::string glmark2(const char* name) { return std::string("/usr/share/glmark2/models/") + name; }

}  // namespace

TEST(ExportCli, HelpAndUsageErrors) {
    Outcome r = runExporter({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: velmora-export", 0), 0u);
    r = runExporter({"--bogus", "x.3ds"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("unknown option --bogus"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty());
}

TEST(ExportCli, AModelThatCannotBeReadExitsWithItsMessages) {
    TempDir dir;
    const std::string missing = dir.file("missing.3ds");
    Outcome r = runExporter({"--colour", dir.file("out.cgh"), missing});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Error: Failed to open " + missing), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Failed to Decode 3D Studio MAX file!: " + missing), std::string::npos) << r.err;
    EXPECT_TRUE(readFile(dir.file("out.cgh")).empty());  // nothing written

    r = runExporter({"/usr/share/assimp/models/invalid/empty.3ds"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("Not in 3DS format.\n"), std::string::npos) << r.out;
}

// Real models no one here wrote: the point count and bounds agree between
// --info, the colour file and the 3di file of the same frame.
TEST(ExportCli, InfoColourAnd3diAgreeOnRealModels) {
    for (const char* model : {"horse.3ds", "cat.3ds"}) {
        SCOPED_TRACE(model);
        TempDir dir;
        const Outcome info = runExporter({"--info", "--size", "320x240", glmark2(model)});
        ASSERT_EQ(info.status, 0) << info.err;
        const Info parsed = parseInfo(info.out);
        ASSERT_GT(parsed.framePoints, 100);
        ASSERT_EQ(parsed.bounds.size(), 6u);

        const Outcome exported = runExporter({"--size", "320x240", "--seed", "3", "--colour", dir.file("m.cgh"),
                                          "--3di", dir.file("m"), glmark2(model)});
        ASSERT_EQ(exported.status, 0) << exported.err;
        const CghFile cgh = parseCgh(readFile(dir.file("m.cgh")));
        EXPECT_EQ(cgh.headerCount, parsed.framePoints);
        EXPECT_EQ(static_cast<int>(cgh.points.size()), parsed.framePoints);
        ASSERT_EQ(cgh.statistics.size(), 6u);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(cgh.statistics[i], parsed.bounds[i]) << i;
        EXPECT_EQ(cgh.viewpointLine, "ViewPoint: x=0.000000  y=0.000000 z=30.000000");

        // 3di: rows 240, columns 320, one record per pixel; as many non-empty
        // records as points, at the same positions (x inverted, scales 1).
        const std::string grid = readFile(dir.file("m.3di"));
        ASSERT_EQ(grid.size(), 8u + 28u * 320u * 240u);
        std::int32_t rows = 0, columns = 0;
        std::memcpy(&rows, grid.data(), 4);
        std::memcpy(&columns, grid.data() + 4, 4);
        EXPECT_EQ(rows, 240);
        EXPECT_EQ(columns, 320);
        std::size_t next = 0;
        int filled = 0;
        for (std::size_t r = 0; r < 320u * 240u; ++r) {
            double xyz[3];
            float grey;
            std::memcpy(xyz, grid.data() + 8 + 28 * r, 24);
            std::memcpy(&grey, grid.data() + 8 + 28 * r + 24, 4);
            if (grey == 0.0f) continue;
            ++filled;
            ASSERT_LT(next, cgh.points.size());
            const auto& p = cgh.points[next++];
            // The text has six decimals; the grid holds the doubles.
            EXPECT_NEAR(p[1], xyz[0], 5e-7);
            EXPECT_NEAR(p[2], xyz[1], 5e-7);
            EXPECT_NEAR(p[3], xyz[2], 5e-7);
        }
        EXPECT_EQ(filled, parsed.framePoints);
    }
}

TEST(ExportCli, ASeedMakesThePhasesReproducible) {
    TempDir dir;
    const std::string model = glmark2("cube.3ds");
    ASSERT_EQ(runExporter({"--size", "64x64", "--seed", "11", "--colour", dir.file("a.cgh"), model}).status, 0);
    ASSERT_EQ(runExporter({"--size", "64x64", "--seed", "11", "--colour", dir.file("b.cgh"), model}).status, 0);
    ASSERT_EQ(runExporter({"--size", "64x64", "--seed", "12", "--colour", dir.file("c.cgh"), model}).status, 0);
    const std::string a = readFile(dir.file("a.cgh"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, readFile(dir.file("b.cgh")));
    const CghFile ca = parseCgh(a), cc = parseCgh(readFile(dir.file("c.cgh")));
    ASSERT_EQ(ca.points.size(), cc.points.size());
    ASSERT_FALSE(ca.points.empty());
    bool phaseDiffers = false;
    for (std::size_t i = 0; i < ca.points.size(); ++i) {
        for (int k : {0, 1, 2, 3, 5, 6, 7}) ASSERT_EQ(ca.points[i][k], cc.points[i][k]);
        phaseDiffers |= ca.points[i][4] != cc.points[i][4];
        EXPECT_GE(ca.points[i][4], 0.0);
        EXPECT_LT(ca.points[i][4], 6.28318);
    }
    EXPECT_TRUE(phaseDiffers);
}

TEST(ExportCli, AViewSeriesIsNumberedAndMovesTheViewpoint) {
    TempDir dir;
    const Outcome r = runExporter({"--size", "64x48", "--views", "-1:1:0.5", "--viewpoint", "0,1,30", "--grey",
                               dir.file("row"), glmark2("cube.3ds")});
    ASSERT_EQ(r.status, 0) << r.err;
    const char* xs[] = {"-1.000000", "-0.500000", "0.000000", "0.500000", "1.000000"};
    for (int i = 0; i < 5; ++i) {
        const std::string text = readFile(dir.file("row" + std::to_string(i + 1) + ".CGH"));
        ASSERT_FALSE(text.empty()) << i;
        EXPECT_EQ(parseCgh(text).viewpointLine,
                  std::string("ViewPoint: x=") + xs[i] + "  y=1.000000 z=30.000000");
        EXPECT_NE(r.err.find("view " + std::to_string(i + 1) + " of 5"), std::string::npos) << r.err;
    }
    EXPECT_TRUE(readFile(dir.file("row6.CGH")).empty());
}

TEST(ExportCli, AFileThatCannotBeCreatedFailsWithoutClaimingSuccess) {
    TempDir dir;
    const std::string target = dir.file("no-such-folder/out.cgh");
    const Outcome r = runExporter({"--verbose", "--size", "64x64", "--colour", target, glmark2("cube.3ds")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Cant open file\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Error: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("导出完成!"), std::string::npos) << r.err;
}

TEST(ExportCli, TheBundledSampleExportsWithItsTextures) {
    const Outcome r = runExporter({"--info", "sample.3ds"}, std::string(VELMORA_SOURCE_DIR) + "/samples");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("texture \"checker.tga\" loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("texture \"gradient.jpg\" loaded"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("[0] \"QK_DEFAULT\""), std::string::npos);
    // The generator's sizes: 8 + 8 + 5 + 288 vertices, 12 + 12 + 6 + 576 faces.
    EXPECT_NE(r.out.find("file: 309 vertices, 606 faces"), std::string::npos) << r.out;
    EXPECT_GT(parseInfo(r.out).framePoints, 1000);
    EXPECT_EQ(r.out.find("eye:"), std::string::npos);
}

// --fit places the eye by the model alone: the distance it starts from does
// not matter, only its direction.
TEST(ExportCli, FitPrintsTheEyeItChose) {
    const std::string model = glmark2("horse.3ds");
    const Outcome near = runExporter({"--info", "--fit", "--size", "64x48", model});
    const Outcome far = runExporter({"--info", "--fit", "--eye", "0,0,300", "--size", "64x48", model});
    ASSERT_EQ(near.status, 0) << near.err;
    const auto eye = near.out.find("\neye: 0,0,");
    ASSERT_NE(eye, std::string::npos) << near.out;
    EXPECT_EQ(far.out.substr(far.out.find("\neye: ")), near.out.substr(eye));
    EXPECT_GT(parseInfo(near.out).framePoints, 64 * 48 / 20);  // the default eye covers 0.3 %
}

// One view into three files: in one command each channel file holds the
// colour file's points with that channel's fraction, and the same phases;
// with a seed, a file does not depend on the other exports asked for.
TEST(ExportCli, ChannelFilesSplitTheColourFile) {
    TempDir dir;
    const std::string model = glmark2("cube.3ds");
    const Outcome r = runExporter(
        {"--size", "96x64", "--seed", "5", "--colour", dir.file("all.cgh"), "--channels", dir.file("one"), model});
    ASSERT_EQ(r.status, 0) << r.err;
    const Outcome alone = runExporter({"--verbose", "--size", "96x64", "--seed", "5", "--grey", dir.file("g"),
                                       "--channels", dir.file("two"), model});
    EXPECT_NE(alone.err.find("seed: 5\n"), std::string::npos) << alone.err;
    EXPECT_EQ(readFile(dir.file("twob.CGH")), readFile(dir.file("oneb.CGH")));
    const CghFile all = parseCgh(readFile(dir.file("all.cgh")));
    ASSERT_FALSE(all.points.empty());
    const char letters[] = {'r', 'g', 'b'};
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(letters[c]);
        const CghFile channel = parseCgh(readFile(dir.file(std::string("one") + letters[c] + ".CGH")));
        ASSERT_EQ(channel.points.size(), all.points.size());
        EXPECT_EQ(channel.headerCount, all.headerCount);
        EXPECT_EQ(channel.statistics, all.statistics);
        for (std::size_t i = 0; i < all.points.size(); ++i) {
            ASSERT_EQ(channel.points[i].size(), 6u);
            for (int k = 0; k < 5; ++k) ASSERT_EQ(channel.points[i][k], all.points[i][k]);
            ASSERT_EQ(channel.points[i][5], all.points[i][5 + c]);
        }
    }
}

// The PLY outputs hold the colour file's points: same count, positions and
// phases (the same seed draws the same phases), and other formats load too.
TEST(ExportCli, PlyOutputsAndOtherModelFormats) {
    TempDir dir;
    const std::string model = glmark2("cube.3ds");
    ASSERT_EQ(runExporter({"--size", "96x64", "--seed", "9", "--colour", dir.file("c.cgh"), model}).status, 0);
    const Outcome r = runExporter({"--size", "96x64", "--seed", "9", "--ply-ascii", dir.file("p"), model});
    ASSERT_EQ(r.status, 0) << r.err;
    const CghFile cgh = parseCgh(readFile(dir.file("c.cgh")));
    const std::string ply = readFile(dir.file("p.ply"));
    const auto body = ply.find("end_header\n");
    ASSERT_NE(body, std::string::npos);
    EXPECT_NE(ply.find("element vertex " + std::to_string(cgh.points.size()) + "\n"), std::string::npos);
    std::istringstream in(ply.substr(body + 11));
    int channels = 0;
    in >> channels;
    EXPECT_EQ(channels, 3);
    for (const auto& p : cgh.points) {
        double x, y, z, phase;
        int red, green, blue;
        ASSERT_TRUE(in >> x >> y >> z >> red >> green >> blue >> phase);
        EXPECT_NEAR(x, p[1], 5e-7 + 1e-6 * std::fabs(p[1]));
        EXPECT_NEAR(y, p[2], 5e-7 + 1e-6 * std::fabs(p[2]));
        EXPECT_NEAR(z, p[3], 5e-7 + 1e-6 * std::fabs(p[3]));
        EXPECT_NEAR(phase, p[4], 5e-7);
        EXPECT_NEAR(red / 255.0, p[5], 5e-7);
    }

    const Outcome obj = runExporter({"--info", "--size", "64x64", "/usr/share/assimp/models/OBJ/spider.obj"});
    EXPECT_EQ(obj.status, 0) << obj.err;
    EXPECT_GT(parseInfo(obj.out).framePoints, 0);
}
