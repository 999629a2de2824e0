// The number texts against the C library's printf, the independent oracle.

#include "pointfile/NumberText.h"
#include "pointfile/PointValues.h"

#include <gtest/gtest.h>
#include <cstring>
#include <limits>
#include <random>

namespace velmora {
namespace {

std::string printfText(const char* format, double value) {
    char buffer[512];
    return std::string(buffer, std::size_t(std::snprintf(buffer, sizeof buffer, format, value)));
}

void expectSameAsPrintf(double value) {
    ASSERT_EQ(fixed6(value), printfText("%f", value)) << std::hexfloat << value;
    ASSERT_EQ(fixed1(value), printfText("%.1f", value)) << std::hexfloat << value;
}

TEST(NumberTextTest, NumbersPrintAsPrintfDoes) {
    std::mt19937_64 engine(20240611);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-60, 60);  // across the 2^43 fast-path limit
    for (int i = 0; i < 200000; ++i) expectSameAsPrintf(std::ldexp(mantissa(engine), exponent(engine)));
    for (int i = 0; i < 20000; ++i) {  // raw bit patterns: subnormals, huge values, NaNs
        const std::uint64_t bits = engine();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        expectSameAsPrintf(value);
    }
    // k / 128 has seven decimals ending in 5 and k / 4 two: ties for %f and %.1f.
    for (int k = -300; k <= 300; ++k) expectSameAsPrintf(k / 128.0), expectSameAsPrintf(k / 4.0);
    for (double v : {0.0, -0.0, -1e-9, 4.9999999e-7, -5e-7, 0.9999995, std::numeric_limits<double>::max(),
                     std::numeric_limits<double>::denorm_min(), -std::numeric_limits<double>::infinity()})
        expectSameAsPrintf(v);
    char buffer[32];
    for (long long v : {0LL, -1LL, 9LL, 10LL, 2147483647LL, -2147483648LL}) EXPECT_EQ(std::string(buffer, appendInt(buffer, v)), std::to_string(v));
    for (int r = 0; r <= RandomGenerator::kMax; ++r) ASSERT_EQ(fixed6(phaseOfDraw(r)), printfText("%f", phaseOfDraw(r))) << r;
    for (int c = 0; c < 256; ++c) ASSERT_EQ(fixed6(colourFraction(std::uint8_t(c))), printfText("%f", c / 255.0)) << c;
}

TEST(PointValuesTest, GreyLevelsWeighTheChannels) {  // (128 × 0.78 + 255 × 0.12) × the float 1/255
    EXPECT_EQ(fixed6(greyLevel(255, 128, 0)), "0.511529");
    EXPECT_NEAR(greyLevel(0, 0, 1), 0.1 / 255.0, 1e-10);
}

}  // namespace
}  // namespace velmora
