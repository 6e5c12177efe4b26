// The locale-free number texts against the C library in the "C" locale, then unchanged under a
// decimal-comma locale.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "decimal_comma_locale.h"
#include "platform/number_text.h"

namespace vantrel {
namespace {

const std::vector<std::string> kReadTexts = {
    "", "abc", "0.70", "  0.70xyz", "\t-12.5e2 ms", "+3", "-", "+-5", "-+5", ".5", "5.", ".", "-.", "1e", "1e+",
    "1E-3", "2.5E", "0x1A", "0x", "0x.8p1", "0xg", "inf", "-Infinity", "nan", "1,5", "007", "1e400", "-1e400",
    "1e-400", "123456789012345678901234567890", "0.000000000000000000000000000000000000000000000001e-300",
    "1e99999999999999999999", "4294968334", "-9223372036854775808", "9223372036854775808", "-99999999999999999999",
    "  +42abc", "12 34", "9.999e307", "\v7",
};

TEST(NumberText, ReadsAsStrtodAndStrtolInTheCLocale)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    for (const std::string& text : kReadTexts) {
        SCOPED_TRACE("'" + text + "'");
        const double expected = std::strtod(text.c_str(), nullptr);
        const double got = leadingDecimal(text);
        if (std::isnan(expected))
            EXPECT_TRUE(std::isnan(got));
        else
            EXPECT_EQ(got, expected);
        EXPECT_EQ(std::signbit(got), std::signbit(expected));
        EXPECT_EQ(leadingInteger(text), std::strtol(text.c_str(), nullptr, 10));
    }
}

TEST(NumberText, WritesAsPrintfInTheCLocale)
{
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    std::vector<double> values = {0.0, -0.0, 0.125, 0.375, 2.5, -2.5, 0.005, 1.005, 10.11, -9.91, 71.33, 625.0, 1e300,
                                  -1e-300, 5e-324, std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> exponent(-8, 8);
    for (int i = 0; i < 4000; ++i)
        values.push_back((i % 2 ? -1 : 1) * std::pow(10.0, exponent(random)));
    for (int i = 0; i < 1000; ++i) // exact halves of the last printed digit
        values.push_back(static_cast<int>(random() % 20000) / 8.0 - 1250.0);
    char expected[512];
    for (const double v : values)
        for (const int decimals : {0, 1, 2, 3, 6}) {
            std::snprintf(expected, sizeof expected, "%.*f", decimals, v);
            ASSERT_EQ(fixedText(v, decimals), expected) << decimals;
            std::snprintf(expected, sizeof expected, "%+.*f", decimals, v);
            ASSERT_EQ(fixedText(v, decimals, true), expected) << decimals;
        }
}

TEST(NumberText, ParsesWholeDecimalsOnly)
{
    double v = -1;
    EXPECT_TRUE(parseDecimal("2.5", v));
    EXPECT_EQ(v, 2.5);
    EXPECT_TRUE(parseDecimal("+1e3", v));
    EXPECT_EQ(v, 1000);
    EXPECT_TRUE(parseDecimal("-.5", v));
    EXPECT_EQ(v, -0.5);
    v = 9;
    for (const char* bad : {"", "2,5", "2.5x", " 2.5", "inf", "nan", "-", "1e999", "0x10", "+-1"})
        EXPECT_FALSE(parseDecimal(bad, v)) << bad;
    EXPECT_EQ(v, 9); // a refused text leaves the value alone
}

TEST(NumberText, ParsesWholeNumbersAsTypedOnly)
{
    EXPECT_EQ(parseWholeNumber("1500", 1, 96000), 1500);
    EXPECT_EQ(parseWholeNumber("007", 0, 10), 7);
    EXPECT_EQ(parseWholeNumber("0", 0, 0), 0);
    for (const char* bad : {"", "1,5e3x", "abc", "1e3", "+5", "-5", " 5", "5 ", "2.0", "96001", "99999999999999999999"})
        EXPECT_FALSE(parseWholeNumber(bad, 1, 96000)) << bad;
}

TEST(NumberText, IgnoresADecimalCommaLocale)
{
    const std::string dir = testing::commaLocaleDir();
    if (dir.empty())
        GTEST_SKIP() << "localedef cannot build " << testing::kCommaLocale;
    ::setenv("LOCPATH", dir.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, testing::kCommaLocale), nullptr);
    char probe[32];
    std::snprintf(probe, sizeof probe, "%.2f", 0.7);
    EXPECT_STREQ(probe, "0,70"); // the locale is in force for the C library
    EXPECT_EQ(leadingDecimal("0.70"), 0.7);
    EXPECT_EQ(leadingDecimal("1,5"), 1.0);
    EXPECT_EQ(fixedText(625.0, 3), "625.000");
    EXPECT_EQ(fixedText(-9.914, 2, true), "-9.91");
    double v = 0;
    EXPECT_TRUE(parseDecimal("0.83", v));
    EXPECT_EQ(v, 0.83);
    std::setlocale(LC_ALL, "C");
}

} // namespace
} // namespace vantrel
