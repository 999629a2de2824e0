// The point files byte for byte. CGH: the worked example, header padding,
// the grey file's longer first line, headers too long for their placeholder,
// per-channel files, files that cannot be written and writes through links. 3di: its size for any
// coverage, the scaled records, the grey level as a float, zero records for
// empty pixels, and the generator left untouched.

#include "export/CghWriter.h"
#include "export/ThreeDiWriter.h"

#include "export/ExportNaming.h"
#include "export/PointValues.h"
#include "export/ViewSeries.h"
#include "export/ExportTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace velmora {
namespace {

using testing::FrameBuilder;
using testing::crlfLines;
using testing::intAt;
using testing::readAll;

// One pixel, (255, 128, 0), that unprojects to world (1.25, 0.5, 3.0).
FrameBuilder workedExampleFrame() {
    FrameBuilder b(4, 1);
    b.viewport = {-4, -1, 4, 2};  // x = 2 (0.5 + 4) / 4 - 1, y = 2 (0.5 + 1) / 2 - 1
    b.set(0, 0, 255, 128, 0, 2.0f);  // z = 2 * 2 - 1
    return b;
}

struct WriterFixture : ::testing::Test {
    testing::TempDir dir;
    OutputScales scales;
    RandomGenerator random;
};

TEST_F(WriterFixture, WorkedExampleByteForByte) {
    // Phase 16384 × 6.28318 / 32767; the grey level (128 × 0.78 + 255 × 0.12) / 255;
    // the grey file's placeholder is one space longer.
    const std::string statics =
        "Statics: Maxx=-1.250000 Minx=-1.250000 Maxy=0.500000 Miny=0.500000 Maxz=3.000000 Minz=3.000000 \r\n";
    random.seed(testing::seedForFirstDraw(16384));
    WriteResult result = writeColourCgh(workedExampleFrame().frame(), dir.file("a.CGH"), scales, random, {0, 0, 30});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readAll(dir.file("a.CGH")), "1 1.0 1.0 0" + std::string(30, ' ') +
                                              "\r\n0 -1.250000 0.500000 3.000000 3.141686 1.000000 0.501961 "
                                              "0.000000\r\n" +
                                              statics + "ViewPoint: x=0.000000  y=0.000000 z=30.000000");
    EXPECT_EQ(result.summary.pointCount, 1);
    EXPECT_EQ(result.paths, std::vector<std::string>{dir.file("a.CGH")});

    random.seed(testing::seedForFirstDraw(16384));
    scales.xy = 2.5f;
    scales.z = 0.3f;
    result = writeGreyCgh(workedExampleFrame().frame(), dir.file("g.CGH"), scales, random, {5, 0, 30});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readAll(dir.file("g.CGH")), "1 2.5 0.3 0" + std::string(31, ' ') +
                                              "\r\n0 -1.250000 0.500000 3.000000 3.141686 0.511529\r\n" +
                                              statics + "ViewPoint: x=5.000000  y=0.000000 z=30.000000");
}

TEST_F(WriterFixture, TwoPointsPadTheHeaderAndCountFromZero) {
    FrameBuilder b(8, 2);
    // x = 2 (c + 0.5) / 8 - 1, y = 2 (r + 0.5) / 2 - 1, z = 2 d - 1
    b.set(6, 0, 0, 0, 1, 0.25f);    // (0.625, -0.5, -0.5) -> x printed -0.625
    b.set(1, 1, 10, 20, 30, 0.75f);  // (-0.625, 0.5, 0.5)
    random.seed(7);
    ASSERT_TRUE(writeColourCgh(b.frame(), dir.file("c.CGH"), scales, random, {0, 0, 30}).ok);
    ASSERT_TRUE(writeGreyCgh(b.frame(), dir.file("g.CGH"), scales, random, {0, 0, 30}).ok);
    const auto colour = crlfLines(readAll(dir.file("c.CGH")));
    const auto grey = crlfLines(readAll(dir.file("g.CGH")));
    ASSERT_EQ(colour.size(), 5u);
    EXPECT_EQ(colour[0], "2 1.0 1.0 0" + std::string(30, ' '));
    EXPECT_EQ(grey[0].size(), colour[0].size() + 1);
    EXPECT_EQ(colour[1].substr(0, 31), "0 -0.625000 -0.500000 -0.500000");
    EXPECT_EQ(colour[1].substr(colour[1].size() - 27), " 0.000000 0.000000 0.003922");
    EXPECT_EQ(colour[2].substr(0, 28), "1 0.625000 0.500000 0.500000");
    EXPECT_EQ(colour[3], "Statics: Maxx=0.625000 Minx=-0.625000 Maxy=0.500000 Miny=-0.500000 Maxz=0.500000 "
                         "Minz=-0.500000 ");
}

TEST_F(WriterFixture, EmptyFrameGivesStatisticsRightAfterTheHeader) {
    FrameBuilder b(3, 5);  // narrower than 4: nothing is visited
    ASSERT_TRUE(writeColourCgh(b.frame(), dir.file("e.CGH"), scales, random, {0, 0, 30}).ok);
    EXPECT_EQ(readAll(dir.file("e.CGH")),
              "0 1.0 1.0 0" + std::string(30, ' ') +
                  "\r\nStatics: Maxx=0.000000 Minx=0.000000 Maxy=0.000000 Miny=0.000000 Maxz=0.000000 "
                  "Minz=0.000000 \r\nViewPoint: x=0.000000  y=0.000000 z=30.000000");
}

TEST_F(WriterFixture, HeaderLongerThanItsPlaceholderTakesLineOneAlone) {
    FrameBuilder b(8, 2);
    b.set(0, 0, 1, 2, 3, 0.5f);
    b.set(5, 1, 4, 5, 6, 0.5f);
    random.seed(11);
    ASSERT_TRUE(writeColourCgh(b.frame(), dir.file("normal.CGH"), scales, random, {0, 0, 30}).ok);
    random.seed(11);
    scales.xy = 3e38f;
    ASSERT_TRUE(writeColourCgh(b.frame(), dir.file("huge.CGH"), scales, random, {0, 0, 30}).ok);

    char header[200];
    std::snprintf(header, sizeof header, "%d %.1f %.1f 0", 2, static_cast<double>(3e38f), 1.0);
    ASSERT_GT(std::string(header).size(), 41u);
    const std::string normal = readAll(dir.file("normal.CGH"));
    const std::string huge = readAll(dir.file("huge.CGH"));
    EXPECT_EQ(huge, std::string(header) + "\r\n" + normal.substr(43));
}

TEST_F(WriterFixture, ChannelFilesShareIndexCoordinatesAndOnePhasePerPoint) {
    FrameBuilder b(4, 1);
    b.set(0, 0, 255, 128, 1, 0.5f);
    b.set(3, 0, 0, 51, 0, 0.5f);
    random.seed(3);
    RandomGenerator reference = random;
    // A path longer than any fixed name buffer.
    const std::string folder = dir.file(std::string(100, 'a') + "/" + std::string(100, 'b') + "/" +
                                        std::string(100, 'c'));
    std::filesystem::create_directories(folder);
    const std::string stem = folder + "/obj";
    ASSERT_GT(stem.size(), 300u);
    const WriteResult result = writeChannelCgh(b.frame(), stem, "1.CGH", scales, random, {0, 0, 30});
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.paths.size(), 3u);
    EXPECT_EQ(result.paths[0], stem + "r1.CGH");
    EXPECT_EQ(result.paths[2], stem + "b1.CGH");
    // Two points drew exactly two values.
    reference.next();
    reference.next();
    EXPECT_EQ(random.state(), reference.state());

    const auto r = crlfLines(readAll(stem + "r1.CGH"));
    const auto g = crlfLines(readAll(stem + "g1.CGH"));
    const auto bl = crlfLines(readAll(stem + "b1.CGH"));
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0], "2 1.0 1.0 0" + std::string(30, ' '));
    for (int line = 1; line <= 2; ++line) {
        const std::size_t cut = r[line].rfind(' ');
        EXPECT_EQ(r[line].substr(0, cut), g[line].substr(0, cut));
        EXPECT_EQ(r[line].substr(0, cut), bl[line].substr(0, cut));
    }
    EXPECT_EQ(r[1].substr(r[1].rfind(' ')), " 1.000000");
    EXPECT_EQ(g[1].substr(g[1].rfind(' ')), " 0.501961");
    EXPECT_EQ(bl[1].substr(bl[1].rfind(' ')), " 0.003922");
    EXPECT_EQ(g[2].substr(g[2].rfind(' ')), " 0.200000");
    EXPECT_EQ(r[3], g[3]);
    EXPECT_EQ(r[4], bl[4]);
}

TEST_F(WriterFixture, FileThatCannotBeCreatedPrintsTheMessageAndWritesNothing) {
    const std::string path = dir.file("missing/a.CGH");
    RandomGenerator before = random;
    ::testing::internal::CaptureStderr();
    const WriteResult result = writeColourCgh(workedExampleFrame().frame(), path, scales, random, {0, 0, 30});
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cant open file\n");
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.openFailed);
    EXPECT_EQ(result.failedPath, path);
    EXPECT_EQ(random.state(), before.state());

    // One channel file failing leaves none of the three behind.
    std::filesystem::create_directory(dir.file("objg1.CGH"));  // a folder where the g file goes
    ::testing::internal::CaptureStderr();
    const WriteResult channels = writeChannelCgh(workedExampleFrame().frame(), dir.file("obj"), "1.CGH", scales, random,
                                                 {0, 0, 30});
    ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(channels.ok);
    EXPECT_FALSE(std::filesystem::exists(dir.file("objr1.CGH")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("objb1.CGH")));
    EXPECT_EQ(testing::entriesIn(dir.path()), 1);  // no temporary file left either

    // A file without any write permission bit is refused and kept, even for root.
    const std::string locked = dir.file("locked.CGH");
    testing::writeText(locked, "precious");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(writeColourCgh(workedExampleFrame().frame(), locked, scales, random, {0, 0, 30}).openFailed);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cant open file\n");
    EXPECT_EQ(readAll(locked), "precious");
}

TEST_F(WriterFixture, WritingOverASymbolicLinkWritesItsTarget) {
    std::filesystem::create_directory(dir.file("real"));
    testing::writeText(dir.file("real/scene.CGH"), "old");
    std::filesystem::create_symlink("real/scene.CGH", dir.file("link.CGH"));
    std::filesystem::create_symlink("real/new.CGH", dir.file("dangling.CGH"));
    ASSERT_TRUE(writeColourCgh(workedExampleFrame().frame(), dir.file("link.CGH"), scales, random, {0, 0, 30}).ok);
    ASSERT_TRUE(writeColourCgh(workedExampleFrame().frame(), dir.file("dangling.CGH"), scales, random, {0, 0, 30}).ok);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.CGH")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.CGH")));
    EXPECT_EQ(readAll(dir.file("real/scene.CGH")).rfind("1 1.0 1.0 0", 0), 0u);
    EXPECT_EQ(readAll(dir.file("real/new.CGH")).rfind("1 1.0 1.0 0", 0), 0u);
    EXPECT_EQ(testing::entriesIn(dir.file("real")), 2);
}

TEST_F(WriterFixture, WriteFailureLeavesTheExistingFileUntouched) {
    const std::string path = dir.file("keep.CGH");
    testing::writeText(path, "precious");
    FrameBuilder b(400, 100);  // 40000 points, far beyond the limit below
    std::fill(b.depth.begin(), b.depth.end(), 0.5f);
    std::fill(b.colour.begin(), b.colour.end(), std::uint8_t{100});

    // A file size limit stands in for a full disk.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 100000;
    ::setrlimit(RLIMIT_FSIZE, &small);
    ::testing::internal::CaptureStderr();
    const WriteResult result = writeColourCgh(b.frame(), path, scales, random, {0, 0, 30});
    const std::string err = ::testing::internal::GetCapturedStderr();
    ::setrlimit(RLIMIT_FSIZE, &old);

    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.openFailed);
    EXPECT_NE(err.find("Cant write file " + path), std::string::npos) << err;
    EXPECT_EQ(readAll(path), "precious");
    EXPECT_EQ(testing::entriesIn(dir.path()), 1);
}

TEST_F(WriterFixture, GridFileSizeDependsOnlyOnTheSampledGrid) {
    FrameBuilder empty(802, 600);
    ASSERT_TRUE(write3di(empty.frame(), dir.file("empty.3di"), scales).ok);
    FrameBuilder full(802, 600);
    std::fill(full.depth.begin(), full.depth.end(), 0.5f);
    std::fill(full.colour.begin(), full.colour.end(), std::uint8_t{9});
    const WriteResult result = write3di(full.frame(), dir.file("full.3di"), scales);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.summary.pointCount, 480000);
    for (const char* name : {"empty.3di", "full.3di"}) {
        const std::string bytes = readAll(dir.file(name));
        EXPECT_EQ(bytes.size(), 13440008u) << name;
        EXPECT_EQ(intAt(bytes, 0), 600) << name;
        EXPECT_EQ(intAt(bytes, 4), 800) << name;
    }
}

TEST_F(WriterFixture, GridRecordsAreScaledInPassOrderAndEmptyPixelsAreZero) {
    scales.xy = 10.0f;
    scales.z = 2.0f;
    random.seed(5);
    const auto generatorBefore = random.state();

    FrameBuilder b(4, 2);
    b.viewport = {-2, -2, 4, 2};     // x = (c + 2.5) / 2 - 1, y = r + 1.5, z = 2 d - 1
    b.set(1, 1, 0, 0, 255, -1.5f);   // (0.75, 2.5, -4)
    b.set(2, 0, 0, 0, 0, 0.5f);      // black: empty
    const WriteResult result = write3di(b.frame(), dir.file("grid.3di"), scales);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(random.state(), generatorBefore);

    const std::string bytes = readAll(dir.file("grid.3di"));
    ASSERT_EQ(bytes.size(), 8u + 28u * 8u);
    EXPECT_EQ(intAt(bytes, 0), 2);
    EXPECT_EQ(intAt(bytes, 4), 4);
    for (std::size_t i = 0; i < 8; ++i) {
        if (i == 5) continue;  // row 1, column 1
        EXPECT_EQ(bytes.substr(8 + 28 * i, 28), std::string(28, '\0')) << i;
    }
    const testing::GridRecord r = testing::recordAt(bytes, 5);
    EXPECT_EQ(r.x, -7.5);  // -(10 × 0.75)
    EXPECT_EQ(r.y, 25.0);  // 10 × 2.5
    EXPECT_EQ(r.z, -8.0);  // 2 × -4
    // Pure blue: 0.1 × 255 / 255, about 0.1, stored as a float.
    EXPECT_NEAR(r.grey, 0.1f, 1e-6f);
    EXPECT_GT(r.grey, 0.0f);
}

TEST(ExportNamingTest, EndingsAreAddedUnlessPresentInAnyCaseAndSeriesNamesNumberTheViews) {
    const std::pair<std::string, std::string> cases[] = {
        {withCghExtension("scan"), "scan.CGH"},
        {withCghExtension("scan.cgh"), "scan.cgh"},
        {withCghExtension("scan.CgH"), "scan.CgH"},
        {withCghExtension("scan.txt"), "scan.txt.CGH"},
        {withCghExtension("cgh"), "cgh.CGH"},
        {withCghExtension(""), ".CGH"},
        {with3diExtension("scan.3DI"), "scan.3DI"},
        {with3diExtension("scan"), "scan.3di"},
        {with3diExtension("3di"), "3di.3di"},
        {multiViewFileName("obj.CGH", 1), "obj1.CGH"},
        {multiViewFileName("obj.cgh", 10), "obj10.CGH"},
        {multiViewFileName(withCghExtension("scan"), 2), "scan2.CGH"},
        {channelFileName(multiViewStem("obj.CGH"), 'r', multiViewSuffix(1)), "objr1.CGH"},
        {channelFileName(multiViewStem("obj.CGH"), 'b', multiViewSuffix(12)), "objb12.CGH"},
    };
    for (const auto& [made, expected] : cases) EXPECT_EQ(made, expected);
}

TEST(ViewSeriesTest, OffsetsAccumulateInSinglePrecisionAndIncludeTheRightEnd) {
    EXPECT_EQ(viewOffsets({-1.0f, 1.0f, 0.5f}), (std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f, 1.0f}));
    // 0.1 accumulated in floats passes 1 before reaching it: ten views.
    const auto tenths = viewOffsets({0.0f, 1.0f, 0.1f});
    ASSERT_EQ(tenths.size(), 10u);
    EXPECT_NEAR(tenths.back(), 0.9f, 1e-6);
    EXPECT_EQ(viewOffsets({0.0f, 0.0f, 0.3f}).size(), 1u);
    EXPECT_TRUE(viewOffsets({2.0f, 1.0f, 0.5f}).empty());
    EXPECT_FALSE(checkViewRange({2.0f, 1.0f, 0.5f}));
    EXPECT_FALSE(checkViewRange({2.0f, 1.0f, -0.5f}));  // left beyond right: no view, whatever the sign
    EXPECT_EQ(viewEyeX(0.0f, 5.0f), 5.0f);
}

TEST(ViewSeriesTest, SeriesThatWouldNeverEndAreRefused) {
    EXPECT_EQ(checkViewRange({0.0f, 1.0f, 0.0f}), std::optional<std::string>("Delta must be nonzero!"));
    EXPECT_EQ(checkViewRange({0.0f, 1.0f, -0.5f}), std::optional<std::string>("Delta must be positive!"));
    // 1e-8 is below half an ulp of 1.0f: the offset would stay at 1 forever.
    EXPECT_EQ(checkViewRange({1.0f, 2.0f, 1e-8f}), std::optional<std::string>("Delta is too small!"));
    EXPECT_EQ(checkViewRange({0.0f, 1.0e6f, 1.0f}), std::optional<std::string>("Too many views!"));
    EXPECT_FALSE(checkViewRange({-1.0f, 1.0f, 0.5f}));
}

}  // namespace
}  // namespace velmora
