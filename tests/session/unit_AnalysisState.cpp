// The one energy axis every user of the analysis takes, and what a change tells.
#include "session/AnalysisState.h"
#include "settings/AnalysisSettings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tarvio {
namespace {

TEST(AnalysisState, activeCalibration_sameAnswerForEveryPairOfPoints) {
    const struct {
        CalibrationPoint p1, p2;
        std::optional<double> energyAt100; // nullopt: no axis
        bool flat;                         // the reason is the energies, not the channels
    } cases[] = {
        {{100, 59.5}, {200, 122.06}, 59.5, false},
        {{200, 122.06}, {100, 59.5}, 59.5, false},
        // Less than one keV apart: a zero-gain line labels nothing.
        {{100, 661.0}, {200, 661.5}, std::nullopt, true},
        {{100, 661.0}, {200, 661.0}, std::nullopt, true},
        // Less than one channel apart, and a fresh installation's (0, 0) twice.
        {{100, 59.5}, {100.5, 122.0}, std::nullopt, false},
        {{0, 0}, {0, 0}, std::nullopt, false},
    };
    for (const auto& c : cases) {
        const auto free = activeCalibration(c.p1, c.p2, std::nullopt);
        AnalysisState state;
        state.loadTwoPoints(c.p1, c.p2);
        const auto held = state.activeCalibration();
        ASSERT_EQ(free.has_value(), c.energyAt100.has_value()) << c.p1.energy << " " << c.p2.energy;
        ASSERT_EQ(held.has_value(), free.has_value());
        if (c.energyAt100) {
            EXPECT_DOUBLE_EQ(held->energy(100), *c.energyAt100);
            EXPECT_TRUE(state.calibrationProblem().empty());
        } else {
            EXPECT_EQ(state.calibrationProblem().find("keV") != std::string::npos, c.flat)
                << state.calibrationProblem();
        }
    }
}

TEST(AnalysisState, calibrationFromPeaks_winsUntilTheTwoPointsAreSetAgain) {
    AnalysisState state;
    int changes = 0;
    state.addListener([&] { ++changes; });
    state.loadTwoPoints({100, 59.5}, {200, 122.06});
    const EnergyCalibration quadratic{{-20.0, 0.2, 1e-5}};
    state.setCalibrationFromPeaks({{100, 0}, {200, 20}}, CalibrationModel::Quadratic, quadratic);
    ASSERT_TRUE(state.activeCalibration());
    EXPECT_EQ(state.activeCalibration()->coefficients, quadratic.coefficients);

    state.setTwoPoints({100, 59.5}, {200, 122.06});
    EXPECT_FALSE(state.calibrationFromPeaks());
    EXPECT_DOUBLE_EQ(state.activeCalibration()->energy(682), 0.62 * 682 - 2.5);
    // The pairs stay for the next calibration from peaks.
    EXPECT_EQ(state.calibrationPairs().size(), 2u);
    EXPECT_EQ(changes, 3);
}

TEST(AnalysisState, regions_heldToTheLimit_fitsFollowTheirRegions) {
    AnalysisState state;
    EXPECT_TRUE(state.addRegion({300, 200}));
    EXPECT_EQ(state.regions().front(), (Region{200, 300}));
    Spectrum spectrum;
    spectrum.clear();
    for (int c = 200; c <= 300; ++c)
        for (int n = 0; n < static_cast<int>(1000 * std::exp(-0.5 * std::pow((c - 250) / 8.0, 2)));
             ++n)
            spectrum.addCount(static_cast<std::uint32_t>(c));
    EXPECT_TRUE(state.fitRegion(0, spectrum).fit);
    EXPECT_TRUE(state.addRegion({10, 20}));
    state.deleteRegion(0);
    ASSERT_EQ(state.regions().size(), 1u);
    EXPECT_FALSE(state.fit(0)) << "the fit went with its region";
    state.deleteAllRegions();
    while (state.addRegion({1, 2})) {
    }
    EXPECT_EQ(state.regions().size(), MaxRegions);
}

} // namespace
} // namespace tarvio
