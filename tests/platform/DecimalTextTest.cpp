// Numbers typed into dialogs and on the command line, and the texts of the
// boxes, under a decimal-comma locale as a German desktop sets it.

#include "platform/DecimalText.h"
#include "platform/Diagnostics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace velmora {
namespace {

class DecimalCommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_F(DecimalCommaLocale, NumbersAreReadAndShownWithAPoint) {
    EXPECT_EQ(parseDecimal("0.5"), 0.5f);
    EXPECT_EQ(parseDecimal("  -2.5\t"), -2.5f);
    EXPECT_EQ(parseDecimal("+1e2"), 100.0f);
    EXPECT_EQ(parseDecimal(".5"), 0.5f);
    EXPECT_EQ(parseDecimal("3.4e38"), 3.4e38f);
    for (const char* bad : {"", "  ", "abc", "3x", "0,5", "--1", "+-1", "nan", "-inf", "infinity", "0x1p3",
                            "1e39", "-1e39", "1e999"})
        EXPECT_FALSE(parseDecimal(bad)) << '"' << bad << '"';
    EXPECT_EQ(generalText(30.0f), "30");
    EXPECT_EQ(generalText(0.5f), "0.5");
    EXPECT_EQ(generalText(1.0f / 3.0f), "0.333333");  // six significant digits
    EXPECT_EQ(formatText("maxx:%f minx:%g", 4.0, 0.5), "maxx:4.000000 minx:0.5");
}

}  // namespace
}  // namespace velmora
