// The measurement's keys of settings.ini ([Presets], [DeadTime]) and lengths of time as the
// status bar shows them and the presets dialog reads them.

#include "settings/Duration.h"
#include "settings/IniFile.h"
#include "settings/MeasurementSettings.h"
#include "settings/NumberFormat.h"
#include "settings/Settings.h"

#include "settings/FreshFile.h"
#include "settings/ScopedSeparator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tarvio;
using tarvio::test::FreshFile;
using tarvio::test::readText;
using tarvio::test::ScopedSeparator;
using tarvio::test::TempDir;
using tarvio::test::writeText;

namespace {

class MeasurementSettingsFile : public ::testing::Test {
protected:
    MeasurementSettings load() {
        MeasurementSettings measurement;
        readMeasurementSettings(readSettingsFile(path), measurement);
        return measurement;
    }
    // As the window saves: the seven keys and the presets in one write.
    void save(const MeasurementSettings& measurement) {
        saveSettings(path, AppSettings{}, {}, {},
                     [&](IniFile& ini) { writeMeasurementSettings(ini, measurement); });
    }

    TempDir dir;
    std::string path = dir.file("settings.ini");
    ScopedSeparator locale{ScopedSeparator::point()};
};

} // namespace

TEST_F(MeasurementSettingsFile, presets_ownSectionOnlyOnceSetAndEmptyMeansNone) {
    MeasurementSettings settings;
    save(settings);
    EXPECT_EQ(readText(path), FreshFile); // no preset: the nine lines, nothing more

    settings.presets.realSeconds = 3600;
    settings.presets.counts = 5000000000; // beyond 32 bits
    save(settings);
    EXPECT_EQ(readText(path), std::string(FreshFile) + "[Presets]\n"
                                                       "RealTime=3600\n"
                                                       "LiveTime=\n"
                                                       "Counts=5000000000\n");
    EXPECT_EQ(load().presets, settings.presets);

    // Cleared presets stay cleared: the keys are emptied, not dropped.
    settings.presets = {};
    save(settings);
    EXPECT_FALSE(load().presets.any());
    EXPECT_NE(readText(path).find("RealTime=\n"), std::string::npos);
}

TEST_F(MeasurementSettingsFile, regionPreset_roundTripsAndBadChannelsAreNoPreset) {
    MeasurementSettings settings;
    settings.presets.region = RegionCountsPreset{340, 370, 5000, true};
    save(settings);
    EXPECT_NE(readText(path).find("RegionCounts=5000\nRegionFirst=340\nRegionLast=370\n"
                                  "RegionGross=1\n"),
              std::string::npos)
        << readText(path);
    EXPECT_EQ(load().presets, settings.presets);

    settings.presets = {};
    save(settings);
    EXPECT_FALSE(load().presets.any());

    for (const char* text : {"[Presets]\nRegionCounts=10\nRegionFirst=20\nRegionLast=10\n",
                             "[Presets]\nRegionCounts=10\nRegionFirst=20\nRegionLast=4096\n",
                             "[Presets]\nRegionCounts=0\nRegionFirst=1\nRegionLast=2\n",
                             "[Presets]\nRegionCounts=10\nRegionFirst=x\nRegionLast=2\n"}) {
        writeText(path, text);
        EXPECT_FALSE(load().presets.region) << text;
    }
}

TEST_F(MeasurementSettingsFile, handWrittenValues_badOnesAreNoPreset) {
    ScopedSeparator comma(ScopedSeparator::comma());
    const struct {
        const char* text;
        MeasurementPresets presets;
        double extraSeconds;
    } cases[] = {
        {"[Presets]\nRealTime=1,5\nLiveTime=2.5\nCounts=0x10\n[DeadTime]\nExtraPerPulseUs=12\n",
         {1.5, 2.5, 16, std::nullopt},
         12e-6},
        {"[Presets]\nRealTime=0\nLiveTime=\nCounts=0\n", {}, 0.0},
        {"[Presets]\nRealTime=-1\nLiveTime=abc\nCounts=-5\n[DeadTime]\nExtraPerPulseUs=-3\n",
         {},
         0.0},
    };
    for (const auto& c : cases) {
        writeText(path, c.text);
        const MeasurementSettings settings = load();
        EXPECT_EQ(settings.presets, c.presets) << c.text;
        EXPECT_DOUBLE_EQ(settings.extraDeadTimeSeconds, c.extraSeconds) << c.text;
    }
    // The extra dead time is the user's own: saving leaves it as written; without presets
    // to write, saving as before leaves the section alone.
    saveSettings(path, AppSettings{}, {}, {});
    EXPECT_NE(readText(path).find("[Presets]\nRealTime=-1\nLiveTime=abc\nCounts=-5\n"),
              std::string::npos);
    save(load());
    EXPECT_NE(readText(path).find("[Presets]\nRealTime=\nLiveTime=\nCounts=\n"), std::string::npos);
    EXPECT_NE(readText(path).find("[DeadTime]"), std::string::npos);
}

TEST(Duration, clockAndTypedTimes) {
    const struct {
        double seconds;
        const char* clock;
    } clocks[] = {{0, "00:00:00"},  {59.999, "00:00:59"},  {3723.5, "01:02:03"},
                  {-4, "00:00:00"}, {360000, "100:00:00"}, {1.0 / 0.0, "00:00:00"}};
    for (const auto& c : clocks) {
        EXPECT_EQ(formatClock(c.seconds), c.clock) << c.seconds;
    }

    ScopedSeparator comma(ScopedSeparator::comma());
    const struct {
        const char* text;
        std::optional<double> seconds;
    } typed[] = {
        {"90", 90},        {" 1,5 ", 1.5},        {"1.5", 1.5},    {"1:30", 90},
        {"2:00:00", 7200}, {"1:02:03,5", 3723.5}, {"90:00", 5400}, {"0", 0},
        {"1:60", {}},      {"1:60:00", {}},       {"1:2:3:4", {}}, {"", {}},
        {"-5", {}},        {"1: 30", {}},         {"a:30", {}},    {"1:", {}},
    };
    for (const auto& t : typed) {
        EXPECT_EQ(tryParseDuration(t.text), t.seconds) << t.text;
    }
    // What the dialog shows reads back as the same time.
    for (double seconds : {5400.0, 45.0, 2.25, 86400.0 * 7}) {
        EXPECT_EQ(tryParseDuration(formatDuration(seconds)), seconds) << seconds;
    }
    EXPECT_EQ(formatDuration(5400), "1:30:00");
    EXPECT_EQ(formatDuration(2.25), "2,25");
}

TEST(NumberFormat, unsigned64_decimalOrHexNoSign) {
    EXPECT_EQ(tryParseUInt64("18446744073709551615"), 18446744073709551615ull);
    EXPECT_EQ(tryParseUInt64(" $ff "), 255u);
    for (const char* bad : {"18446744073709551616", "-1", "+1", "", "0x", "12a"}) {
        EXPECT_FALSE(tryParseUInt64(bad)) << bad;
    }
}
