// Known Gaussian peaks on sloped backgrounds with Poisson noise, 100 seeds each. The figures
// read off the counts and the fitted ones must find the centroid within 0.05 channel and the
// FWHM within 2 % in at least 95 seeds. Their stated one-sigma uncertainties must be honest:
// an honest sigma covers the truth in about 68 of 100 seeds and two sigma in about 95, so
// the counts are checked against the binomial spread of those (within one sigma 58 to 78,
// within two at least 91), which catches an uncertainty too small as well as too large.

#include "analysis/PeakFit.h"
#include "analysis/RegionFigures.h"
#include "support/SyntheticSpectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

using namespace tarvio;
using namespace tarvio::test;

namespace {

constexpr int Seeds = 100;

struct Case {
    const char* name;
    GaussianPeak peak;
    StraightBackground background;
};

// Like the simulated Am-241 source's peaks: the gamma line on a low continuum and a narrower
// X-ray line on a steeper one.
const Case Cases[] = {
    {"gamma line", {1234.3, 4.2, 1.0e5}, {45.0, -0.03}},
    {"X-ray line", {301.7, 3.0, 1.0e5}, {20.0, 0.1}},
};

struct Coverage {
    int withinOne = 0, withinTwo = 0;
    void add(double miss, double sd) {
        withinOne += std::fabs(miss) <= sd;
        withinTwo += std::fabs(miss) <= 2.0 * sd;
    }
    void expectHonest(const char* what) const {
        SCOPED_TRACE(what);
        EXPECT_GE(withinOne, 58);
        EXPECT_LE(withinOne, 78);
        EXPECT_GE(withinTwo, 91);
    }
};

struct Tally {
    int centroid = 0, fwhm = 0;
    Coverage area, centroidSd;

    void add(const Case& c, double centroid, double centroidSd, double fwhm, double area,
             double areaSd, double trueArea) {
        this->centroid += std::fabs(centroid - c.peak.centroid) <= 0.05;
        this->fwhm += std::fabs(fwhm / (FwhmPerSigma * c.peak.sigma) - 1.0) <= 0.02;
        this->area.add(area - trueArea, areaSd);
        this->centroidSd.add(centroid - c.peak.centroid, centroidSd);
    }
    void expectAcceptable(const char* what) const {
        SCOPED_TRACE(what);
        std::printf("%s: centroid %d, FWHM %d, area within 1/2 sd %d/%d, centroid within 1/2 sd "
                    "%d/%d\n",
                    what, centroid, fwhm, area.withinOne, area.withinTwo, centroidSd.withinOne,
                    centroidSd.withinTwo);
        EXPECT_GE(centroid, 95);
        EXPECT_GE(fwhm, 95);
        area.expectHonest("area");
        centroidSd.expectHonest("centroid");
    }
};

} // namespace

TEST(PeakStatistics, hundredSeeds_figuresAndFitFindThePeak) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        // Five sigma either side: the edges hold background only.
        const Region region = Region::between(std::lround(c.peak.centroid - 5 * c.peak.sigma),
                                              std::lround(c.peak.centroid + 5 * c.peak.sigma));
        double trueNet = 0.0;
        for (std::uint32_t ch = region.first; ch <= region.last; ++ch)
            trueNet += expectedPeakCounts(c.peak, ch);

        Tally figures, fits;
        for (int seed = 1; seed <= Seeds; ++seed) {
            const Spectrum s = syntheticSpectrum({c.peak}, c.background, seed);
            const RegionFigures f = regionFigures(s, region);
            ASSERT_TRUE(f.centroid && f.fwhm) << "seed " << seed << ": " << f.remark;
            figures.add(c, *f.centroid, *f.centroidUncertainty, *f.fwhm, f.net, f.netUncertainty,
                        trueNet);

            const PeakFitResult r = fitGaussianPeak(s, region);
            ASSERT_TRUE(r.fit) << "seed " << seed << ": " << r.error;
            fits.add(c, r.fit->centroid.value, r.fit->centroid.uncertainty, r.fit->fwhm.value,
                     r.fit->area.value, r.fit->area.uncertainty, c.peak.area);
        }
        figures.expectAcceptable("figures");
        fits.expectAcceptable("fit");
    }
}
