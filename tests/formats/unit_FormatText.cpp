// The pieces every reader leans on: what counts as a count, a date-time and a duration.
#include "formats/FormatText.h"

#include <gtest/gtest.h>

#include <optional>

namespace tarvio {
namespace {

TEST(FormatText, countsAreExactWholeNumbers_inAnyNotationOtherProgramsUse) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> count;
    };
    const Case cases[] = {
        {"0", 0},
        {"+17", 17},
        {"18446744073709551615", 18446744073709551615u},
        {"1.04858e+06", 1048580},
        {"1048576.000", 1048576},
        {"9007199254740991.0", 9007199254740991u},
        {"18446744073709551616", std::nullopt}, // 2^64
        {"9007199254740992.0", std::nullopt},   // 2^53 as a double may stand for 2^53 + 1
        {"12.5", std::nullopt},
        {"-1", std::nullopt},
        {"1,5", std::nullopt},
        {"nan", std::nullopt},
        {"inf", std::nullopt},
        {"", std::nullopt},
        {"++1", std::nullopt},
        {"0x10", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseCount(c.text), c.count) << c.text;
}

TEST(FormatText, dateTimes_readWithTheirZoneAndWriteAsUtc) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> utcMs;
        bool hadZone;
    };
    const Case cases[] = {
        {"2024-05-01T12:34:56.789Z", 1714566896789, true},
        {"2024-05-01T14:34:56.789+02:00", 1714566896789, true},
        {"2024-05-01T07:34:56.7891-05:00", 1714566896789, true},
        {"2024-05-01T12:34:56", 1714566896000, false},
        {"1969-12-31T23:59:59.999Z", -1, true},
        {"2024-02-30T00:00:00Z", std::nullopt, true},
        {"2024-05-01T12:34:56-5:00", std::nullopt, true},
        {"2024-05-01 12:34:56Z", std::nullopt, true},
        {"2024-05-01T24:00:00Z", std::nullopt, true},
        {"2024-05-01T12:34:56.Z", std::nullopt, true},
    };
    for (const Case& c : cases) {
        const auto parsed = parseDateTime(c.text);
        ASSERT_EQ(parsed.has_value(), c.utcMs.has_value()) << c.text;
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->utcMs, *c.utcMs) << c.text;
        EXPECT_EQ(parsed->hadZone, c.hadZone) << c.text;
        EXPECT_EQ(parseDateTime(utcText(parsed->utcMs))->utcMs, parsed->utcMs) << c.text;
    }
    EXPECT_EQ(utcText(1714566896789), "2024-05-01T12:34:56.789Z");
    EXPECT_EQ(utcText(-1), "1969-12-31T23:59:59.999Z");
}

TEST(FormatText, durations_ofDaysHoursMinutesAndSeconds) {
    struct Case {
        const char* text;
        std::optional<double> seconds;
    };
    const Case cases[] = {
        {"PT600.000S", 600.0},    {"PT1H2M3.5S", 3723.5},  {"P1DT1S", 86401.0},
        {"P2D", 172800.0},        {"PT0S", 0.0},           {"600", std::nullopt},
        {"PT", std::nullopt},     {"P1Y", std::nullopt},   {"P1M", std::nullopt},
        {"PT1S1H", std::nullopt}, {"-PT1S", std::nullopt}, {"PT1D", std::nullopt},
        {"P1DT", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseDuration(c.text), c.seconds) << c.text;
    EXPECT_EQ(durationText(598123.456), "PT598123.456S");
}

} // namespace
} // namespace tarvio
