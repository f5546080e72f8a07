#include "settings/AppError.h"
#include "settings/NumberFormat.h"

#include "settings/ScopedSeparator.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tarvio;
using tarvio::test::ScopedSeparator;

TEST(FormatGeneral, wholeAndFractionalNumbers_shortestText) {
    EXPECT_EQ(formatGeneral(0.0, '.'), "0");
    EXPECT_EQ(formatGeneral(-0.0, '.'), "0");
    EXPECT_EQ(formatGeneral(200.0, '.'), "200");
    EXPECT_EQ(formatGeneral(-16.0, '.'), "-16");
    EXPECT_EQ(formatGeneral(59.5, '.'), "59.5");
    EXPECT_EQ(formatGeneral(0.2 * 1000, '.'), "200");
    EXPECT_EQ(formatGeneral(0.1 + 0.2, '.'), "0.3");
    EXPECT_EQ(formatGeneral(0.0125 * 1000, '.'), "12.5");
    EXPECT_EQ(formatGeneral(122.06, '.'), "122.06");
    EXPECT_EQ(formatGeneral(1.0 / 3.0, '.'), "0.333333333333333");
    EXPECT_EQ(formatGeneral(2.0 / 3.0, '.'), "0.666666666666667");
}

TEST(FormatGeneral, magnitudeLimits_switchToScientific) {
    EXPECT_EQ(formatGeneral(0.00001, '.'), "0.00001");
    EXPECT_EQ(formatGeneral(0.000012, '.'), "0.000012");
    EXPECT_EQ(formatGeneral(0.000001, '.'), "1E-6");
    EXPECT_EQ(formatGeneral(-0.0000015, ','), "-1,5E-6");
    EXPECT_EQ(formatGeneral(999999999999999.0, '.'), "999999999999999");
    EXPECT_EQ(formatGeneral(1e15, '.'), "1E15");
    EXPECT_EQ(formatGeneral(1.25e20, '.'), "1.25E20");
    // Rounding to 15 digits can carry into a new integer digit.
    EXPECT_EQ(formatGeneral(9999999999999999.0, '.'), "1E16");
    EXPECT_EQ(formatGeneral(std::numeric_limits<double>::infinity(), '.'), "INF");
}

TEST(FormatGeneral, defaultLocale_usesItsSeparator) {
    {
        ScopedSeparator comma(ScopedSeparator::comma());
        EXPECT_EQ(decimalSeparator(), ',');
        EXPECT_EQ(formatGeneral(59.5), "59,5");
    }
    ScopedSeparator point(ScopedSeparator::point());
    EXPECT_EQ(decimalSeparator(), '.');
    EXPECT_EQ(formatGeneral(59.5), "59.5");
}

TEST(ParseFloat, wellFormedText_parses) {
    EXPECT_EQ(tryParseFloat("59.5", '.'), 59.5);
    EXPECT_EQ(tryParseFloat(" -12.5 ", '.'), -12.5);
    EXPECT_EQ(tryParseFloat("+3", '.'), 3.0);
    EXPECT_EQ(tryParseFloat("1E-6", '.'), 1e-6);
    EXPECT_EQ(tryParseFloat("1,25e+3", ','), 1250.0);
    EXPECT_EQ(tryParseFloat(".5", '.'), 0.5);
    EXPECT_EQ(tryParseFloat("5.", '.'), 5.0);
}

TEST(ParseFloat, malformedText_refused) {
    for (const char* text : {"", " ", "abc", "1.2.3", "12a", "e5", "1e", "--1", ".", "inf", "nan",
                             "0x10", "1e999", "1 2"})
        EXPECT_FALSE(tryParseFloat(text, '.').has_value()) << text;
    // The other locale's separator is not a number here.
    EXPECT_FALSE(tryParseFloat("59.5", ',').has_value());
    EXPECT_FALSE(tryParseFloat("59,5", '.').has_value());
}

TEST(ParseFloat, roundTripThroughFormat_keepsValue) {
    for (double v : {59.5, 122.06, -0.0125, 1e-7, 3.14159265358979, 123456789012345.0}) {
        const auto back = tryParseFloat(formatGeneral(v, ','), ',');
        ASSERT_TRUE(back.has_value()) << v;
        EXPECT_DOUBLE_EQ(*back, v);
    }
}

TEST(ParseFloat, badText_raisesMessageWithText) {
    ScopedSeparator point(ScopedSeparator::point());
    try {
        parseFloat("12,5");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'12,5' is not a valid floating point value");
    }
    ScopedSeparator comma(ScopedSeparator::comma());
    EXPECT_EQ(parseFloat("12,5"), 12.5);
}

TEST(ParseInt, decimalAndHexadecimal_parse) {
    EXPECT_EQ(tryParseInt("200"), 200);
    EXPECT_EQ(tryParseInt("-16"), -16);
    EXPECT_EQ(tryParseInt(" +71 "), 71);
    EXPECT_EQ(tryParseInt("0x64"), 100);
    EXPECT_EQ(tryParseInt("0XfF"), 255);
    EXPECT_EQ(tryParseInt("$64"), 100);
    EXPECT_EQ(tryParseInt("-$10"), -16);
    EXPECT_EQ(tryParseInt("2147483647"), 2147483647);
    EXPECT_EQ(tryParseInt("-2147483648"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(tryParseInt("0x7fffffff"), 2147483647);
}

TEST(ParseInt, malformedOrOutOfRange_refused) {
    for (const char* text : {"", "abc", "12.5", "0x", "$", "0xG1", "1e3", "2147483648",
                             "-2147483649", "0x80000000", "99999999999999999999", "- 5"})
        EXPECT_FALSE(tryParseInt(text).has_value()) << text;
    try {
        parseInt("abc");
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_STREQ(e.what(), "'abc' is not a valid integer value");
    }
}

TEST(TruncToInt, fractionsAndExtremes_truncateAndSaturate) {
    EXPECT_EQ(truncToInt(99.7), 99);
    EXPECT_EQ(truncToInt(-99.7), -99);
    EXPECT_EQ(truncToInt(1e300), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(truncToInt(-1e300), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(truncToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}
