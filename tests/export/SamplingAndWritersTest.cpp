// The sampling pass over hand-made buffers; then the writers' rules the velmora-export table cannot reach.
// Relied on: pixels bottom row first, x inverted, nothing at or below z = -50; every layout reads back as the
// frame's points; a failed write prints its message and leaves what was there; long lines never overrun.

#include "export/SurfaceSampler.h"
#include "export/ThreeDiWriter.h"
#include "pointfile/CghWriter.h"
#include "pointfile/FramePoints.h"
#include "pointfile/PointFileReader.h"
#include "pointfile/PlyWriter.h"
#include "pointfile/PointValues.h"
#include "model/GlErrorReporter.h"
#include "platform/RecordingPrompt.h"
#include "support/GlTestContext.h"
#include "support/PointFiles.h"

#include <GL/gl.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>

namespace velmora::testing {
namespace {

// With identity matrices a pixel unprojects through the viewport alone:
// x = 2 (column + 0.5 - vx) / vw - 1, y likewise, z = 2 depth - 1.
constexpr std::array<double, 16> kIdentity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
struct FrameBuilder {
    int width, height;
    std::array<int, 4> viewport{0, 0, width, height};
    std::array<double, 16> modelview = kIdentity;
    std::vector<float> depth = std::vector<float>(std::size_t(width / 4 * 4 * height));
    std::vector<std::uint8_t> colour = std::vector<std::uint8_t>(depth.size() * 3);

    void set(int column, int row, std::uint8_t r, std::uint8_t g, std::uint8_t b, float d) {
        const std::size_t i = std::size_t(row * (width / 4 * 4) + column);
        depth[i] = d, colour[i * 3] = r, colour[i * 3 + 1] = g, colour[i * 3 + 2] = b;
    }
    SampledFrame frame() const { return SurfaceSampler::frameOf(ClientRect::ofSize(width, height), depth, colour, {modelview, kIdentity, viewport}); }
};

TEST(SampledFrameTest, BottomRowFirstEveryPixelOnceAndTheCutoffExclusive) {
    FrameBuilder b{8, 3};  // x = (c + 0.5) / 4 - 1, y = 2 (r + 0.5) / 3 - 1, z = 2 d - 1
    b.set(5, 2, 1, 0, 0, 0.5f), b.set(2, 0, 0, 1, 0, 0.5f);
    b.set(7, 0, 0, 0, 1, 0.5f);      // blue alone is enough
    b.set(3, 1, 0, 0, 0, 0.75f);     // black with depth: background
    b.set(0, 1, 9, 9, 9, -24.5f), b.set(1, 1, 9, 9, 9, -24.495f);  // z = -50 exactly: dropped; -49.99: kept
    std::vector<SurfacePoint> points;
    std::vector<std::pair<int, int>> empties;
    const SampleSummary summary = b.frame().walk(
        [&](const SurfacePoint& p, int index) { EXPECT_EQ(index, int(points.size())); points.push_back(p); },
        [&](int column, int row) { empties.push_back({column, row}); });
    ASSERT_TRUE(summary.pointCount == 4 && points.size() == 4u);
    EXPECT_EQ(empties.size(), 8u * 3u - 4u);
    const std::pair<int, int> order[] = {{2, 0}, {7, 0}, {1, 1}, {5, 2}};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(std::make_pair(points[i].column, points[i].row), order[i]) << i;
    const SurfacePoint& p = points[0];  // world x = 2.5 / 4 - 1 = -0.375, delivered inverted
    EXPECT_EQ((std::array<double, 3>{p.x, p.y, p.z}), (std::array<double, 3>{0.375, 1.0 / 3.0 - 1.0, 0.0}));
    EXPECT_EQ((FrameBuilder{3, 5}).frame().summarize().pointCount, 0);  // narrower than 4 columns
    EXPECT_EQ((ClientRect{5, 7, 15, 9}).sampledWidth(), 8);
}

TEST(SampledFrameTest, FirstPointSetsAllBoundsThenMaximaAndMinimaWiden) {
    SampleSummary s;
    const auto bounds = [&b = s.bounds] { return std::array<float, 6>{b.maxX, b.minX, b.maxY, b.minY, b.maxZ, b.minZ}; };
    EXPECT_EQ(bounds(), (std::array<float, 6>{}));
    s.add(1.0, 2.0, 3.0);
    EXPECT_EQ(bounds(), (std::array<float, 6>{1, 1, 2, 2, 3, 3}));
    s.add(-1.0, 5.0, 0.1), s.add(4.0, -2.0, 7.0);
    EXPECT_EQ(bounds(), (std::array<float, 6>{4, -1, 5, -2, 7, 0.1f}));
}

TEST(SurfaceSamplerTest, PendingOpenGlErrorsAreReportedThePixelStoreIsLeftAsItWasAndOneRowIsRead) {
    const auto gl = makeHeadlessSurface(8, 4);
    ASSERT_TRUE(gl);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM
    RecordingPrompt prompt;
    EXPECT_EQ(SurfaceSampler::sample(ClientRect::ofSize(8, 4), prompt).rows(), 4);
    EXPECT_EQ(prompt.messageTexts(), std::vector<std::string>{glErrorText(GL_INVALID_ENUM)});
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 16), glPixelStorei(GL_PACK_SKIP_ROWS, 1), glPixelStorei(GL_PACK_SKIP_PIXELS, 2);
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f), glClear(GL_COLOR_BUFFER_BIT);  // a frame of one row is read as well
    EXPECT_EQ(SurfaceSampler::sample(ClientRect::ofSize(8, 1), prompt).colour().at(1), 255);
    EXPECT_EQ(SurfaceSampler::sample(ClientRect::ofSize(5, 2), prompt).colour().at(3 * 5 + 1), 255);  // rows packed
}

struct Writer {
    std::string name;
    std::function<Result<SampleSummary>(const SampledFrame&, const std::string&, RandomGenerator&)> write;
} const kWriters[] = {
    {"colour", [](auto& f, auto& p, auto& r) { return writeColourCgh(f, p, {}, r, {}); }},
    {"grey", [](auto& f, auto& p, auto& r) { return writeGreyCgh(f, p, {}, r, {}); }},
    {"3di", [](auto& f, auto& p, auto&) { return write3di(f, p, {}); }},
    {"PLY", [](auto& f, auto& p, auto& r) { return writePly(f, p, r, PlyLayout::Ascii); }},
    {"channels", [](auto& f, auto& p, auto& r) { return writeChannelCgh(f, p, "", {}, r, {}); }},  // p + r, g, b
};

auto entries(const std::string& folder) { return std::distance(std::filesystem::directory_iterator(folder), {}); }

TEST(PointFileWriters, FailuresPrintTheirMessageAndLeaveWhatWasThere) {
    FrameBuilder b{400, 100};  // in every layout far beyond the size limit below, which stands in for a full disk
    for (int i = 0; i < 40000; ++i) b.set(i % 400, i / 400, 100, 100, 100, 0.5f);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{100000, old.rlim_max};
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.name);
        const bool channels = w.name == "channels";
        TempDir dir;
        // A file in a missing folder cannot be created, nor the channel writer's second file, a folder.
        std::filesystem::create_directory(dir.file("ag"));
        RandomGenerator random;
        ::testing::internal::CaptureStderr();
        Result<SampleSummary> result = w.write(b.frame(), dir.file(channels ? "a" : "missing/a"), random);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cant open file\n");
        EXPECT_EQ(result.error(), "Cant open file " + dir.file(channels ? "ag" : "missing/a"));
        const std::string kept = dir.file(channels ? "keepg" : "keep");
        ASSERT_TRUE(writeFile(kept, std::string("precious")));
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::testing::internal::CaptureStderr();
        result = w.write(b.frame(), dir.file("keep"), random);
        const std::string err = ::testing::internal::GetCapturedStderr();
        ::setrlimit(RLIMIT_FSIZE, &old);
        EXPECT_EQ(err, result.error() + "\n");
        EXPECT_EQ(err.rfind("Cant write file " + dir.file("keep"), 0), 0u) << err;  // keep, or one of keepr, keepg, keepb
        EXPECT_EQ(fileText(kept), "precious");
        EXPECT_EQ(entries(dir.path()), 2);  // the folder and the kept file: nothing half-written, no temporary file
    }
}

TEST(PointFileWriters, ChannelsKeepTheirOrderAndEachChannelFileHoldsItsOwnFraction) {
    FrameBuilder b{4, 1};
    b.set(0, 0, 255, 128, 1, 0.5f), b.set(3, 0, 0, 51, 0, 0.5f);
    TempDir dir;
    const std::string folder = dir.file(std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c'));
    std::filesystem::create_directories(folder);  // longer than any fixed name buffer
    RandomGenerator random, again;
    ASSERT_TRUE(writeChannelCgh(b.frame(), folder + "/obj", "1.CGH", {}, random, {}));
    const std::string paths[3] = {folder + "/objr1.CGH", folder + "/objg1.CGH", folder + "/objb1.CGH"};
    ASSERT_TRUE(writeColourCgh(b.frame(), dir.file("c"), {}, again, {}) && writePly(b.frame(), dir.file("p"), again, PlyLayout::Ascii));
    const PointFile colour = readCgh(dir.file("c"));
    const Point c = colour.points[0], p = readPly(dir.file("p")).points[0];
    EXPECT_EQ((std::array<double, 6>{c.r, c.g, c.b, p.r, p.g, p.b}), (std::array<double, 6>{1, 0.501961, 0.003922, 255, 128, 1}));
    // A channel file is the colour file with one fraction in place of the three.
    const char* values[3][2] = {{"1.000000", "0.000000"}, {"0.501961", "0.200000"}, {"0.003922", "0.000000"}};
    for (std::size_t k = 0; k < 3; ++k) {
        std::vector<std::string> lines = colour.lines;
        for (std::size_t n = 1; n <= 2; ++n) lines[n] = lines[n].substr(0, lines[n].rfind(' ', lines[n].rfind(' ', lines[n].rfind(' ') - 1) - 1) + 1) + values[k][n - 1];
        EXPECT_EQ(readCgh(paths[k]).lines, lines) << k;
    }
}

TEST(PointFileWriters, AsciiPlyLinesOfTheLongestNumbersFitTheirRoomAcrossTheOutputBuffer) {
    // Every pixel unprojects to the same floats of nine-digit shortest texts: 60 characters before the phase.
    // 100,000 such lines fill the 1 MiB output buffer seven times; one wider than it reserved overruns it.
    FrameBuilder b{400, 250};
    const double scale = 1e45, x = -1.00009075e-30, y = -1.00017285e-30, z = -1.00038265e-30;
    b.modelview = {scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0, x * scale, -y * scale, -z * scale, 1};  // x inverted
    for (int i = 0; i < 100000; ++i) b.set(i % 400, i / 400, 255, 255, 255, 0.5f);
    TempDir dir;
    RandomGenerator random, reference;
    ASSERT_TRUE(writePly(b.frame(), dir.file("x"), random, PlyLayout::Ascii));
    const std::string text = fileText(dir.file("x"));
    std::istringstream lines(text.substr(text.find("end_header\n3\n") + 13));
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_EQ(line.substr(0, 60), "-1.00009075e-30 -1.00017285e-30 -1.00038265e-30 255 255 255 ") << count;
        ASSERT_EQ(std::strtod(line.c_str() + 60, nullptr), phaseOfDraw(reference.next())) << count;
    }
    EXPECT_EQ(count, 100000u);
}

// Every file of one frame reads back as the points the hologram takes from the frame; the PLY layouts keep
// full colour bytes and a float phase binary, so they agree to their precision alone.
TEST(PointFileWriters, EveryLayoutReadsBackAsTheFramesPoints) {
    FrameBuilder b{8, 2};
    b.set(1, 0, 255, 128, 1, 0.25f);  // x = -(1.5 / 4 - 1), y = 2 * 0.5 / 2 - 1, z = 2 * 0.25 - 1
    b.set(6, 1, 0, 51, 204, 0.75f);
    TempDir dir;
    const OutputScales scales{2.5f, 0.26f};  // the header keeps one decimal
    const std::pair<bool, std::function<Result<SampleSummary>(RandomGenerator&)>> writers[] = {
        {true, [&](auto& r) { return writeColourCgh(b.frame(), dir.file("c"), scales, r, {}); }},
        {false, [&](auto& r) { return writeGreyCgh(b.frame(), dir.file("g"), scales, r, {}); }},
        {true, [&](auto& r) { return writePly(b.frame(), dir.file("a"), r, PlyLayout::Ascii); }},
        {true, [&](auto& r) { return writePly(b.frame(), dir.file("b"), r, PlyLayout::Binary); }},
    };
    const char* files[] = {"c", "g", "a", "b"};
    for (int k = 0; k < 4; ++k) {
        RandomGenerator random, same;
        ASSERT_TRUE(writers[k].second(random));
        const auto file = readPointFile(dir.file(files[k]));
        ASSERT_TRUE(file) << file.error();
        const HologramPoints expected = framePoints(b.frame(), scales, same, writers[k].first), &got = file->points;
        ASSERT_EQ(got.points.size(), 2u) << k;
        if (k < 2) {
            EXPECT_EQ(std::make_tuple(got.scaleXy, got.scaleZ, got.colour), std::make_tuple(2.5f, 0.3f, k == 0));
        }
        const double near = k < 2 ? 0.0 : 2e-6;
        for (std::size_t i = 0; i < 2; ++i) {
            const HologramPoint &p = got.points[i], &e = expected.points[i];
            for (auto [a, z] : {std::pair<double, double>{p.x, e.x}, {p.y, e.y}, {p.z, e.z}, {p.phase, e.phase}, {p.red, e.red}, {p.green, e.green}, {p.blue, e.blue}})
                EXPECT_NEAR(a, z, near) << files[k] << i;
        }
        const HologramPoint& first = expected.points[0];
        EXPECT_EQ((std::array<double, 3>{first.x, first.y, first.z}), (std::array<double, 3>{0.625, -0.5, -0.5}));
        EXPECT_NEAR(expected.points[1].red, k == 1 ? (0.78 * 51 + 0.1 * 204) / 255 : 0.0, 1e-6) << k;
    }
    // The largest draw, 32767, is a whole turn less a hair: 6.283180 as written, not 0.
    unsigned seed = 0;
    for (RandomGenerator probe; probe.seed(seed), probe.next() != RandomGenerator::kMax;) ++seed;
    RandomGenerator top;
    top.seed(seed);
    EXPECT_DOUBLE_EQ(framePoints(b.frame(), scales, top, true).points[0].phase, 6.28318);
}

}  // namespace
}  // namespace velmora::testing
