#include "analysis/RegionFigures.h"
#include "analysis/PeakFit.h"
#include "support/SyntheticSpectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>

using namespace tarvio;
using namespace tarvio::test;

namespace {

Spectrum withCounts(std::uint32_t first, std::initializer_list<std::uint32_t> counts) {
    Spectrum s;
    for (std::uint32_t v : counts)
        s.counts[first++] = v;
    return s;
}

void expectAllFinite(const RegionFigures& f) {
    for (double v :
         {f.gross, f.background, f.net, f.netUncertainty, f.backgroundAtFirst, f.backgroundAtLast})
        EXPECT_TRUE(std::isfinite(v));
    for (const auto& v : {f.netRate, f.netRateUncertainty, f.centroid, f.centroidUncertainty,
                          f.halfMaximumLeft, f.halfMaximumRight, f.fwhm, f.resolutionPercent})
        EXPECT_TRUE(!v || std::isfinite(*v));
}

} // namespace

TEST(RegionFigures, smallPeakOnFlatBackground_figuresByHand) {
    // Nine channels: edges of three at 10 counts, a triangle 20-30-20 in the middle.
    const Spectrum s = withCounts(100, {10, 10, 10, 20, 30, 20, 10, 10, 10});
    const RegionFigures f = regionFigures(s, Region{100, 108}, 10.0);
    EXPECT_DOUBLE_EQ(f.gross, 130);
    EXPECT_DOUBLE_EQ(f.background, 90);
    EXPECT_DOUBLE_EQ(f.net, 40);
    // Edge channels carry weight 1 - 4.5 / 3 each, the middle three weight 1.
    EXPECT_DOUBLE_EQ(f.netUncertainty, std::sqrt(6 * 0.25 * 10 + 70));
    EXPECT_DOUBLE_EQ(*f.netRate, 4.0);
    EXPECT_DOUBLE_EQ(*f.netRateUncertainty, f.netUncertainty / 10);
    EXPECT_DOUBLE_EQ(*f.centroid, 104);
    EXPECT_DOUBLE_EQ(*f.halfMaximumLeft, 103);
    EXPECT_DOUBLE_EQ(*f.halfMaximumRight, 105);
    EXPECT_DOUBLE_EQ(*f.fwhm, 2);
    EXPECT_DOUBLE_EQ(*f.resolutionPercent, 2.0 / 104 * 100);
    EXPECT_TRUE(f.remark.empty());
    EXPECT_DOUBLE_EQ(regionNetCounts(s, Region{100, 108}), 40);
    EXPECT_DOUBLE_EQ(regionGrossCounts(s, Region{100, 108}), 130);

    // On an axis of 0.5 keV per channel from 10 keV: the half-maximum points 61.5 and 62.5.
    const RegionEnergyFigures e = regionEnergyFigures(f, EnergyCalibration{{10.0, 0.5, 0.0}});
    EXPECT_DOUBLE_EQ(*e.centroidKeV, 62);
    EXPECT_DOUBLE_EQ(*e.fwhmKeV, 1);
    EXPECT_DOUBLE_EQ(*e.resolutionPercent, 1.0 / 62 * 100);
}

TEST(RegionFigures, edgeCases_giveDefinedFiguresAndNeverNaN) {
    const Spectrum peak = syntheticSpectrum({{2000.0, 20.0, 5.0e4}}, {20.0, 0.0}, 0);
    Spectrum ends;
    ends.counts[0] = 7;
    ends.counts[4095] = 9;
    const Spectrum empty;
    const Spectrum slope = syntheticSpectrum({}, {5.0, 1.0}, 0);

    struct Row {
        const char* what;
        const Spectrum& spectrum;
        Region region;
        std::optional<double> gross, net; // nullopt: not checked
        bool centroid, fwhm;
    };
    const Row rows[] = {
        // One channel is all background.
        {"one channel at 0", ends, {0, 0}, 7, 0, false, false},
        {"one channel at 4095", ends, {4095, 4095}, 9, 0, false, false},
        {"beyond the spectrum is held at 4095", ends, {4095, 9000}, 9, 0, false, false},
        {"empty region", empty, {100, 200}, 0, 0, false, false},
        {"pure sloped background", slope, {1000, 1100}, std::nullopt, 0, false, false},
        // The edges sit on the peak's flanks: the top of the peak is left as a net peak, too
        // wide for its width to mean anything.
        {"peak wider than the region", peak, {1995, 2005}, std::nullopt, std::nullopt, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const RegionFigures f = regionFigures(row.spectrum, row.region, 0.0);
        expectAllFinite(f);
        if (row.gross) {
            EXPECT_DOUBLE_EQ(f.gross, *row.gross);
        }
        if (row.net) {
            EXPECT_NEAR(f.net, *row.net, 1e-9);
        }
        EXPECT_EQ(f.centroid.has_value(), row.centroid);
        EXPECT_EQ(f.fwhm.has_value(), row.fwhm);
        EXPECT_EQ(f.resolutionPercent.has_value(), row.fwhm);
        EXPECT_FALSE(f.netRate); // a live time of 0 gives no rate
        EXPECT_EQ(f.remark.empty(), row.centroid && row.fwhm);
        EXPECT_TRUE(f.region.isValid());
    }
}

TEST(PeakFit, regionsWithoutAFittablePeak_areRefusedWithAReason) {
    const Spectrum peak = syntheticSpectrum({{2000.0, 3.0, 2.0e4}}, {20.0, 0.0}, 7);
    const Spectrum flat = syntheticSpectrum({}, {50.0, 0.0}, 0);
    const Spectrum empty;
    struct Row {
        const Spectrum& spectrum;
        Region region;
        const char* reason;
    };
    const Row rows[] = {
        {peak, {1998, 2003}, "at least 7 channels"},
        {empty, {100, 200}, "no net counts"},
        {flat, {100, 200}, "no net counts"},
    };
    for (const Row& row : rows) {
        const PeakFitResult r = fitGaussianPeak(row.spectrum, row.region);
        EXPECT_FALSE(r.fit);
        EXPECT_NE(r.error.find(row.reason), std::string::npos) << r.error;
    }

    // At the very end of the spectrum the fit still works on whole channels.
    const Spectrum atEnd = syntheticSpectrum({{4080.0, 3.0, 2.0e4}}, {20.0, 0.0}, 3);
    const PeakFitResult r = fitGaussianPeak(atEnd, Region{4060, 4095});
    ASSERT_TRUE(r.fit) << r.error;
    EXPECT_NEAR(r.fit->centroid.value, 4080.0, 4 * r.fit->centroid.uncertainty);
    EXPECT_GT(r.fit->degreesOfFreedom, 0);

    // The curve drawn over the spectrum is the fitted model: over the region it holds the
    // counts the fit accounts for, peak and background.
    double model = 0.0;
    double counts = 0.0;
    for (std::uint32_t c = 4060; c <= 4095; ++c) {
        model += fittedCounts(*r.fit, c);
        counts += atEnd.counts[c];
    }
    EXPECT_NEAR(model, counts, 3 * std::sqrt(counts));
    EXPECT_GT(fittedCounts(*r.fit, 4080), 10 * fittedCounts(*r.fit, 4062));
}

TEST(RegionFigures, randomRegionsOnRandomSpectra_neverGiveNaN) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Spectrum s;
    for (int trial = 0; trial < 200; ++trial) {
        // A new spectrum for every fifth region: drawing one is what takes the time.
        if (trial % 5 == 0) {
            const GaussianPeak peak{unit(rng) * 4096, 0.3 + unit(rng) * 30, unit(rng) * 1e4};
            s = syntheticSpectrum({peak}, {unit(rng) * 20, unit(rng) * 0.01 - 0.005},
                                  static_cast<std::uint64_t>(trial + 1));
        }
        const auto a = static_cast<std::int64_t>(unit(rng) * 4200) - 50;
        const auto b = a + static_cast<std::int64_t>(unit(rng) * 200) - 20;
        const Region region = Region::between(a, b);
        SCOPED_TRACE(std::to_string(region.first) + "-" + std::to_string(region.last));
        expectAllFinite(regionFigures(s, region, unit(rng) * 100));
        const PeakFitResult r = fitGaussianPeak(s, region);
        if (!r.fit) {
            EXPECT_FALSE(r.error.empty());
            continue;
        }
        for (const FitValue& v : {r.fit->centroid, r.fit->sigma, r.fit->fwhm, r.fit->area})
            EXPECT_TRUE(std::isfinite(v.value) && std::isfinite(v.uncertainty));
        EXPECT_TRUE(region.contains(static_cast<std::uint32_t>(r.fit->centroid.value)));
    }
}
