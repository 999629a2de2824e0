// The number texts against the C library's printf, the independent oracle:
// random doubles over many magnitudes, the values that round to a tie, signed
// zeros and the per-point values of every possible input.

#include "export/NumberText.h"

#include "export/PointValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

namespace velmora {
namespace {

std::string printfText(const char* format, double value) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

void expectSameAsPrintf(double value) {
    EXPECT_EQ(fixed6(value), printfText("%f", value)) << std::hexfloat << value;
    EXPECT_EQ(fixed1(value), printfText("%.1f", value)) << std::hexfloat << value;
}

TEST(NumberTextTest, RandomDoublesPrintAsPrintfDoes) {
    std::mt19937_64 engine(20240611);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-60, 60);  // across the 2^43 fast-path limit
    for (int i = 0; i < 200000; ++i) expectSameAsPrintf(std::ldexp(mantissa(engine), exponent(engine)));
    // Raw bit patterns reach every magnitude, subnormals and huge values.
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t bits = engine();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        expectSameAsPrintf(value);
    }
}

TEST(NumberTextTest, TiesSignedZerosAndSpecialValues) {
    // Values exactly halfway between two six-decimal texts: k / 2^7 has seven
    // decimals ending in 5.
    for (int k = -300; k <= 300; ++k) expectSameAsPrintf(k / 128.0);
    for (int k = -300; k <= 300; ++k) expectSameAsPrintf(k / 4.0);  // ties for %.1f
    for (double v : {0.0, -0.0, -1e-9, 1e-9, -4.9e-7, 4.9999999e-7, 5e-7, -5e-7, 0.9999995, 1e300, -3.4e38,
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::denorm_min(),
                     std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity()})
        expectSameAsPrintf(v);
    EXPECT_EQ(fixed6(std::nan("")), printfText("%f", std::nan("")));
}

TEST(NumberTextTest, IntegersPrintAsPrintfDoes) {
    for (std::int64_t v : {0LL, 1LL, -1LL, 9LL, 10LL, 2147483647LL, -2147483648LL}) {
        char buffer[32];
        char* end = appendInt(buffer, v);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%lld", static_cast<long long>(v));
        EXPECT_EQ(std::string(buffer, end), expected);
    }
}

TEST(PointValuesTest, EveryPhaseAndFractionPrintsAsPrintfDoes) {
    for (int r = 0; r <= RandomGenerator::kMax; ++r) {
        const double phase = phaseOfDraw(r);
        ASSERT_GE(phase, 0.0);
        ASSERT_LT(phase, 6.28318);
        ASSERT_EQ(fixed6(phase), printfText("%f", phase)) << r;
    }
    for (int c = 0; c < 256; ++c)
        ASSERT_EQ(fixed6(colourFraction(static_cast<std::uint8_t>(c))), printfText("%f", c / 255.0)) << c;
}

TEST(PointValuesTest, WorkedValues) {
    // r = 16384: 16384 × 3.0518509447574615e-05 = 0.50001525..., times 6.28318.
    EXPECT_EQ(fixed6(phaseOfDraw(16384)), "3.141686");
    // (255, 128, 0): (128 × 0.78 + 0) + 255 × 0.12 = 130.44, / 255 ≈ 0.511529.
    EXPECT_EQ(fixed6(greyLevel(255, 128, 0)), "0.511529");
    // White weighs to 255 and the float 1/255 makes it 1.0000000591.
    EXPECT_NEAR(greyLevel(255, 255, 255), 1.0000000591, 1e-10);
    EXPECT_EQ(fixed6(greyLevel(255, 255, 255)), "1.000000");
    // The float 1/255 is 6e-8 relative above the true one.
    EXPECT_NEAR(greyLevel(0, 0, 1), 0.1 / 255.0, 1e-10);
    RandomGenerator g;
    g.seed(99);
    RandomGenerator copy = g;
    EXPECT_EQ(randomPhase(g), phaseOfDraw(copy.next()));
}

}  // namespace
}  // namespace velmora
