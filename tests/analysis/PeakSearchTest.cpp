// The peak search on seeded spectra of the simulator, whose lines are known: every line of
// each source found and nothing else, in spectra of 10 000 photons (the smallest lines then
// hold a few hundred counts); and in flat spectra without any peak, next to nothing found at
// the default threshold over many seeds (bench_peaks counts the rate over a thousand).

#include "analysis/PeakSearch.h"
#include "sim/SourcePhysics.h"
#include "sim/SpectrumSynthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tarvio;

namespace {

std::vector<double> doubles(const std::vector<std::uint32_t>& counts) {
    return std::vector<double>(counts.begin(), counts.end());
}

// Where the simulator puts a line at the highest bias, near enough to tell a match.
double channelOf(double energyKeV) {
    return detector::BaselineCode +
           energyKeV * detector::CodesPerKeV * detector::chargeCollection(1);
}

struct SourceCase {
    SimSource source;
    const char* name;
};

const SourceCase Sources[] = {
    {SimSource::Am241, "Am-241"}, {SimSource::Co57, "Co-57"}, {SimSource::Cs137, "Cs-137"}};

} // namespace

TEST(PeakSearch, simulatedSources_everyLineFoundAndNothingElse) {
    for (const SourceCase& c : Sources) {
        const SourceModel model(c.source);
        for (std::uint64_t seed = 1; seed <= 4; ++seed) {
            SpectrumSynthesis request;
            request.source = c.source;
            request.liveSeconds = 5.0; // 10 000 photons
            request.seed = seed;
            const auto counts = doubles(synthesizeSpectrum(request));
            const PeakSearchResult result = searchPeaks(counts, {});
            const std::string where = std::string(c.name) + " seed " + std::to_string(seed);

            std::vector<int> found(model.lines().size(), 0);
            for (const FoundPeak& peak : result.peaks) {
                bool known = false;
                for (std::size_t k = 0; k < found.size(); ++k) {
                    if (std::abs(peak.centroid.value - channelOf(model.lines()[k].energyKeV)) <
                        0.75 * peak.fwhm.value) {
                        ++found[k];
                        known = true;
                    }
                }
                EXPECT_TRUE(known) << where << ": a peak at channel " << peak.centroid.value;
                EXPECT_GE(peak.significance, 3.0) << where;
                EXPECT_GT(peak.area.uncertainty, 0.0) << where;
            }
            for (std::size_t k = 0; k < found.size(); ++k)
                EXPECT_EQ(found[k], 1)
                    << where << ": the line at " << model.lines()[k].energyKeV << " keV";
        }
    }
}

TEST(PeakSearch, flatSpectra_almostNoPeakAtTheDefaultThreshold) {
    // Few counts (spread thin, a channel often empty) and many; the width from the spectrum
    // itself, as it comes without a detector model.
    int falsePeaks = 0, spectra = 0;
    for (std::uint64_t counts : {5'000u, 120'000u}) {
        for (std::uint64_t seed = 1; seed <= 30; ++seed) {
            const auto flat = doubles(flatSpectrum(0, 4095, counts, seed));
            falsePeaks += static_cast<int>(searchPeaks(flat, {}).peaks.size());
            ++spectra;
        }
    }
    // About 0.02 per spectrum over a thousand seeds (bench_peaks); 3 in 60 is far above that.
    EXPECT_LE(falsePeaks, 3) << "in " << spectra << " flat spectra";
}

TEST(PeakSearch, givenWidthAndThreshold_areFollowed) {
    SpectrumSynthesis request;
    request.liveSeconds = 5.0;
    const auto counts = doubles(synthesizeSpectrum(request));
    PeakSearchOptions options;
    options.fwhm = FwhmModel{47.0, 0.215}; // the simulated detector's, from a long run
    const PeakSearchResult given = searchPeaks(counts, options);
    EXPECT_FALSE(given.fwhmFromSpectrum);
    EXPECT_EQ(given.peaks.size(), 5u);
    // A threshold above the weakest line's significance leaves it out.
    double weakest = 1e9;
    for (const FoundPeak& p : given.peaks)
        weakest = std::min(weakest, p.significance);
    options.threshold = weakest + 1.0;
    const PeakSearchResult stricter = searchPeaks(counts, options);
    EXPECT_LT(stricter.peaks.size(), given.peaks.size());
    EXPECT_FALSE(stricter.peaks.empty());
    for (const FoundPeak& p : stricter.peaks)
        EXPECT_GE(p.significance, options.threshold);
}

TEST(PeakSearch, emptyAndTinySpectra_findNothingWithoutFailing) {
    EXPECT_TRUE(searchPeaks(std::vector<double>(4096, 0.0), {}).peaks.empty());
    EXPECT_TRUE(searchPeaks(std::vector<double>(3, 5.0), {}).peaks.empty());
    EXPECT_TRUE(searchPeaks(std::vector<double>{}, {}).peaks.empty());
}
