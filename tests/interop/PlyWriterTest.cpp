// PLY point files read back independently: the ASCII layout by a parser that
// follows OpenHolo's header rules, the binary one by Open3D and by hand, both
// against the colour CGH file of the same frame and seed.

#include "export/PlyWriter.h"

#include "export/ExportTestSupport.h"
#include "export/PointValues.h"
#include "interop/InteropSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace velmora {
namespace {

using testing::cghPoints;
using testing::readAll;

struct PlyProperty {
    std::string type, name;
};
struct PlyElement {
    std::string name;
    unsigned long long size = 0;
    std::vector<PlyProperty> properties;
};
struct PlyFile {
    std::string format;
    std::vector<PlyElement> elements;
    std::string body;  // everything after end_header's line

    // The header as read, one "element name count" or "property type name" a line.
    std::vector<std::string> declarations() const {
        std::vector<std::string> out{"format " + format};
        for (const PlyElement& e : elements) {
            out.push_back("element " + e.name + " " + std::to_string(e.size));
            for (const PlyProperty& p : e.properties) out.push_back("property " + p.type + " " + p.name);
        }
        return out;
    }
};

// Header lines are split at white space; "element" takes a name and a count,
// "property" a type and a name; "comment" lines are skipped.
PlyFile parseHeader(const std::string& bytes) {
    PlyFile ply;
    std::size_t at = 0;
    bool first = true;
    for (;;) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) {
            ADD_FAILURE() << "no end_header";
            return ply;
        }
        std::istringstream line(bytes.substr(at, end - at));
        at = end + 1;
        std::string token;
        line >> token;
        if (first) {
            EXPECT_EQ(token, "ply");
            first = false;
        } else if (token == "format") {
            std::string version;
            line >> ply.format >> version;
            EXPECT_EQ(version, "1.0");
        } else if (token == "element") {
            PlyElement element;
            line >> element.name >> element.size;
            EXPECT_TRUE(line) << "element line";
            ply.elements.push_back(element);
        } else if (token == "property") {
            PlyProperty property;
            line >> property.type >> property.name;
            EXPECT_FALSE(ply.elements.empty());
            if (!ply.elements.empty()) ply.elements.back().properties.push_back(property);
        } else if (token == "end_header") {
            ply.body = bytes.substr(at);
            return ply;
        } else {
            EXPECT_EQ(token, "comment");
        }
    }
}

// A 12 × 3 frame (12 sampled columns) with identity matrices: pixel (c, r)
// unprojects to (2 (c + 0.5) / 12 - 1, 2 (r + 0.5) / 3 - 1, 2 d - 1).
testing::FrameBuilder sampleFrame() {
    testing::FrameBuilder b(12, 3);
    b.set(0, 0, 255, 128, 0, 0.75f);   // x -(1/12 - 1), y -2/3, z 0.5
    b.set(5, 1, 1, 2, 3, 0.25f);       // x -(11/12 - 1), y 0, z -0.5
    b.set(11, 2, 10, 20, 30, 1.0f);    // x -(23/12 - 1), y 2/3, z 1
    b.set(3, 2, 7, 7, 7, 0.5f);        // x -(7/12 - 1), y 2/3, z 0
    return b;
}

// Points of sampleFrame in pixel order: x (inverted), y, z, r, g, b.
struct Expected {
    double x, y, z;
    int r, g, b;
};
const Expected kExpected[] = {
    {1.0 - 1.0 / 12.0, -2.0 / 3.0, 0.5, 255, 128, 0},
    {1.0 / 12.0, 0.0, -0.5, 1, 2, 3},
    {1.0 - 7.0 / 12.0, 2.0 / 3.0, 0.0, 7, 7, 7},
    {1.0 - 23.0 / 12.0, 2.0 / 3.0, 1.0, 10, 20, 30},
};

TEST(PlyWriter, AsciiLayoutIsWhatOpenHoloReadsWithTheCghFilesPointsAndPhases) {
    testing::TempDir dir;
    const SampledFrame frame = sampleFrame().frame();
    OutputScales scales;
    RandomGenerator random;
    random.seed(4242);
    ASSERT_TRUE(writeColourCgh(frame, dir.file("f.CGH"), scales, random, {}).ok);
    random.seed(4242);
    const WriteResult result = writePly(frame, dir.file("f.ply"), random, PlyLayout::Ascii);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.summary.pointCount, 4);
    EXPECT_EQ(result.paths, std::vector<std::string>{dir.file("f.ply")});

    const std::string bytes = readAll(dir.file("f.ply"));
    EXPECT_EQ(bytes.rfind("ply\nformat ascii 1.0\n", 0), 0u);
    EXPECT_EQ(bytes.find('\r'), std::string::npos);
    const PlyFile ply = parseHeader(bytes);
    // The vertex count has fewer digits than the frame's 36 pixels allow.
    EXPECT_EQ(ply.declarations(),
              (std::vector<std::string>{"format ascii", "element color 1", "property int channel", "element vertex 4",
                                        "property float x", "property float y", "property float z",
                                        "property uchar red", "property uchar green", "property uchar blue",
                                        "property double phase"}));

    // Data: one line per element entry, values read as OpenHolo reads them.
    std::istringstream body(ply.body);
    std::string line;
    ASSERT_TRUE(std::getline(body, line));
    EXPECT_EQ(std::stoi(line), 3);
    const auto cgh = cghPoints(dir.file("f.CGH"));
    ASSERT_EQ(cgh.size(), 4u);
    RandomGenerator draws;
    draws.seed(4242);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(std::getline(body, line));
        std::istringstream fields(line);
        std::string v[7];
        for (auto& field : v) fields >> field;
        EXPECT_TRUE(fields) << line;
        const Expected& e = kExpected[i];
        // Single precision round-trips exactly.
        EXPECT_EQ((std::array<float, 3>{std::stof(v[0]), std::stof(v[1]), std::stof(v[2])}),
                  (std::array<float, 3>{float(e.x), float(e.y), float(e.z)})) << line;
        EXPECT_EQ((std::array<int, 3>{std::stoi(v[3]), std::stoi(v[4]), std::stoi(v[5])}),
                  (std::array<int, 3>{e.r, e.g, e.b})) << line;
        EXPECT_EQ(std::stod(v[6]), phaseOfDraw(draws.next()));
        // The CGH file of the same frame and seed: same point, same phase.
        EXPECT_NEAR(std::stod(v[0]), cgh[i].x, 5e-7);
        EXPECT_NEAR(std::stod(v[1]), cgh[i].y, 5e-7);
        EXPECT_NEAR(std::stod(v[2]), cgh[i].z, 5e-7);
        EXPECT_NEAR(std::stod(v[6]), cgh[i].phase, 5e-7);
        EXPECT_EQ(std::lround(cgh[i].r * 255), e.r);
    }
    EXPECT_FALSE(std::getline(body, line));
    EXPECT_EQ(random.state(), draws.state());  // one draw a point, as the CGH writer
}

TEST(PlyWriter, EmptyFrameGivesACountOfZeroAndNoVertexLines) {
    testing::TempDir dir;
    RandomGenerator random;
    const std::uint32_t before = random.state();
    for (PlyLayout layout : {PlyLayout::Ascii, PlyLayout::Binary}) {
        ASSERT_TRUE(writePly(testing::FrameBuilder(40, 30).frame(), dir.file("e.ply"), random, layout).ok);
        const std::string bytes = readAll(dir.file("e.ply"));
        const PlyFile ply = parseHeader(bytes);
        ASSERT_FALSE(ply.elements.empty());
        EXPECT_EQ(ply.elements.back().size, 0u);
        EXPECT_EQ(ply.body, layout == PlyLayout::Ascii ? "3\n" : "");
    }
    EXPECT_EQ(random.state(), before);
}

TEST(PlyWriter, BinaryLayoutReadByOpen3dMatchesTheCghFile) {
    testing::TempDir dir;
    const SampledFrame frame = sampleFrame().frame();
    OutputScales scales;
    RandomGenerator random;
    random.seed(99);
    ASSERT_TRUE(writeColourCgh(frame, dir.file("f.CGH"), scales, random, {}).ok);
    random.seed(99);
    ASSERT_TRUE(writePly(frame, dir.file("f.ply"), random, PlyLayout::Binary).ok);

    // The records by hand: 19 bytes each, little-endian.
    const std::string bytes = readAll(dir.file("f.ply"));
    const PlyFile ply = parseHeader(bytes);
    EXPECT_EQ(ply.declarations(),
              (std::vector<std::string>{"format binary_little_endian", "element vertex 4", "property float x",
                                        "property float y", "property float z", "property uchar red",
                                        "property uchar green", "property uchar blue", "property float phase"}));
    ASSERT_EQ(ply.body.size(), 4u * 19u);
    const auto cgh = cghPoints(dir.file("f.CGH"));
    RandomGenerator draws;
    draws.seed(99);
    for (int i = 0; i < 4; ++i) {
        float xyz[3], phase;
        std::memcpy(xyz, ply.body.data() + i * 19, 12);
        std::memcpy(&phase, ply.body.data() + i * 19 + 15, 4);
        EXPECT_EQ(xyz[0], static_cast<float>(kExpected[i].x));
        EXPECT_EQ(xyz[2], static_cast<float>(kExpected[i].z));
        EXPECT_EQ(static_cast<std::uint8_t>(ply.body[i * 19 + 13]), kExpected[i].g);
        EXPECT_EQ(phase, static_cast<float>(phaseOfDraw(draws.next())));
        EXPECT_NEAR(phase, cgh[i].phase, 5e-7);
    }

    const auto out = testing::runPython(
        "import open3d as o3d\n"
        "pc = o3d.io.read_point_cloud('" + dir.file("f.ply") + "')\n"
        "print(len(pc.points))\n"
        "for p, c in zip(pc.points, pc.colors):\n"
        "    print(repr(p[0]), repr(p[1]), repr(p[2]), round(c[0] * 255), round(c[1] * 255), round(c[2] * 255))\n",
        dir.file("read.py"));
    if (!out) GTEST_SKIP() << "python3-open3d is not available";
    std::istringstream in(*out);
    std::size_t count = 0;
    in >> count;
    ASSERT_EQ(count, cgh.size());
    for (std::size_t i = 0; i < count; ++i) {
        double x, y, z;
        int r, g, b;
        in >> x >> y >> z >> r >> g >> b;
        ASSERT_TRUE(in);
        EXPECT_EQ(x, static_cast<float>(kExpected[i].x));
        EXPECT_EQ(y, static_cast<float>(kExpected[i].y));
        EXPECT_EQ(z, static_cast<float>(kExpected[i].z));
        EXPECT_NEAR(x, cgh[i].x, 5e-7);
        EXPECT_NEAR(y, cgh[i].y, 5e-7);
        EXPECT_NEAR(z, cgh[i].z, 5e-7);
        EXPECT_EQ((std::array<long, 3>{r, g, b}),
                  (std::array<long, 3>{std::lround(cgh[i].r * 255), std::lround(cgh[i].g * 255),
                                       std::lround(cgh[i].b * 255)}));
    }
}

TEST(PlyWriter, AFileThatCannotBeCreatedLeavesNothingAndSaysSo) {
    testing::TempDir dir;
    RandomGenerator random;
    ::testing::internal::CaptureStderr();
    const WriteResult result =
        writePly(sampleFrame().frame(), dir.file("missing/f.ply"), random, PlyLayout::Ascii);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cant open file\n");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.openFailed);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace velmora
