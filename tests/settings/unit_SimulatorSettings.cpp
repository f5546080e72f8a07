#include "settings/SimulatorSettings.h"

#include "settings/ScopedSeparator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tarvio;
using tarvio::test::ScopedSeparator;
using tarvio::test::TempDir;
using tarvio::test::writeText;

TEST(SimulatorSettings, missingFileOrSection_defaultsWithSimulatorEnabled) {
    TempDir dir;
    const SimulatorConfig defaults;
    for (const char* text : {static_cast<const char*>(nullptr), "[Settings]\nDelay=150\n"}) {
        const std::string path = dir.file("settings.ini");
        if (text)
            writeText(path, text);
        const SimulatorConfig config = loadSimulatorConfig(path);
        EXPECT_TRUE(config.enabled);
        EXPECT_EQ(config.source, defaults.source);
        EXPECT_EQ(config.activity, defaults.activity);
        EXPECT_EQ(config.chips, defaults.chips);
        EXPECT_EQ(config.seed, defaults.seed);
    }
}

TEST(SimulatorSettings, operatorValues_readInAnyCase) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    writeText(path, "[simulator]\nenabled=0\nSOURCE=co57\nActivity=150.5\nChips=4\n"
                    "Seed=18446744073709551615\n");
    ScopedSeparator comma(ScopedSeparator::comma());
    const SimulatorConfig config = loadSimulatorConfig(path);
    EXPECT_FALSE(config.enabled);
    EXPECT_EQ(config.source, SimSource::Co57);
    EXPECT_EQ(config.activity, 150.5);
    EXPECT_EQ(config.chips, 4);
    EXPECT_EQ(config.seed, 18446744073709551615u);
}

TEST(SimulatorSettings, badOrOutOfRangeValues_fallBackToDefaults) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    writeText(path, "[Simulator]\nEnabled=maybe\nSource=U-235\nActivity=-3\nChips=9\nSeed=-1\n");
    const SimulatorConfig config = loadSimulatorConfig(path);
    const SimulatorConfig defaults;
    EXPECT_TRUE(config.enabled);
    EXPECT_EQ(config.source, defaults.source);
    EXPECT_EQ(config.activity, defaults.activity);
    EXPECT_EQ(config.chips, defaults.chips);
    EXPECT_EQ(config.seed, defaults.seed);
}

TEST(SimulatorSettings, faultKeys_kindsAndRateOrNoneWhenBad) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    struct Case {
        const char* faults;
        const char* rate;
        std::uint32_t kinds;
        double perSecond;
    };
    const Case cases[] = {
        {"drop, cut  Unplug", "0.5", SimFaultDrop | SimFaultCut | SimFaultUnplug, 0.5},
        {"ALL", "2", SimFaultAll, 2.0},
        {"none", "1", 0, 1.0},
        {"drop,typo", "1", 0, 1.0}, // one unknown name: none at all rather than a guess
        {"error", "-1", SimFaultError, 0.0},
        {"silence,wrongcode", "5000", SimFaultSilence | SimFaultWrongCode, 0.0}, // above the limit
        {"corrupt insert", "fast", SimFaultCorrupt | SimFaultInsert, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        writeText(path,
                  std::string("[Simulator]\nFaults=") + c.faults + "\nFaultRate=" + c.rate + "\n");
        const SimulatorConfig config = loadSimulatorConfig(path);
        EXPECT_EQ(config.faults, c.kinds);
        EXPECT_EQ(config.faultRate, c.perSecond);
    }
}

TEST(SimulatorSettings, pulseImperfectionKeys_readOrDefaultWhenBad) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    struct Case {
        const char* text;
        double noise;
        double wander;
        bool pileUp;
    };
    const Case cases[] = {
        {"", 2.0, 0.0, false}, // absent: the pulses of old
        {"Noise=8\nBaselineWander=3.5\nPileUp=1\n", 8.0, 3.5, true},
        {"Noise=-1\nBaselineWander=lots\nPileUp=no\n", 2.0, 0.0, false},
        {"Noise=0\nBaselineWander=1e6\nPileUp=0\n", 0.0, 0.0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        writeText(path, std::string("[Simulator]\n") + c.text);
        const SimulatorConfig config = loadSimulatorConfig(path);
        EXPECT_EQ(config.noiseCodes, c.noise);
        EXPECT_EQ(config.baselineWanderCodes, c.wander);
        EXPECT_EQ(config.pileUp, c.pileUp);
    }
}
