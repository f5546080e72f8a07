#include "analysis/CalibrationFit.h"
#include "analysis/NuclideLines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace tarvio;

namespace {

// The simulated detector: 5 codes per keV above a baseline of 100 codes.
double channelOf(double keV) {
    return 100.0 + 5.0 * keV;
}

double lineEnergy(const char* nuclide, double near) {
    for (const NuclideLine& l : nuclideLines())
        if (std::string(l.nuclide) == nuclide && std::fabs(l.energyKeV - near) < 0.5)
            return l.energyKeV;
    ADD_FAILURE() << nuclide << " has no line near " << near;
    return near;
}

std::vector<CalibrationPoint> pairsOn(std::initializer_list<double> energies) {
    std::vector<CalibrationPoint> pairs;
    for (double e : energies)
        pairs.push_back({channelOf(e), e});
    return pairs;
}

} // namespace

TEST(CalibrationFit, twoPairs_giveTheLineThroughBoth) {
    const double gamma = lineEnergy("Am-241", 59.54);
    const double lalpha = lineEnergy("Am-241", 13.94);
    const auto r = fitCalibration(pairsOn({gamma, lalpha}), CalibrationModel::Line);
    ASSERT_TRUE(r.fit) << r.error;
    const auto& c = r.fit->calibration.coefficients;
    EXPECT_NEAR(c[0], -20.0, 1e-9);
    EXPECT_NEAR(c[1], 0.2, 1e-12);
    EXPECT_EQ(c[2], 0.0);
    EXPECT_TRUE(r.fit->calibration.isLinear());
    for (double residual : r.fit->residuals)
        EXPECT_NEAR(residual, 0.0, 1e-9);
    EXPECT_FALSE(r.fit->residualSpread);
}

TEST(CalibrationFit, threeAndFivePairs_leastSquaresLineOrQuadratic) {
    // Three Am-241 lines with the L-beta pair half a channel off: the least-squares line
    // leaves residuals that sum to zero and are uncorrelated with the channel.
    auto three = pairsOn({13.944, 17.750, 59.5409});
    three[1].channel += 0.5;
    const auto line = fitCalibration(three, CalibrationModel::Line);
    ASSERT_TRUE(line.fit) << line.error;
    double sum = 0.0, moment = 0.0;
    for (std::size_t i = 0; i < three.size(); ++i) {
        sum += line.fit->residuals[i];
        moment += line.fit->residuals[i] * three[i].channel;
    }
    EXPECT_NEAR(sum, 0.0, 1e-9);
    EXPECT_NEAR(moment, 0.0, 1e-6);
    EXPECT_GT(std::fabs(line.fit->residuals[1]), 0.05);
    ASSERT_TRUE(line.fit->residualSpread);

    // Five pairs on a slightly curved axis: the quadratic recovers it, the line cannot.
    const EnergyCalibration curved{{-20.0, 0.2, 2e-5}};
    std::vector<CalibrationPoint> five;
    for (double channel : {150.0, 180.0, 205.0, 230.0, 400.0})
        five.push_back({channel, curved.energy(channel)});
    const auto quad = fitCalibration(five, CalibrationModel::Quadratic);
    ASSERT_TRUE(quad.fit) << quad.error;
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(quad.fit->calibration.coefficients[i], curved.coefficients[i],
                    1e-9 * std::fabs(curved.coefficients[i]));
    for (double residual : quad.fit->residuals)
        EXPECT_NEAR(residual, 0.0, 1e-9);
    const auto straight = fitCalibration(five, CalibrationModel::Line);
    ASSERT_TRUE(straight.fit);
    EXPECT_GT(*straight.fit->residualSpread, 1e-3);
}

TEST(CalibrationFit, degenerateSets_areRefusedWithAClearMessage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Row {
        std::vector<CalibrationPoint> pairs;
        CalibrationModel model;
        const char* says;
    };
    const Row rows[] = {
        {{{400, 59.5}, {400, 13.9}, {400, 17.8}}, CalibrationModel::Line, "one channel"},
        {{{400, 59.5}, {400.5, 13.9}}, CalibrationModel::Line, "one channel"},
        {{{400, 59.5}}, CalibrationModel::Line, "at least two pairs"},
        {{}, CalibrationModel::Line, "at least two pairs"},
        {{{170, 13.9}, {398, 59.5}, {398, 59.5}}, CalibrationModel::Quadratic, "three channels"},
        {{{170, 59.5}, {398, 59.5}}, CalibrationModel::Line, "same energy"},
        {{{170, 59.5}, {398, 13.9}}, CalibrationModel::Line, "fall"},
        {{{170, 13.9}, {nan, 59.5}}, CalibrationModel::Line, "Pair 2 is not a number"},
        {{{170, 13.9}, {5000, 59.5}}, CalibrationModel::Line, "between 0 and 4096"},
        // Rises to channel 1000, then falls: the axis would fold back over itself.
        {{{0, 0}, {500, 75}, {1000, 100}}, CalibrationModel::Quadratic, "turns back at channel"},
    };
    for (const Row& row : rows) {
        const auto r = fitCalibration(row.pairs, row.model);
        EXPECT_FALSE(r.fit);
        EXPECT_NE(r.error.find(row.says), std::string::npos) << r.error;
    }
}
