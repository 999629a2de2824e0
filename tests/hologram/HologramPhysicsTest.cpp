// The hologram's physics against hand computation and the exact direct sum.
//
// What users rely on: each point adds a / r exp(i (k r + phase)) where its fringes stay below the grid's limit, linear
// in the points, moved a pixel by a pitch; aimed at the hologram, a zone keeps only the side facing it; placement
// mirrors x, scales by the file's scales and the unit, and puts the hologram `distance` beyond the nearest point;
// amplitudes are square roots of decoded sRGB; settings out of range are refused with a reason; deep objects get
// several recording planes, each a gap before its points; refocusing, tiles and colours agree with the direct sum.

#include "hologram/BandLimitedPropagator.h"
#include "hologram/HologramEncoding.h"
#include "hologram/HologramComputer.h"
#include "hologram/FourierTransform.h"
#include "hologram/HologramOutputs.h"
#include "hologram/PhaseLevels.h"
#include "hologram/HologramScore.h"
#include "hologram/HologramTiles.h"
#include "hologram/NearZoneTable.h"
#include "hologram/PointKernel.h"
#include "hologram/RecordingLayers.h"
#include "platform/Diagnostics.h"
#include "platform/OutputFile.h"
#include "support/TempDir.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <numeric>
#include <random>

namespace velmora {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kLambda = 532e-9;
constexpr double kPitch = 8e-6;

// A small grid `distance` from the object, FFTs planned without measuring and no wisdom written.
HologramSettings smallGrid(int size, double distance = 0.1) {
    HologramSettings s;
    s.width = s.height = size, s.distance = distance, s.pitch = kPitch, s.planning = FftPlanning::Estimate;
    s.wisdomFolder.clear();
    return s;
}

// Fields are single precision: about 6e-8 of each value.
std::complex<double> valueAt(const ComplexField& f, int i, int j) { return f.at(i, j); }

double relativeL2(const ComplexField& a, const ComplexField& b) {
    double diff = 0, ref = 0;
    for (std::size_t i = 0; i < a.values.size(); ++i) diff += std::norm(a.values[i] - b.values[i]), ref += std::norm(b.values[i]);
    return std::sqrt(diff / ref);
}

std::pair<int, int> brightest(const ComplexField& f) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < f.values.size(); ++i) if (std::norm(f.values[i]) > std::norm(f.values[best])) best = i;
    return {static_cast<int>(best % f.width), static_cast<int>(best / f.width)};
}

// The field `distance` back from the hologram, towards the object.
ComplexField focusAt(const ComplexField& hologram, double distance) {
    FourierTransform fft(2 * hologram.width, 2 * hologram.height, FftPlanning::Estimate, 2, "");
    return BandLimitedPropagator(fft).propagatePadded(hologram, kLambda, -distance);
}

// A root for the memory probes whose /proc/meminfo says `kib` KiB are available.
std::string memoryRoot(const velmora::testing::TempDir& dir, const std::string& kib) {
    std::filesystem::create_directories(dir.path() / "proc");
    velmora::testing::writeFile(dir.file("proc/meminfo"), "MemAvailable: " + kib + " kB\n");
    return dir.path().string();
}

ComplexField pointField(int size, const PlanePoints& points, double taper = 0.1) {
    ComplexField plane(size, size, kPitch);
    addPointField(plane, points, {kLambda, taper, 2});
    return plane;
}

TEST(PointKernel, FieldOfOnePointPhaseNegationSuperpositionAndOnePitchShift) {
    const PlanePoint a{3e-5, -2e-5, 0.1, 0.7, 1.2};
    const ComplexField field = pointField(64, {a});
    const double k = 2 * kPi / kLambda;
    for (auto [i, j] : {std::pair{0, 0}, {63, 0}, {31, 32}, {40, 7}, {63, 63}}) {
        // Pixel centres: x = (i - 31.5) p, y = (31.5 - j) p.
        const double r = std::hypot((i - 31.5) * kPitch - a.x, (31.5 - j) * kPitch - a.y, a.depth);
        const auto expected = std::polar(a.amplitude / r, k * r + a.phase);
        EXPECT_LT(std::abs(valueAt(field, i, j) - expected), 3e-7 * std::abs(expected)) << i << "," << j;
    }
    PlanePoint opposite = a, other{-5e-5, 1e-4, 0.08, 0.3, -2.0}, moved = a;
    opposite.phase += kPi, moved.x += kPitch, moved.y -= kPitch;  // one column right, one row down
    const ComplexField cancelled = pointField(64, {a, opposite}), shifted = pointField(64, {moved});
    const ComplexField both = pointField(64, {a, other}), single = pointField(64, {other});
    for (int j = 0; j < 63; ++j) for (int i = 0; i < 63; ++i) {
        const double scale = std::abs(field.at(i, j)) + std::abs(single.at(i, j));
        EXPECT_LT(std::abs(cancelled.at(i, j)), 1e-6 * scale);
        EXPECT_LT(std::abs(both.at(i, j) - field.at(i, j) - single.at(i, j)), 1e-6 * scale);
        EXPECT_LT(std::abs(shifted.at(i + 1, j + 1) - field.at(i, j)), 1e-6 * scale);
    }
}

// Drawn as one factor per axis, as the computation draws it, a zone's phase differs from k r by at most
// k (tx ty)^2 / (4 d^3) and its amplitude by (tx ty)^2 / (2 d^4). Past k d sin^4 / 4 = 0.1 (27.7 mm) zones are exact.
TEST(PointKernel, SeparableZonesStayWithinTheirBoundOfTheExactField) {
    const double k = 2 * kPi / kLambda;
    for (const double d : {3e-3, 20e-3, 0.1}) {
        const PlanePoint point{0.3 * kPitch, -0.2 * kPitch, d, 1.0, 0.4};
        ComplexField exact(128, 128, kPitch), separable(128, 128, kPitch);
        addPointField(exact, {point}, {kLambda, 0.1, 2});
        addPointField(separable, {point}, {kLambda, 0.1, 2, false});
        int lit = 0;
        for (int j = 0; j < 128; ++j) for (int i = 0; i < 128; ++i) {
            const double t = (exact.columnX(i) - point.x) * (exact.rowY(j) - point.y);
            const double t2d4 = t * t / (d * d * d * d);
            const double bound = (d < 27.7e-3 ? k * d * t2d4 / 4 + t2d4 / 2 : 0) + 2e-6;  // and single precision
            lit += std::abs(exact.at(i, j)) > 0;
            EXPECT_LE(std::abs(separable.at(i, j) - exact.at(i, j)), bound * std::abs(exact.at(i, j)) + 1e-7 / d)
                << d << " at " << i << "," << j;
        }
        EXPECT_GT(lit, 100) << d;
    }
}

TEST(PointKernel, ZoneEndsAtTheAliasingLimitAndRefocusesWithoutSecondaryPeaks) {
    // 3 mm away the zone's half-width is 3 mm * lambda / 2p = 100 um, 12.5 pixels.
    const PlanePoint point{0.5 * kPitch, 0.5 * kPitch, 3e-3, 1.0, 0.0};
    const ComplexField field = pointField(128, {point});
    const double sine = kLambda / (2 * kPitch);
    int inside = 0;
    for (int j = 0; j < 128; ++j) for (int i = 0; i < 128; ++i) {
        const double dx = field.columnX(i) - point.x, dy = field.rowY(j) - point.y;
        const double r = std::sqrt(dx * dx + dy * dy + point.depth * point.depth);
        const double u = std::max(std::fabs(dx), std::fabs(dy)) / (r * sine);
        if (u > 1.0) {
            EXPECT_EQ(std::abs(field.at(i, j)), 0.0) << i << "," << j;
        } else if (u < 0.85) {
            EXPECT_NEAR(std::abs(field.at(i, j)), 1.0 / r, 1e-6 / r);
            ++inside;
        }
    }
    EXPECT_GT(inside, 300);
    const ComplexField back = focusAt(field, point.depth);
    const auto [ci, cj] = brightest(back);
    EXPECT_EQ(std::pair(ci, cj), std::pair(64, 63));
    double outside = 0;
    for (int j = 0; j < 128; ++j) for (int i = 0; i < 128; ++i)
        if (std::abs(i - 64) > 4 || std::abs(j - 63) > 4) outside = std::max<double>(outside, std::norm(back.at(i, j)));
    EXPECT_LT(outside, 0.01 * std::norm(back.at(64, 63)));
}

// Close to its plane a point's zone is a few pixels wide, and cut from the wave it diffracts: carried 20 mm, 1 mm deep,
// it is 0.40 of the direct sum off. Its band-limited field from the near-zone table, on either side of the plane and
// off the pixel centres, stays within 4 % (0.026 to 0.037).
TEST(PointKernel, NearZonesOnEitherSideOfThePlaneCarryToTheDirectSum) {
    const double range = 28 * kPitch / (kLambda / (2 * kPitch));  // 6.74 mm
    const auto table = NearZoneTable::make(kLambda, kPitch, 0.5, range, 2);
    ASSERT_TRUE(table);
    FourierTransform fft(256, 256, FftPlanning::Estimate, 2, "");
    BandLimitedPropagator propagator(fft, 2);
    const PlanePoint offCentre{0.37 * kPitch, 0.21 * kPitch, 0.0, 1.0, 0.3};
    const auto carried = [&](double depth, const NearZoneTable* nearZones) {
        ComplexField plane(256, 256, kPitch);
        KernelOptions options{kLambda, 0.5, 2, false};
        options.nearZones = nearZones;
        PlanePoint point = offCentre;
        point.depth = depth;
        addPointField(plane, {point}, options);
        propagator.propagate(plane, kLambda, 20e-3);
        return plane;
    };
    for (const double depth : {0.0, 1e-3, -3e-3, 5e-3}) {
        ComplexField direct(256, 256, kPitch);
        PlanePoint point = offCentre;
        point.depth = depth + 20e-3;
        addPointField(direct, {point}, {kLambda, 0.5, 2, true});
        EXPECT_LE(relativeL2(carried(depth, &*table), direct), 0.04) << depth;
        if (depth == 1e-3) {
            EXPECT_GT(relativeL2(carried(depth, nullptr), direct), 0.3);
        }
    }
    // At 1 um the per-axis form errs by k d sin^4 / 8 = 0.78 rad at 0.105 mm.
    EXPECT_FALSE(NearZoneTable::holds(kLambda, 1e-6, 28e-6 / 0.266));
}

TEST(NearZoneTable, OffsetsPastEitherEndOfTheSpanGetNothingAndTheOthersWhatTheyGetFromWithin) {
    const auto table = NearZoneTable::make(kLambda, kPitch, 0.5, 6e-3, 2);
    ASSERT_TRUE(table);
    const int half = static_cast<int>(table->halfWidth(1.0)), n = 2 * half + 1;  // the span, at its widest
    const auto factors = [&](double first, int count, int pad) {  // with `pad` zeros on either side, or all written
        std::vector<float> out(4 * (count + 2 * pad), pad ? 0.0f : 7.0f);
        table->factors(1e-3, first, count, out.data() + 2 * pad, out.data() + 2 * (count + 3 * pad));
        return out;
    };
    EXPECT_EQ(factors(-half - 3 + 11.0 / 32, n + 6, 0), factors(-half + 11.0 / 32, n, 3));  // 11/32: exact in binary
}

// 3 mm deep a zone's half-width is 12.48 pitches, 1 mm deep by the near-zone table 10.16: half a pitch less beyond
// column 0 (or above row 0), the point reaches that column (row) of the grid alone, with the spherical wave if far.
TEST(PointKernel, EachKernelDrawsTheLastColumnAndRowItsZoneReaches) {
    const auto table = NearZoneTable::make(kLambda, kPitch, 0.01, 6e-3, 1);
    for (const int kernel : {0, 1, 2}) for (const bool row : {false, true}) {  // separable, exact, near
        ComplexField plane(16, 16, kPitch);
        const double beyond = (kernel == 2 ? 9.66 : 11.98) * kPitch;
        const PlanePoint point{row ? 0.0 : plane.columnX(0) - beyond, row ? plane.rowY(0) + beyond : 0.0,
                               kernel == 2 ? 1e-3 : 3e-3, 1.0, 0.0};
        KernelOptions options{kLambda, 0.01, 1, kernel == 1};
        options.nearZones = kernel == 2 ? &*table : nullptr;
        addPointField(plane, {point}, options);
        for (int j = 0; j < 16; ++j) {
            const int x = row ? j : 0, y = row ? 0 : j;
            const double r = std::hypot(plane.columnX(x) - point.x, plane.rowY(y) - point.y, point.depth);
            const auto wave = kernel == 2 ? valueAt(plane, x, y) : std::polar(1.0 / r, 2 * kPi / kLambda * r);
            EXPECT_TRUE(std::abs(wave) > 0 && std::abs(valueAt(plane, x, y) - wave) < 0.01 / r) << kernel << row << j;
            EXPECT_EQ(std::abs(row ? plane.at(j, 1) : plane.at(1, j)), 0.0) << kernel << row << j;
        }
    }
}

// A point 60 um beside a hologram 80 um wide, 3 mm beyond the plane that lies 3 mm before it: half the way, so its
// light meets the hologram through offsets (-40 - 60) / 2 to (40 - 60) / 2 um, widened by the Fresnel zone
// sqrt(lambda d) = 39.95 um and faded over 79.9 um beyond. The same below the axis in y, mirrored.
TEST(PointKernel, AConeAimedAtTheHologramKeepsOnlyTheSideFacingIt) {
    const PlanePoint point{60e-6, -60e-6, 3e-3, 1.0, 0.0};  // column 39, row 39 of 64
    for (const bool exact : {true, false}) {
        KernelOptions options{kLambda, 0.1, 2, exact};
        const ComplexField free = [&] { ComplexField f(64, 64, kPitch); addPointField(f, {point}, options); return f; }();
        options.coneDistance = 3e-3, options.coneHalfWidth = options.coneHalfHeight = 40e-6;
        ComplexField aimed(64, 64, kPitch);
        addPointField(aimed, {point}, options);
        // (column, row, weight): offsets of -88 and 24 um keep all; 56, 80 and 88 um past the far edge fade.
        for (const auto& [i, j, weight] : {std::tuple{39, 39, 1.0}, {28, 39, 1.0}, {42, 39, 1.0}, {39, 42, 1.0},
                                          {39, 28, 1.0}, {46, 39, 0.7504}, {49, 39, 0.3144}, {50, 39, 0.1834},
                                          {39, 49, 0.3144}, {49, 49, 0.3144 * 0.3144}})
            EXPECT_NEAR(std::abs(aimed.at(i, j)) / std::abs(free.at(i, j)), weight, 2e-4) << i << "," << j;
    }
    // Half a millimetre wide in x, 20 mm beyond a plane 1 mm before it: its edges at -0.5832 and 0.5755 mm
    // fade over a fifth of the cone's width, 231.7 um, more than the Fresnel zone's 206.3 um.
    const PlanePoint deep{4e-6, 4e-6, 20e-3, 1.0, 0.0};  // column 96, row 95 of 192
    KernelOptions wide{kLambda, 0.1, 2, true};
    ComplexField free(192, 192, kPitch), aimed(192, 192, kPitch);
    addPointField(free, {deep}, wide);
    wide.coneDistance = 1e-3, wide.coneHalfWidth = 500e-6, wide.coneHalfHeight = 40e-6;
    addPointField(aimed, {deep}, wide);
    for (const auto& [i, weight] : {std::pair{16, 0.8490}, {146, 1.0}, {171, 0.9689}, {176, 0.8109}})
        EXPECT_NEAR(std::abs(aimed.at(i, 95)) / std::abs(free.at(i, 95)), weight, 2e-4) << i;
}

// A point at a pixel centre, d chosen so the first zero lambda d / (N p) falls on the fourth pixel. The square aperture
// focuses as sinc^2 along the row; the zero is found from the samples next to the peak.
TEST(Refocus, OnePointFocusesOnItsPixelWithTheAperturesSincSquared) {
    const int n = 128;
    const double zero = 4 * kPitch, d = zero * n * kPitch / kLambda;
    const ComplexField hologram = pointField(n, {{0.5 * kPitch, 0.5 * kPitch, d, 1.0, 0.4}});
    for (const ComplexField& h : {hologram, phaseOnly(hologram)}) {
        const ComplexField back = focusAt(h, d);
        EXPECT_EQ(brightest(back), (std::pair{64, 63}));
        const double peak = std::norm(back.at(64, 63));
        EXPECT_LT(std::norm(back.at(68, 63)), 2e-3 * peak);
        for (int step : {1, 2}) {
            // Solve sinc^2(step p / x0) = measured for x0 by bisection.
            const double measured = std::norm(back.at(64 + step, 63)) / peak;
            double lo = step * kPitch * 1.01, hi = 100 * kPitch;
            for (int it = 0; it < 100; ++it) {
                const double x0 = 0.5 * (lo + hi), t = kPi * step * kPitch / x0;
                (std::pow(std::sin(t) / t, 2) < measured ? lo : hi) = x0;
            }
            EXPECT_NEAR(lo, zero, 0.01 * zero) << "step " << step;
        }
    }
}

TEST(BandLimitedPropagator, RoundTripRestoresConservesEnergyAndMatchesTheDirectSumElsewhere) {
    std::mt19937 random(7);
    std::normal_distribution<double> normal;
    ComplexField field(128, 96, kPitch);
    for (auto& v : field.values) v = std::complex<double>(normal(random), normal(random));
    const ComplexField original = field;
    FourierTransform fft(128, 96, FftPlanning::Estimate, 2, "");
    BandLimitedPropagator propagator(fft);
    propagator.propagate(field, kLambda, 5e-3);
    const auto energy = [](const ComplexField& f) {
        return std::accumulate(f.values.begin(), f.values.end(), 0.0, [](double e, auto v) { return e + std::norm(v); });
    };
    EXPECT_NEAR(energy(field), energy(original), 1e-5 * energy(original));
    propagator.propagate(field, kLambda, -5e-3);
    EXPECT_LT(relativeL2(field, original), 1e-5);
    const ComplexField cropped = focusAt(field, 1e-3);  // back from the padded grid, the axis where it was
    EXPECT_EQ((std::array{cropped.originColumn, cropped.originRow}), (std::array{63.5, 47.5}));
    const PlanePoints points = {{2e-5, 1e-5, 10e-3, 1.0, 0.3}, {-6e-5, 4e-5, 11e-3, 0.5, 2.0}};
    PlanePoints further = points;
    for (auto& p : further) p.depth += 5e-3;
    EXPECT_LT(relativeL2(focusAt(pointField(128, points, 0.5), -5e-3), pointField(128, further, 0.5)), 0.05);
}

// Two slabs 16 mm apart, the recording plane in front of them by default, then as close as it may be (25
// pixels' zone at 532 nm: 6.015 mm); 200 points from 20 to 220 mm, on several planes carried to the hologram
// one after another: each within 5 % of the direct sum (0.047 measured for the deep one).
TEST(RecordingPlane, MatchesTheDirectSumWithTheDefaultAndTheSmallestGapAndOnSeveralPlanes) {
    const auto cloud = [](unsigned seed, double side, double near, double far, bool split) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> across(-side, side), depth(near, far), phase(0, 2 * kPi);
        HologramPoints points{{}, false, 1, 1};
        if (split) points.points.push_back({0, 0, 9.0, 0, 0, 0.8f, 0});
        for (int i = 0; i < (split ? 300 : 200); ++i)
            points.points.push_back({across(random), across(random),
                                     split ? (i % 2 ? 1 : -1) * depth(random) : i == 0 ? 0.0 : depth(random),
                                     phase(random), 0, 0.8f, 0});
        return points;
    };
    const HologramPoints slabs = cloud(3, 0.15, 8.0, 9.0, true), deep = cloud(5, 0.4, -200.0, 0.0, false);
    for (const auto& [points, size, gap] : {std::tuple{slabs, 192, std::optional<double>{}},
                                           {slabs, 192, std::optional<double>{6.0151e-3}}, {deep, 128, {}}}) {
        HologramSettings s = smallGrid(size, 20e-3);
        s.method = HologramMethod::Direct;
        const auto direct = computeHolograms(points, s);
        ASSERT_TRUE(direct) << direct.error();
        s.method = HologramMethod::RecordingPlane, s.recordingGap = gap;
        const auto recorded = computeHolograms(points, s);
        ASSERT_TRUE(recorded) << recorded.error();
        const double middle = direct->middleDistance;
        EXPECT_LE(relativeL2(focusAt(recorded->channels[0].field, middle), focusAt(direct->channels[0].field, middle)),
                  0.05) << size << " gap " << gap.value_or(0);
    }
}

// Fifty points 20 mm and fifty 300 mm away: one plane for all would sum the far ones over the whole 128 x 128 grid, a
// second plane costs 30 pixels' worth of it, so each cluster gets its own, the first a gap (5 mm) before its nearest
// point, the second the back gap (7 mm); one depth, one plane.
TEST(RecordingPlane, TwoDistantClustersGetOnePlaneEachAndAThinOneNone) {
    std::vector<double> distances(50, 0.02);
    distances.resize(100, 0.3);
    const LayerGeometry g{5e-3, 7e-3, kPitch, kLambda / (2 * kPitch), kLambda, 4.0 * 128 * 128, 1e-3, 1e-3};
    const auto layers = recordingLayers(distances, g);
    ASSERT_EQ(layers.size(), 2u);
    EXPECT_EQ(std::tuple(layers[0].begin, layers[0].end, layers[1].begin, layers[1].end),
              std::tuple(0u, 50u, 50u, 100u));
    EXPECT_NEAR(layers[0].distance, 0.015, 1e-12);
    EXPECT_NEAR(layers[1].distance, 0.293, 1e-12);
    const auto thin = recordingLayers({0.02, 0.02}, g);
    ASSERT_EQ(thin.size(), 1u);
    EXPECT_EQ(std::tuple(thin[0].begin, thin[0].end), std::tuple(0u, 2u));
}

// With the near-zone table each plane lies in the middle of its bin, but at most the table's range beyond its nearest
// point: a bin 2 mm deep from 20 mm gets its plane at 21 mm with a range of 1.5 mm, at 20.5 mm with 0.5.
TEST(RecordingPlane, NearZonePlanesLieInTheMiddleOfTheirBinWithinTheRange) {
    std::vector<double> distances;
    for (int i = 0; i <= 100; ++i) distances.push_back(0.020 + i * 2e-5);
    LayerGeometry g{5e-3, 7e-3, kPitch, kLambda / (2 * kPitch), kLambda, 4.0 * 1024 * 1024, 1e-3, 1e-3, 1.5e-3};
    for (const auto& [range, plane] : {std::pair{1.5e-3, 0.021}, {0.5e-3, 0.0205}}) {
        g.nearRange = range;
        const auto layers = recordingLayers(distances, g);
        ASSERT_EQ(layers.size(), 1u);
        EXPECT_NEAR(layers[0].distance, plane, 1e-12) << range;
    }
    std::vector<double> two(50, 0.02);  // two clusters far apart: a plane each, amid its own points
    two.resize(100, 0.3);
    g.gridPixels = 4.0 * 128 * 128;
    const auto split = recordingLayers(two, g);
    ASSERT_EQ(split.size(), 2u);
    EXPECT_EQ(std::tuple(split[0].end, split[0].distance, split[1].distance), std::tuple(50u, 0.02, 0.3));
}

TEST(RecordingPlane, TwoPointsFocusAtTheirOwnDepths) {
    const HologramPoints two{{{0.1, 0.052, 0.0, 0.0, 0, 1.0f, 0}, {-0.1, -0.052, -3.0, 1.0, 0, 1.0f, 0}}, false};
    const HologramSettings s = smallGrid(128, 10e-3);
    const auto both = computeHolograms(two, s);
    ASSERT_TRUE(both) << both.error();
    const ComplexField& h = both->channels[0].field;
    // x = -0.1 mm is column 63.5 - 12.5; y = 0.052 mm is row 63.5 - 6.5.
    EXPECT_EQ(brightest(focusAt(h, both->nearestDistance)), (std::pair{51, 57}));
    EXPECT_EQ(brightest(focusAt(h, both->farthestDistance)), (std::pair{76, 70}));
    // Scored in depth bands, each a depth of focus thick at most: the aperture is the least of the band's
    // sine, 532 nm / 16 um = 0.03325, and the half width over the middle distance, 0.512 mm / 11.5 mm; the
    // depth of focus 532 nm / 0.03325^2 = 0.481 mm, so 3 mm take 7 bands. Each point is scored once, the
    // nearest in the first band and the farthest in the last.
    const auto scores = scoreHologram(two, *both, s);
    ASSERT_TRUE(scores && !scores->empty()) << scores.error();
    std::size_t scored = 0;
    for (const BandScore& band : *scores) scored += band.points;
    EXPECT_EQ(std::tuple(scored, scores->front().band, scores->back().band, scores->back().bands),
              std::tuple(std::size_t{2}, 1, 7, 7));
}

// 8 g^2 + t^2 within 8 MiB (8,388,608 bytes), g = t + 20 a product of 2, 3, 5 and 7: g = 960 (t = 940) takes 8,256,400
// bytes; the next, 972 (t = 952), 8,464,576. Tiles of 940 make 2 x 2; so do tiles of 500, on the smallest grid that
// holds them, 525 = 3 x 5^2 x 7.
TEST(Tiles, FewestTilesOnTheSmallestGridsAndTilesThatPutTogetherGiveTheWholeHologram) {
    HologramSettings big = smallGrid(1000);
    const auto layout = tileLayout(big, {10, 10}, 0, 1, (std::uint64_t{40} << 20));
    ASSERT_TRUE(layout);
    EXPECT_EQ(std::tuple(layout->tile, layout->gridWidth, layout->rows), std::tuple(500, 525, 2));
    const auto wide = tileLayout(smallGrid(1860), {10, 10}, 0, 1, (std::uint64_t{40} << 20));  // 2 tiles of 940 hold it
    EXPECT_EQ(std::tuple(wide->tile, wide->gridWidth, wide->rows), std::tuple(930, 960, 2));
    // With 1,000 colour points: 32 MiB, 136 + 3 x 8 bytes a point, then the grid and the levels as above.
    EXPECT_EQ(tileMemory(940, 960, 960, 1000, 3), 33554432u + 1000 * 160 + 8256400);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> across(-0.35, 0.35), depth(0.0, 1.0), phase(0, 2 * kPi);
    HologramPoints cloud{{}, false};
    for (int i = 0; i < 200; ++i)
        cloud.points.push_back({across(random), 0.7 * across(random), -depth(random), phase(random), 0, 0.8f, 0});
    HologramSettings s = smallGrid(96, 5e-3);
    s.height = 81;  // tiles of 40: a last row one pixel high
    auto whole = HologramComputation::start(cloud, s);
    ASSERT_TRUE(whole) << whole.error();
    const auto reference = (*whole)->channel(0);
    ASSERT_TRUE(reference);
    s.tiled = true, s.tileSize = 40;
    auto tiled = HologramComputation::start(cloud, s);
    ASSERT_TRUE(tiled);
    const auto tiles = tileLayout(s, tileMargins(s, {s.grey}, (*tiled)->farthestPlane()), 0, 1, 0);
    ComplexField together(96, 81, kPitch);
    for (int r = 0; r < tiles->rows; ++r) for (int c = 0; c < tiles->columns; ++c) {
        const auto tile = (*tiled)->channel(0, tiles->window(r, c, s));
        ASSERT_TRUE(tile);
        // Each tile knows where it lies on the hologram, whose middle (column 47.5, row 40) is on the axis.
        ASSERT_EQ(std::pair(tile->columnX(0), tile->rowY(0)),
                  std::pair((c * tiles->tile - 47.5) * kPitch, (40.0 - r * tiles->tile) * kPitch));
        for (int j = 0; j < tile->height; ++j)
            std::copy_n(&tile->at(0, j), tile->width, &together.at(c * tiles->tile, r * tiles->tile + j));
    }
    EXPECT_EQ(tiles->rows * tiles->columns, 9);
    // The margin of two reaches leaves light from farther away out: under 1 % of the field. A phase moves by over a
    // level mostly where the field is dark (a speckle's null, whose phase any error turns); where it is brighter than a
    // tenth of its rms, in under 1.5 % of the pixels (the tile grids' cut zones, diffracting onto the tiles unfaded,
    // moved twice as many).
    EXPECT_LE(relativeL2(together, *reference), 0.01);
    const auto a = phaseLevels(together), b = phaseLevels(*reference);
    double power = 0.0;
    for (const Complex& v : reference->values) power += std::norm(v);
    const double dark = 0.1 * std::sqrt(power / static_cast<double>(a.size()));
    std::size_t moved = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const int d = std::abs(a[i] - b[i]);
        moved += std::min(d, 256 - d) > 1 && std::abs(reference->values[i]) >= dark;
    }
    EXPECT_LE(moved, a.size() * 3 / 200);
    // A budget that holds no tile names the smallest grid: one point 0.1 m away at 532 nm and 8 um, its plane on it,
    // the band at the grid's limit (sine 0.03325): margins of ceil(2 x 0.1 x 0.03325 / 0.99889 / 8 um) = 833.
    HologramSettings small = smallGrid(1000, 0.1);
    small.tiled = true, small.memoryBudget = std::uint64_t{1} << 20;
    velmora::testing::TempDir folder;
    const auto refused = computeAndWriteTiles({{{0, 0, 0, 0, 0, 1.0f, 0}}, false, 1, 1}, small,
                                              {(folder.path() / "t").string(), {}, false});
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "the memory budget (1 MiB) holds no tile: a tile's grid needs more than 1666 x 1666 pixels");
    // Without a budget given: half of what is available (1 GiB of 2), 4 GiB where nothing is known.
    HologramSettings unbudgeted;
    const std::pair<std::string, std::uint64_t> roots[] = {{memoryRoot(folder, "2097152"), 1ull << 30},
                                                           {folder.file("none"), 4ull << 30}};
    for (const auto& [root, budget] : roots)
        EXPECT_EQ(memoryBudget((unbudgeted.memoryRoot = root, unbudgeted)), budget) << root;
}

// Tile names and labels carry the row and column padded to the digits of the last one, so that they
// sort in order: 10 rows (0 to 9) take one digit, 11 columns (0 to 10) two.
TEST(Tiles, NamesAndLabelsArePaddedToTheLastRowsAndColumnsDigits) {
    HologramSettings s = smallGrid(11, 5e-3);
    s.height = 10, s.tiled = true, s.tileSize = 1;
    velmora::testing::TempDir folder;
    const std::string prefix = (folder.path() / "t").string();
    std::vector<std::string> said;
    const auto written = computeAndWriteTiles({{{0, 0, 0, 0, 0, 1.0f, 0}}, false, 1, 1}, s, {prefix, {}, false},
                                              [&said](const std::string& line) { said.push_back(line); });
    ASSERT_TRUE(written) << written.error();
    std::vector<std::string> expected{prefix + "-tiles.txt"};
    for (int i = 0; i < 110; ++i) expected.push_back(formatText("%s-532nm-r%d-c%02d.png", prefix.c_str(), i / 11, i % 11));
    EXPECT_EQ(written->paths, expected);
    for (const char* line : {"tile 1 of 110: r0-c00 at 532 nm", "tile 110 of 110: r9-c10 at 532 nm"})
        EXPECT_NE(std::find(said.begin(), said.end(), line), said.end()) << line;
}

TEST(Colour, AWhitePointFocusesOnTheSamePixelInAllThreeChannels) {
    const HologramPoints white{{{0.1, -0.196, 0.0, 0.5, 1.0f, 1.0f, 1.0f}}};
    HologramSettings s = smallGrid(96, 20e-3);
    auto set = computeHolograms(white, s);
    ASSERT_TRUE(set) << set.error();
    ASSERT_EQ(set->channels.size(), 3u);
    Reconstruction reconstruction(*set, s);
    const auto channels = reconstruction.intensities(set->nearestDistance);
    ASSERT_TRUE(channels) << channels.error();
    for (const auto& intensity : *channels) {
        const auto peak = std::max_element(intensity.begin(), intensity.end()) - intensity.begin();
        // x = -0.1 mm: column 47.5 - 12.5; y = -0.196 mm: row 47.5 + 24.5.
        EXPECT_EQ((std::array{peak % 96, peak / 96}), (std::array<std::ptrdiff_t, 2>{35, 72}));
    }
    const RgbPicture picture = *reconstruction.refocus(set->nearestDistance);
    const std::uint8_t* centre = &picture.rgb[3 * (72 * 96 + 35)];
    EXPECT_EQ((std::array<int, 3>{centre[0], centre[1], centre[2]}), (std::array<int, 3>{255, 255, 255}));
    const RgbPicture device = *reconstruction.refocus(0.0);  // at the device itself its phase-only light is even
    EXPECT_EQ(std::count(device.rgb.begin(), device.rgb.end(), 255), std::ptrdiff_t(device.rgb.size()));
}

// The gap's bound at 450 nm, 8 um: 25 * 8 um / (450 nm / 16 um) = 7.11 mm. 4096 x 4096 grey, kept for the focus window:
// 83 bytes a pixel (the field 8, the padded transform 32, the padded spectrum 32, two intensities 8 and the picture 3)
// are 1.30 GiB, with an eighth and 64 MiB more 1.52 GiB.
TEST(Placement, RefusesWhatCannotMakeAHologramWithAReason) {
    const HologramPoints one{{{0, 0, 0, 0, 1, 1, 1}}, true, 1, 1}, nan{{{0, std::nan(""), 0, 0, 1, 1, 1}}, true, 1, 1};
    const float inf = std::numeric_limits<float>::infinity();
    const auto scaled = [](HologramPoints p, float xy, float z) { return p.scaleXy = xy, p.scaleZ = z, p; };
    const HologramPoints far{{{0, 0, 0, 0, 1, 1, 1}, {0, 0, -1e306, 0, 1, 1, 1}}, true, 1, 1};
    const HologramPoints lone{{{0, 0, -1e306, 0, 1, 1, 1}}, true, 1, 1};
    const HologramPoints wide{{{1e300, 0, 0, 0, 1, 1, 1}}, true, 3e38f, 1};
    const HologramPoints black{{{0, 0, 0, 0, 0, 0, 0}}, true, 1, 1}, deep{{{0, 0, 1e300, 0, 1, 1, 1}}, true, 1, 3e38f};
    velmora::testing::TempDir budget;
    const std::string oneGib = memoryRoot(budget, "1048576");
    const std::tuple<HologramPoints, double, std::optional<double>, int, const char*> cases[] = {
        {HologramPoints{}, 0.1, {}, 16, "no points"}, {nan, 0.1, {}, 16, "not a number"},
        {one, 0.5e-3, {}, 16, "at least 1 mm"},
        {scaled(one, 1, inf), 0.1, {}, 16, "the file's z scale (inf) must be a positive finite number"},
        {scaled(one, std::nanf(""), 1), 0.1, {}, 16, "xy scale (nan)"}, {scaled(one, 1, 0), 0.1, {}, 16, "z scale (0)"},
        {deep, 0.1, {}, 16, "the nearest point's depth (inf m) is not a finite length"},
        {far, 0.1, {}, 16, "red hologram has values that are not finite"},
        {lone, 0.1, {}, 16, "(-1e+303 m deep) to keep the hologram's distance"},
        {wide, 0.1, {}, 16, "point 0 lies too far away to place (-inf, 0 m across, 0.1 m deep)"},
        {one, 1e305, {}, 16, "red hologram has values that are not finite"},
        {black, 0.1, {}, 16, "every hologram came out blank"},
        {one, 20e-3, 7.1e-3, 16, "7.1 mm from the nearest point is too close to it for a hologram within 5 % of the "
                                 "direct sum; at this pitch it must be at least 7.11 mm"},
        {one, 20e-3, -1e-3, 16, "not in front of it"},
        {HologramPoints{{{0, 0, 0, 0, 0, 1, 0}}, false, 1, 1}, 0.1, {}, 4096, "the 4096 x 4096 hologram needs 1.5 GiB, 1.0 GiB available"}};
    for (const auto& [points, distance, gap, size, says] : cases) {
        HologramSettings s = smallGrid(size, distance);
        s.recordingGap = gap, s.memoryRoot = oneGib;
        const auto result = computeHolograms(points, s);
        const std::string said = result ? "a hologram" : result.error();
        EXPECT_NE(said.find(says), std::string::npos) << said;
    }
    HologramSettings fitted = smallGrid(16);
    fitted.holoFit = 0.5;  // one point has no width to fit
    EXPECT_NE(computeHolograms(one, fitted).error().find("the points have no lateral extent"), std::string::npos);
    // The smallest grid at the nearest distance: computed, with a word where zones must keep a gap. At 2.2 um the red
    // zones are too wide-angled for the near-zone table, and the blue gap is 25 x 2.2 um / (0.45 / 4.4) = 0.538 mm.
    std::string warned;
    HologramSettings fine = smallGrid(2, 1e-3);
    fine.pitch = 2.2e-6;
    EXPECT_TRUE(computeHolograms(one, fine, [&](const std::string& s) { warned += s; }));
    EXPECT_NE(warned.find("warning: at 1 mm the recording plane lies 0.5 mm from the object, closer than the 0.538 mm"),
              std::string::npos) << warned;
    HologramSettings atTheBound = smallGrid(16, 20e-3);
    atTheBound.recordingGap = 7.12e-3;
    EXPECT_TRUE(computeHolograms(one, atTheBound));
}

// x is mirrored and scaled by scaleXy * unit, z by scaleZ * unit; the hologram lies `distance` beyond the nearest
// point. Amplitudes are the square roots of the decoded sRGB: 0.02 / 12.92 on the straight part, ((0.5 + 0.055) /
// 1.055)^2.4 = 0.214041 on the curve, clamped to [0, 1].
TEST(Placement, PointsLandWhereTheFrameSaysWithDecodedColourAndSettingsOutOfRangeAreRefused) {
    HologramPoints input{{{2, 3, -1, 0.7, 0.02f, 0.5f, 1.0f}, {-4, 0, -5, 0, 0, 1.5f, -0.2f}}, true, 2, 0.5};
    const auto placed = placePoints(input, smallGrid(64));
    ASSERT_TRUE(placed) << placed.error();
    for (int n = 0; n < 2; ++n) {
        const PlanePoint& p = placed->points[n];
        EXPECT_NEAR(p.x, n ? 8e-3 : -4e-3, 1e-12);
        EXPECT_NEAR(p.y, n ? 0 : 6e-3, 1e-12);
        EXPECT_NEAR(p.depth, n ? 0.102 : 0.1, 1e-12);
        EXPECT_EQ(p.phase, n ? 0 : 0.7);
    }
    const std::vector<std::vector<double>> amplitudes{{0.0393445, 0}, {0.4626458, 1}, {1, 0}};
    for (int c = 0; c < 3; ++c)
        for (int n = 0; n < 2; ++n) EXPECT_NEAR(placed->amplitudes[c][n], amplitudes[c][n], 1e-7) << c << n;
    const HologramSet& frame = placed->frame;
    EXPECT_NEAR(frame.middleDistance, 0.101, 1e-12);
    EXPECT_NEAR(frame.farthestDistance, 0.102, 1e-12);
    EXPECT_EQ(std::pair(frame.nearestDistance, frame.unit), std::pair(0.1, 1e-3));
    EXPECT_EQ(std::pair(frame.channels[2].name, frame.channels[2].wavelength), std::pair(std::string("blue"), 450e-9));
    input.colour = false;  // grey from the green level; the span of 6 units by 2 filling half of 32 pitches
    HologramSettings fitted = smallGrid(64);
    fitted.height = 32, fitted.holoFit = 0.5;
    const auto grey = placePoints(input, fitted);
    ASSERT_TRUE(grey) << grey.error();
    EXPECT_NEAR(grey->amplitudes[0][0], 0.4626458, 1e-7);
    EXPECT_NEAR(grey->frame.unit, 0.5 * 32 * kPitch / 12, 1e-15);
    HologramPoints moved = input;  // the fit follows the extent, not where the object lies
    for (auto& p : moved.points) p.x += 100, p.y -= 50;
    EXPECT_NEAR(placePoints(moved, fitted)->frame.unit, 0.5 * 32 * kPitch / 12, 1e-15);
    EXPECT_EQ(grey->frame.channels[0].name, "grey");
    const std::pair<std::function<void(HologramSettings&)>, const char*> cases[] = {
        {[](auto& s) { s.pitch = 0; }, "the pixel pitch and the unit must be positive"},
        {[](auto& s) { s.unit = 0; }, "the pixel pitch and the unit must be positive"},
        {[](auto& s) { s.holoFit = 0.0; }, "the fit fraction must be in (0, 1]"},
        {[](auto& s) { s.holoFit = 1.001; }, "the fit fraction must be in (0, 1]"},
        {[](auto& s) { s.width = 1; }, "the hologram size must be 2 to 16384 pixels each way; velmora-holo"},
        {[](auto& s) { s.height = 16385; }, "2 to 16384 pixels"},
        {[](auto& s) { s.tiled = true, s.width = 1000001; }, "2 to 1000000 pixels each way"},
        {[](auto& s) { s.recordingZone = 0; }, "the recording zone must be at least one pixel"},
        {[](auto& s) { s.recordingGap = s.distance; }, "the recording plane must lie between the object and"},
        {[](auto& s) { s.width = s.height = 2, s.holoFit = 1.0, s.recordingZone = 1; }, ""},
        {[](auto& s) { s.tiled = true, s.width = 1000000; }, ""}};
    for (const auto& [change, says] : cases) {
        HologramSettings s = smallGrid(16);
        change(s);
        const auto result = placePoints(input, s);
        const std::string said = result ? "" : result.error();
        EXPECT_TRUE(said.empty() ? !*says : *says && said.find(says) != std::string::npos) << said;
    }
}

// Measured plans are kept in a folder made for them; a FIFO in the wisdom file's place would block its reader for ever.
TEST(Placement, WisdomIsKeptButAWisdomFileThatIsNoRegularFileIsLeftAlone) {
    velmora::testing::TempDir folder;
    ASSERT_EQ(::mkfifo(folder.file("fftwf-wisdom").c_str(), 0600), 0);
    HologramSettings s = smallGrid(16);
    s.planning = FftPlanning::Measure, s.wisdomFolder = folder.path().string();
    std::string said;
    EXPECT_TRUE(computeHolograms({{{0, 0, 0, 0, 0, 1, 0}}, false, 1, 1}, s, [&](const std::string& step) { said += step; }));
    EXPECT_TRUE(said.find("(a size new to this machine") != said.npos &&
                said.find("wisdom is not a regular file") != said.npos) << said;
    EXPECT_TRUE(std::filesystem::is_fifo(folder.file("fftwf-wisdom")));
    s.width = s.height = 8, s.wisdomFolder = folder.file("cache");  // a size not measured yet
    EXPECT_TRUE(computeHolograms({{{0, 0, 0, 0, 0, 1, 0}}, false, 1, 1}, s, [](const std::string&) {}));
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.file("cache/fftwf-wisdom")));
}

// Stopped after the last step still gives no set.
TEST(Placement, ACancelledComputationStopsAndGivesNoHologram) {
    std::atomic<bool> cancel = true;
    ComplexField untouched(16, 16, kPitch);
    addPointField(untouched, {{0, 0, 3e-3, 1.0, 0.0}}, {kLambda, 0.5, 2, true, &cancel});
    EXPECT_TRUE(std::all_of(untouched.values.begin(), untouched.values.end(), [](auto v) { return v == Complex{}; }));
    const HologramPoints one{{{0, 0, 0, 0, 0, 1, 0}}, false, 1, 1};
    std::vector<std::string> steps;
    const auto stopped = computeHolograms(one, smallGrid(16), [&](const std::string& s) { steps.push_back(s); }, &cancel);
    EXPECT_EQ(stopped ? "a hologram" : stopped.error(), kCancelled);
    EXPECT_EQ(steps, std::vector<std::string>{"planning the 32 x 32 transform"});
    cancel = false;
    const auto late = computeHolograms(one, smallGrid(16), [&](const std::string& s) {
        cancel = s == "propagating the grey field to the hologram";
    }, &cancel);
    EXPECT_EQ(late ? "a hologram" : late.error(), kCancelled);
    // 20 and 300 mm away, fifty points each get a plane; cancelled at the far one, the field goes no further.
    HologramPoints deep{std::vector<HologramPoint>(100, {0, 0, 0, 0, 0, 1, 0}), false, 1, 1};
    for (std::size_t i = 50; i < 100; ++i) deep.points[i].z = -280;
    steps.clear();
    const auto early = computeHolograms(deep, smallGrid(128, 20e-3), [&](const std::string& s) {
        steps.push_back(s), cancel = s.rfind("recording", 0) == 0;
    }, &cancel);
    EXPECT_EQ(early ? "a hologram" : early.error(), kCancelled);
    EXPECT_EQ(steps.back(), "recording 100 points for the grey hologram on 2 planes");
}

TEST(Outputs, PhaseMapIsFixedAndNpyCarriesComplex64) {
    EXPECT_EQ((std::array{phaseLevel(-kPi), phaseLevel(0.0), phaseLevel(kPi / 2), phaseLevel(kPi)}),
              (std::array<std::uint8_t, 4>{0, 128, 192, 0}));  // pi wraps
    EXPECT_DOUBLE_EQ(levelPhase(64), -kPi / 2);
    ComplexField g(2, 1, kPitch);  // phases pi (level 0) and pi/2 (level 192) at unit amplitude
    g.at(0, 0) = {-2.0, 0.0};
    g.at(1, 0) = {0.0, 3.0};
    const ComplexField unit = phaseOnly(g);
    EXPECT_LT(std::abs(unit.at(0, 0) - Complex(-1, 0)) + std::abs(unit.at(1, 0) - Complex(0, 1)), 1e-6);
    ComplexField f(3, 2, kPitch);
    f.at(1, 0) = {0.5, -2.0};
    velmora::testing::TempDir folder;
    auto file = OutputFile::create(folder.file("f.npy"));
    ASSERT_TRUE(file && writeNpy(*file, f) && file->commit());
    std::ifstream in(folder.file("f.npy"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<std::uint8_t> npy(text.begin(), text.end());
    EXPECT_EQ(text.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
    EXPECT_NE(text.find("'descr': '<c8', 'fortran_order': False, 'shape': (2, 3)"), std::string::npos);
    const std::size_t data = 10 + (npy[8] | npy[9] << 8);
    EXPECT_EQ(data % 64, 0u);
    ASSERT_EQ(npy.size(), data + 6 * 8);
    float pair[2];
    std::memcpy(pair, &npy[data + 8], sizeof pair);
    EXPECT_EQ((std::array{pair[0], pair[1]}), (std::array{0.5f, -2.0f}));
}

TEST(Encoding, LevelsOverARangeAndAMeasuredTablePickTheNearestPhase) {
    DeviceSettings device;
    device.levels = 4;
    device.phaseRange = kPi;  // greys 0..3 at -pi/2, -pi/4, 0, pi/4
    const PhaseLevels even(device, kLambda);
    EXPECT_EQ((std::array{even.level(0.2), even.level(0.6), even.level(3.0), even.level(-1.0)}),
              (std::array<std::uint16_t, 4>{2, 3, 0, 1}));  // 3.0 lies nearer -pi/2 round the circle
    EXPECT_DOUBLE_EQ(even.phase(1), -kPi / 4);
    testing::TempDir dir;
    std::ofstream(dir.file("lut.txt")) << "# grey phase\n0 0\n1\t1.5\n\n2 2.5  # comment\n3 -3.0\n";
    auto lut = readPhaseLut(dir.file("lut.txt"));
    ASSERT_TRUE(lut) << lut.error();
    device.luts = {{638e-9, *lut}};
    const PhaseLevels measured(device, 638e-9);
    EXPECT_EQ((std::array{measured.level(1.4), measured.level(3.1), measured.level(-1.0), measured.level(2.2)}),
              (std::array<std::uint16_t, 4>{1, 3, 0, 2}));  // 3.1 lies 0.18 from -3.0 round the circle
    EXPECT_DOUBLE_EQ(measured.phase(2), 2.5);
    EXPECT_EQ(PhaseLevels(device, kLambda).level(-kPi / 2), 0);  // the table is for 638 nm only
    EXPECT_EQ(parsePhaseLut("0 0\n0 1\n").error(), "line 2: grey level 0 again");
    EXPECT_EQ(parsePhaseLut("0 0\n1 x\n").error(), "line 2: not a grey level (0 to 65535) and a phase in radians");
    EXPECT_TRUE(parsePhaseLut("0 0\n65535 1\n"));  // the range the message names, both ends in it
    EXPECT_FALSE(parsePhaseLut("65536 1\n"));
}

TEST(Encoding, DoublePhasePairsAndTheCarriersFirstOrderGiveTheFieldBack) {
    const std::complex<double> u = std::polar(0.5, 1.0);
    ComplexField f(2, 2, kPitch);
    for (auto& v : f.values) v = u;
    DeviceSettings device;
    device.encoding = HologramEncoding::DoublePhase;
    const HologramPicture picture = encodeHologram(f, kLambda, device, 1.0);
    EXPECT_EQ(picture.levels[0], phaseLevel(1.0 + kPi / 3));  // acos(0.5); the checkerboard's other sign beside it
    const ComplexField pairs = deviceField(picture, kPitch, kLambda, device);
    for (int row = 0; row < 2; ++row)
        EXPECT_LT(std::abs(0.5 * (valueAt(pairs, 0, row) + valueAt(pairs, 1, row)) - u), 0.02) << row;
    HologramSet set;
    set.channels = {{"red", 638e-9, f}, {"green", 520e-9, f}};
    for (auto& v : set.channels[1].field.values) v *= 4.0;
    EXPECT_NEAR(encodingScale(set, device), 2.0, 1e-6);
    ComplexField wide(64, 8, kPitch);
    for (auto& v : wide.values) v = u;
    device.encoding = HologramEncoding::Amplitude;  // I = 0.5 + 0.25 (u e^ic + conj): the +1 order is u / 4
    const ComplexField order = deviceField(encodeHologram(wide, kLambda, device, 1.0), kPitch, kLambda, device);
    EXPECT_LT(std::abs(valueAt(order, 32, 4) - u / 4.0), 0.005);
    const auto bits = diffuseErrors(std::vector<double>(256, 0.25), 16, 16);
    EXPECT_NEAR(std::count(bits.begin(), bits.end(), 1), 64, 4);
}

TEST(Encoding, SixteenAndOneBitPicturesReadBackWithTheirSamples) {
    const auto readBack = [](const HologramPicture& picture, png_uint_32 format, auto sample) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        const auto png = encodePicturePng(picture);
        std::vector<decltype(sample)> samples(picture.levels.size());
        EXPECT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size()));
        image.format = format;
        EXPECT_TRUE(png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr));
        return std::pair{png.size() > 24 ? png[24] : 0, std::vector<int>(samples.begin(), samples.end())};
    };
    const HologramPicture deep{2, 2, 16, {0, 1, 4660, 65535}};
    EXPECT_EQ(readBack(deep, PNG_FORMAT_LINEAR_Y, std::uint16_t{}), std::pair(16, std::vector<int>{0, 1, 4660, 65535}));
    const HologramPicture mask{9, 1, 1, {1, 0, 0, 0, 0, 0, 0, 1, 1}};  // the ninth pixel starts a second byte
    EXPECT_EQ(readBack(mask, PNG_FORMAT_GRAY, std::uint8_t{}),
              std::pair(1, std::vector<int>{255, 0, 0, 0, 0, 0, 0, 255, 255}));
    const auto png = encodePicturePng(mask);  // nothing after the end chunk
    ASSERT_GE(png.size(), 12u);
    EXPECT_EQ(std::string(png.end() - 12, png.end()), std::string("\0\0\0\0IEND\xAE\x42\x60\x82", 12));
}

TEST(Score, HandComputedFiguresAndTheIdealImagesPixels) {
    const std::vector<char> all(64, 1);
    const auto image = [](std::function<double(int)> value) {
        ScoreImage made{8, 8, std::vector<double>(64)};
        for (int i = 0; i < 64; ++i) made.values[i] = value(i);
        return made;
    };
    const auto flat = image([](int) { return 100.0; }), brighter = image([](int) { return 110.0; });
    const auto checker = [&](double high) { return image([high](int i) { return (i / 8 + i) % 2 ? high : 0.0; }); };
    // One of 64 pixels 64 off: mean squared error 64 -> 10 log10(255^2 / 64).
    EXPECT_NEAR(peakSignalToNoise(image([](int i) { return i == 9 ? 164.0 : 100.0; }), flat, all, 255), 30.0690, 1e-4);
    // Only the masked pixels count: that pixel alone gives 10 log10(255^2 / 4096); no pixel at all, no figure (0).
    std::vector<char> one(64, 0), none(64, 0);
    one[9] = 1;
    EXPECT_NEAR(peakSignalToNoise(image([](int i) { return i == 9 ? 164.0 : 100.0; }), flat, one, 255), 12.0072, 1e-4);
    EXPECT_EQ(peakSignalToNoise(brighter, flat, none, 255), 0.0);
    EXPECT_DOUBLE_EQ(structuralSimilarity(checker(200), checker(200), all, 255), 1.0);
    // Offset only: (2 100 110 + C1) / (100^2 + 110^2 + C1), C1 = 2.55^2.
    EXPECT_NEAR(structuralSimilarity(brighter, flat, all, 255), 0.995476, 1e-6);
    // Contrast halved with mean 50 against 100, variance 2500 against 10000:
    // (10000 + C1) / (12500 + C1) * (10000 + C2) / (12500 + C2), C2 = 7.65^2.
    EXPECT_NEAR(structuralSimilarity(checker(100), checker(200), all, 255), 0.640829, 2e-4);
    EXPECT_DOUBLE_EQ(speckleContrast(checker(4), all), 1.0);  // mean 2, variance 4
    // 40 rows, the top 20 lit, seen at half the level: scored where every window lies in the dark half, alike.
    ScoreImage lit{8, 40, std::vector<double>(320, 0.0)}, half = lit;
    std::fill_n(lit.values.begin(), 160, 100.0), std::fill_n(half.values.begin(), 160, 50.0);
    std::vector<char> dark(320, 0);
    std::fill(dark.begin() + 26 * 8, dark.end(), 1);
    EXPECT_NEAR(structuralSimilarity(half, lit, dark, 255), 1.0, 1e-12);
    // A dark image, or no pixel at all, has no speckle: 0, never a division by a zero mean.
    EXPECT_EQ(std::pair(speckleContrast(checker(0), all), speckleContrast(checker(2), none)), std::pair(0.0, 0.0));
    // 4 x 3 grid: column 3 of row 0 lies at (1.5, 1) pitches; (-1, -1) falls between columns 0 and 1 of row 2.
    const ScoreImage ideal = idealImage({{1.5 * kPitch, kPitch, 0.1}, {-kPitch, -kPitch, 0.1}}, {2.0, 1.0}, 4, 3, kPitch);
    for (const auto& [at, value] : {std::pair{3, 4.0}, {8, 0.5}, {9, 0.5}}) EXPECT_NEAR(ideal.values[at], value, 1e-12);
    EXPECT_NEAR(std::accumulate(ideal.values.begin(), ideal.values.end(), 0.0), 5.0, 1e-12);
    // Three times as bright, with stray light beyond the points' neighbours: still a perfect match.
    ScoreImage seen = ideal;
    for (double& v : seen.values) v *= 3;
    seen.values[0] = 50;
    EXPECT_TRUE(std::isinf(scoreAgainstIdeal(seen, ideal).psnr));
    EXPECT_FALSE(std::isnan(scoreAgainstIdeal(ScoreImage{4, 3, std::vector<double>(12)}, ideal).psnr));  // black
}

}  // namespace
}  // namespace velmora
