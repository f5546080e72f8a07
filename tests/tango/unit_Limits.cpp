// What the device's writable attributes and Save accept, and the message of what they refuse.

#include "tango/DeviceState.h"
#include "tango/Limits.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tarvio;

namespace {

struct Case {
    const char* what;
    Refusal refusal;
    const char* expected; // nullptr: accepted
};

void expectCases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        if (!c.expected) {
            EXPECT_FALSE(c.refusal) << c.what << ": " << *c.refusal;
            continue;
        }
        ASSERT_TRUE(c.refusal) << c.what << " was accepted";
        EXPECT_EQ(*c.refusal, c.expected) << c.what;
    }
}

} // namespace

TEST(Limits, operatingPoint_boundsAcceptedAndBeyondRefusedWithTheRange) {
    const BiasRange range{16, 71};
    expectCases({
        {"samples 1", checkSamples(1), nullptr},
        {"samples 450", checkSamples(450), nullptr},
        {"samples 0", checkSamples(0), "Samples = 0 refused: allowed 1 to 450 samples per pulse."},
        {"samples 451", checkSamples(451),
         "Samples = 451 refused: allowed 1 to 450 samples per pulse."},
        {"bias max", checkBias(71, range), nullptr},
        {"bias min", checkBias(16, range), nullptr},
        {"bias above max", checkBias(72, range),
         "Bias = 72 V refused: allowed 16 to 71 V (BiasMin to BiasMax of the settings)."},
        {"bias below min", checkBias(15, range),
         "Bias = 15 V refused: allowed 16 to 71 V (BiasMin to BiasMax of the settings)."},
        // Limits typed the wrong way round in the settings still bound the same range.
        {"reversed limits", checkBias(72, BiasRange{71, 16}),
         "Bias = 72 V refused: allowed 16 to 71 V (BiasMin to BiasMax of the settings)."},
        {"threshold 2.5", checkThreshold(2.5), nullptr},
        {"threshold above", checkThreshold(2.51),
         "Threshold = 2.51 V refused: allowed 0 to 2.5 V."},
        {"threshold NaN", checkThreshold(std::nan("")),
         "Threshold = nan V refused: allowed 0 to 2.5 V."},
        {"delay 0", checkDelay(0), nullptr},
        {"delay negative", checkDelay(-1), "Delay = -1 ms refused: allowed 0 to 60000 ms."},
    });
}

TEST(Limits, presets_zeroIsNoneAndNegativeOrNotFiniteRefused) {
    expectCases({
        {"real 0", checkPresetSeconds("PresetRealTime", 0), nullptr},
        {"live 10", checkPresetSeconds("PresetLiveTime", 10), nullptr},
        {"real -1", checkPresetSeconds("PresetRealTime", -1),
         "PresetRealTime = -1 s refused: allowed 0 (no preset) or more seconds."},
        {"live inf", checkPresetSeconds("PresetLiveTime", INFINITY),
         "PresetLiveTime = inf s refused: allowed 0 (no preset) or more seconds."},
        {"counts 0", checkPresetCounts(0), nullptr},
        {"counts -1", checkPresetCounts(-1),
         "PresetCounts = -1 refused: allowed 0 (no preset) or more counts."},
    });
}

TEST(Limits, regionPreset_parsedOrRefused) {
    const auto preset = parseRegionPreset({340, 370, 5000, 1});
    ASSERT_TRUE(preset.preset);
    EXPECT_EQ(*preset.preset, (RegionCountsPreset{340, 370, 5000, true}));
    EXPECT_EQ(*parseRegionPreset({340, 370, 5000}).preset,
              (RegionCountsPreset{340, 370, 5000, false}));
    EXPECT_FALSE(parseRegionPreset({}).preset);
    EXPECT_FALSE(parseRegionPreset({}).refusal);
    EXPECT_FALSE(parseRegionPreset({1, 2, 0}).preset) << "a count of 0 is no preset";
    for (const std::vector<std::int64_t>& bad : {std::vector<std::int64_t>{1, 2},
                                                 {400, 300, 10},
                                                 {0, 4096, 10},
                                                 {-1, 5, 10},
                                                 {1, 2, -3},
                                                 {1, 2, 3, 2},
                                                 {1, 2, 3, 0, 9}}) {
        const auto refused = parseRegionPreset(bad);
        ASSERT_TRUE(refused.refusal) << bad.size();
        EXPECT_EQ(refused.refusal->rfind("PresetRegion = [", 0), 0u) << *refused.refusal;
        EXPECT_NE(refused.refusal->find("0 <= first <= last <= 4095"), std::string::npos);
    }
}

TEST(Limits, regionsAndSavePaths_parsedOrRefused) {
    const auto regions = parseRegions({10, 20, 300, 300});
    ASSERT_FALSE(regions.refusal);
    EXPECT_EQ(regions.regions, (std::vector<Region>{{10, 20}, {300, 300}}));
    EXPECT_EQ(*parseRegions({10, 20, 30}).refusal,
              "Regions = 3 numbers refused: allowed pairs of first and last channel, 0 <= first "
              "<= last <= 4095, at most 64 regions.");
    EXPECT_TRUE(parseRegions({20, 10}).refusal);
    EXPECT_TRUE(parseRegions(std::vector<std::int64_t>(2 * 65, 1)).refusal);

    for (const char* good : {"/tmp/a.n42", "run.SPE", "x.csv", "y.txt"})
        EXPECT_FALSE(checkSavePath(good)) << good;
    EXPECT_EQ(*checkSavePath("run.doc"),
              "Save \"run.doc\" refused: allowed a path ending in .n42, .spe, .csv, .txt (the "
              "format follows the extension).");
    EXPECT_TRUE(checkSavePath(""));
}

TEST(DeviceState, everyMeasurementState_mapsToOneTangoState) {
    struct Row {
        bool opened;
        MeasurementState state;
        DeviceStateKind expected;
    };
    for (const Row& row : {
             Row{false, MeasurementState::Idle, DeviceStateKind::Off},
             Row{false, MeasurementState::InterfaceLost, DeviceStateKind::Off},
             Row{true, MeasurementState::Idle, DeviceStateKind::On},
             Row{true, MeasurementState::PresetReached, DeviceStateKind::On},
             Row{true, MeasurementState::Measuring, DeviceStateKind::Running},
             Row{true, MeasurementState::InterfaceLost, DeviceStateKind::Fault},
         })
        EXPECT_EQ(deviceStateOf(row.opened, row.state), row.expected)
            << row.opened << " " << MeasurementStateName(row.state);
}
