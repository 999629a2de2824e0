// The export commands end to end in a headless OpenGL context: a model of
// two flat squares, one in front of the cut-off and one behind it, drawn by
// the real view, exported, and the files read back independently.

#include "export/ExportCommands.h"

#include "export/ExportTestSupport.h"
#include "export/SurfaceSampler.h"
#include "export/ThreeDiWriter.h"
#include "view/ViewTestSupport.h"

#include <GL/gl.h>

#include <cstdio>

namespace velmora {
namespace {

using testing::crlfLines;
using testing::readAll;

constexpr int kWidth = 202;  // 200 columns sampled
constexpr int kHeight = 160;

struct ParsedPoint {
    int index;
    double x, y, z, phase;
    std::vector<double> values;  // colour fractions or the grey level
};

std::vector<ParsedPoint> parsePoints(const std::vector<std::string>& lines, int valueCount) {
    std::vector<ParsedPoint> points;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        ParsedPoint p{};
        double v[3] = {};
        const int fields = std::sscanf(lines[i].c_str(), "%d %lf %lf %lf %lf %lf %lf %lf", &p.index, &p.x, &p.y,
                                       &p.z, &p.phase, &v[0], &v[1], &v[2]);
        EXPECT_EQ(fields, 5 + valueCount) << lines[i];
        p.values.assign(v, v + valueCount);
        points.push_back(p);
    }
    return points;
}

struct ExportFixture : testing::ViewFixture {
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(open(kWidth, kHeight));
        // Square A (x -6 .. 0) and square B (x 0 .. 6), 60 units apart in
        // depth; the model is centred, then moved back 30 so that A lies in
        // the plane z = 0 and B in z = -60, behind the cut-off.
        testing::ModelSpaceBuilder model;
        model.material("slate", {0.2f, 0.4f, 0.6f});
        model.square(-3, 0, 30, 3);
        model.square(3, 0, -30, 3);
        ASSERT_NO_FATAL_FAILURE(load(model));
        state.modelOffsetZ = -30.0f;
        state.random.seed(1234);
        prompt.clear();
    }
    ClientRect client() const { return ClientRect::ofSize(kWidth, kHeight); }
    ExportOutcome run(ExportKind kind, const std::string& name, std::optional<ViewRange> views = std::nullopt,
                      const ViewProgress& progress = {}) {
        return runExport(*view, prompt, state, client(), {kind, dir.file(name), views}, progress);
    }
    // Pixels the export frame covers, counted from a plain read-back.
    int coveredPixels() {
        beginExportFrame(*view);
        view->drawFrame();
        const auto rgba = surface->readRgba();
        int covered = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < 200; ++x) {
                const std::size_t i = (static_cast<std::size_t>(y) * kWidth + x) * 4;
                if (rgba[i] || rgba[i + 1] || rgba[i + 2]) ++covered;
            }
        restoreViewingFrame(*view);
        return covered;
    }
    void expectViewingColourRestored() {
        GLfloat clear[4];
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
        EXPECT_EQ(clear[0], 0.25f);
        EXPECT_EQ(clear[1], 0.5f);
        EXPECT_EQ(clear[2], 0.75f);
        // The top right pixel shows the viewing colour again.
        EXPECT_TRUE(testing::isClearColour(testing::Frame(*surface).at(kWidth - 1, kHeight - 1)));
    }
};

TEST_F(ExportFixture, ColourExportWritesTheVisibleSquareOnItsPlaneInItsLitColour) {
    const ExportOutcome outcome = run(ExportKind::Colour, "scene");
    ASSERT_EQ(outcome.status, ExportStatus::Done);
    ASSERT_EQ(outcome.files.size(), 1u);
    EXPECT_EQ(outcome.files[0].path, dir.file("scene.CGH"));
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message 完成!: 导出完成!"});
    expectViewingColourRestored();

    const auto lines = crlfLines(readAll(dir.file("scene.CGH")));
    const auto points = parsePoints(lines, 3);
    int count = -1;
    ASSERT_EQ(std::sscanf(lines[0].c_str(), "%d", &count), 1);
    EXPECT_EQ(count, static_cast<int>(points.size()));
    EXPECT_EQ(outcome.files[0].pointCount, count);
    EXPECT_EQ(lines.back(), "ViewPoint: x=0.000000  y=0.000000 z=30.000000");

    // Perspective 1 .. 1000 with a 24-bit depth buffer: at distance d one
    // depth step moves a point by 2^-24 (f - n) d² / (f n) along the ray.
    const double farthest = std::sqrt(36.0 + 9.0 + 900.0);
    const double depthStep = 999.0 / 1000.0 * farthest * farthest / 16777216.0;
    const double zTolerance = 3.0 * depthStep;
    // The corners nearest and farthest from the eye bound the Gouraud colour.
    const double cosNear = 30.0 / std::sqrt(900.0 + 9.0), cosFar = 30.0 / farthest;
    const double reflectance[3] = {0.2, 0.4, 0.6};
    // Square A covers about (6 / 30 · cot 9°)·(160 / 2) pixels across.
    EXPECT_GT(count, 2000);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const ParsedPoint& p = points[i];
        ASSERT_EQ(p.index, static_cast<int>(i));
        // World x of A is -6 .. 0; the file holds it inverted.
        ASSERT_GE(p.x, -1e-3) << i;
        ASSERT_LE(p.x, 6.0 + 1e-3) << i;
        ASSERT_LE(std::abs(p.y), 3.0 + 1e-3) << i;
        ASSERT_LE(std::abs(p.z), zTolerance) << i << ": z " << p.z;
        ASSERT_GE(p.phase, 0.0);
        ASSERT_LT(p.phase, 6.28318);
        for (int c = 0; c < 3; ++c) {
            const double value = p.values[c] * 255.0;
            ASSERT_GE(value, 255.0 * testing::litChannel(reflectance[c], cosFar) - 1.01) << i << " channel " << c;
            ASSERT_LE(value, 255.0 * testing::litChannel(reflectance[c], cosNear) + 1.01) << i << " channel " << c;
        }
    }
    // Square B is drawn but lies beyond the cut-off: its pixels give no point.
    EXPECT_GT(coveredPixels(), count + 200);
}

TEST_F(ExportFixture, TheGridFileAgreesPointForPointWithTheGreyFileOfTheSameFrame) {
    beginExportFrame(*view);
    view->drawFrame();
    const SampledFrame frame = SurfaceSampler::sample(client(), prompt);
    const RandomGenerator before = state.random;
    ASSERT_TRUE(write3di(frame, dir.file("grid.3di"), {}).ok);
    EXPECT_EQ(state.random.state(), before.state());
    ASSERT_TRUE(writeGreyCgh(frame, dir.file("grey.CGH"), {}, state.random, {0, 0, 30}).ok);

    const std::string grid = readAll(dir.file("grid.3di"));
    const auto points = parsePoints(crlfLines(readAll(dir.file("grey.CGH"))), 1);
    ASSERT_EQ(grid.size(), 8u + 28u * 200u * kHeight);
    std::size_t next = 0;
    for (std::size_t record = 0; record < 200u * kHeight; ++record) {
        const testing::GridRecord r = testing::recordAt(grid, record);
        if (r.grey == 0.0f) {
            ASSERT_EQ(grid.substr(8 + 28 * record, 28), std::string(28, '\0')) << record;
            continue;
        }
        ASSERT_LT(next, points.size());
        const ParsedPoint& p = points[next++];
        ASSERT_NEAR(r.x, p.x, 5e-7) << record;
        ASSERT_NEAR(r.y, p.y, 5e-7) << record;
        ASSERT_NEAR(r.z, p.z, 5e-7) << record;
        ASSERT_NEAR(r.grey, p.values[0], 1e-6) << record;  // float against six decimals
    }
    EXPECT_EQ(next, points.size());
}

TEST_F(ExportFixture, GridCommandNamesTheFileAndLeavesTheGeneratorAlone) {
    const auto before = state.random.state();
    const ExportOutcome outcome = run(ExportKind::ThreeDi, "scan.3DI");
    ASSERT_EQ(outcome.status, ExportStatus::Done);
    EXPECT_EQ(outcome.files[0].path, dir.file("scan.3DI"));
    EXPECT_EQ(state.random.state(), before);
    EXPECT_EQ(std::filesystem::file_size(dir.file("scan.3DI")), 8u + 28u * 200u * kHeight);
    expectViewingColourRestored();
}

TEST_F(ExportFixture, SeriesWritesOneFilePerViewAndLeavesTheEyeAtTheLast) {
    state.viewPointZ = 40.0f;
    std::vector<float> eyes;
    const ExportOutcome outcome =
        run(ExportKind::Colour, "obj.CGH", ViewRange{-1, 1, 0.5f}, [&](int, int count, float x, float, float z) {
            EXPECT_EQ(count, 5);
            EXPECT_EQ(z, 40.0f);
            eyes.push_back(x);
        });
    ASSERT_EQ(outcome.status, ExportStatus::Done);
    EXPECT_EQ(eyes, (std::vector<float>{-1.0f, -0.5f, 0.0f, 0.5f, 1.0f}));
    ASSERT_EQ(outcome.files.size(), 5u);
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message 完成!: 导出完成!"});
    const char* expectedX[5] = {"-1.000000", "-0.500000", "0.000000", "0.500000", "1.000000"};
    for (int n = 1; n <= 5; ++n) {
        const std::string name = dir.file("obj" + std::to_string(n) + ".CGH");
        EXPECT_EQ(outcome.files[n - 1].path, name);
        EXPECT_EQ(crlfLines(readAll(name)).back(),
                  std::string("ViewPoint: x=") + expectedX[n - 1] + "  y=0.000000 z=40.000000");
    }
    EXPECT_EQ(view->eyeX(), 1.0f);
    EXPECT_EQ(view->eyeZ(), 40.0f);
    expectViewingColourRestored();
}

TEST_F(ExportFixture, ChannelSeriesAndSeriesWithoutViews) {
    ExportOutcome outcome = run(ExportKind::Channels, "scan", ViewRange{0, 0, 1});
    ASSERT_EQ(outcome.status, ExportStatus::Done);
    ASSERT_EQ(outcome.files.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(outcome.files[i].path, dir.file(std::string("scan") + "rgb"[i] + "1.CGH"));
    EXPECT_GT(outcome.files[0].pointCount, 0);

    prompt.clear();
    outcome = run(ExportKind::Grey, "none.CGH", ViewRange{2, 1, -0.5f});
    EXPECT_EQ(outcome.status, ExportStatus::Done);
    EXPECT_TRUE(outcome.files.empty());
    EXPECT_EQ(prompt.transcript(), std::vector<std::string>{"message 完成!: 导出完成!"});
}

TEST_F(ExportFixture, RangesThatCannotBeExportedAreRefusedWithTheirMessageAlone) {
    const float eye = view->eyeX();
    const int entries = testing::entriesIn(dir.path());  // the model
    for (const float interval : {0.0f, -0.5f, 1e-9f}) {
        prompt.clear();
        const ExportOutcome outcome = run(ExportKind::Colour, "never", ViewRange{1, 2, interval});
        EXPECT_EQ(outcome.status, ExportStatus::Refused) << interval;
        ASSERT_EQ(prompt.messages().size(), 1u) << interval;
        EXPECT_TRUE(prompt.messages()[0].frameworkBox);
    }
    EXPECT_EQ(view->eyeX(), eye);
    EXPECT_EQ(testing::entriesIn(dir.path()), entries);
}

TEST_F(ExportFixture, FileThatCannotBeCreatedShowsAnErrorInsteadOfCompletion) {
    const std::string path = dir.file("missing/scene.CGH");
    ::testing::internal::CaptureStderr();
    const ExportOutcome outcome = run(ExportKind::Grey, "missing/scene.CGH");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Cant open file\n");
    EXPECT_EQ(outcome.status, ExportStatus::Failed);
    EXPECT_TRUE(outcome.files.empty());
    ASSERT_EQ(prompt.messages().size(), 1u);
    EXPECT_EQ(prompt.messages()[0].caption, "Error");
    EXPECT_NE(prompt.messages()[0].text.find(path), std::string::npos);
    expectViewingColourRestored();
}

TEST_F(ExportFixture, ObjectCoordinatesMatchTheStatisticsOfAnExportFromTheSameCamera) {
    const auto before = state.random.state();
    const SampleSummary summary = sampleObjectCoordinates(*view, prompt, client());
    EXPECT_EQ(state.random.state(), before);
    restoreViewingFrame(*view);
    const auto texts = objectCoordinateTexts(summary);

    ASSERT_TRUE(run(ExportKind::Colour, "same.CGH").ok());
    const auto lines = crlfLines(readAll(dir.file("same.CGH")));
    EXPECT_EQ(std::to_string(summary.pointCount), lines[0].substr(0, lines[0].find(' ')));
    EXPECT_EQ(lines[lines.size() - 2], "Statics: Maxx=" + texts[1] + " Minx=" + texts[2] + " Maxy=" + texts[3] +
                                           " Miny=" + texts[4] + " Maxz=" + texts[5] + " Minz=" + texts[6] + " ");

    // From behind, the one-sided squares are culled: no point, bounds all zero.
    view->setEye(0, 0, -30);
    const SampleSummary none = sampleObjectCoordinates(*view, prompt, client());
    EXPECT_EQ(objectCoordinateTexts(none), (std::vector<std::string>{"0", "0.000000", "0.000000", "0.000000",
                                                                     "0.000000", "0.000000", "0.000000"}));
}

}  // namespace
}  // namespace velmora
