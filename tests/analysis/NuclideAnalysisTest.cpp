// The nuclide library and what is built on the found peaks, checked against the simulator's
// truth: the true source named first with its evidence, the calibration made with a source
// from an uncalibrated spectrum right within 0.1 keV at every line, and the activity found
// through an efficiency curve within its uncertainty in most seeds (bench_peaks counts the
// rate over many more).

#include "analysis/Activity.h"
#include "analysis/NuclideLines.h"
#include "analysis/PeakAnalysis.h"
#include "analysis/SourceCalibration.h"
#include "sim/SourcePhysics.h"
#include "sim/SpectrumSynthesis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

using namespace tarvio;

namespace {

std::vector<double> spectrumOf(SimSource source, double liveSeconds, std::uint64_t seed,
                               double photonRate = 2000.0) {
    SpectrumSynthesis request;
    request.source = source;
    request.liveSeconds = liveSeconds;
    request.seed = seed;
    request.photonRate = photonRate;
    const auto counts = synthesizeSpectrum(request);
    return std::vector<double>(counts.begin(), counts.end());
}

const Nuclide& libraryNuclide(const char* name) {
    const Nuclide* n = NuclideLibrary::builtIn().find(name);
    EXPECT_NE(n, nullptr) << name;
    return *n;
}

EnergyCalibration calibrationWith(const std::vector<double>& counts, const char* source) {
    const auto result =
        calibrateWithSource(searchPeaks(counts, {}), libraryNuclide(source), counts.size());
    EXPECT_TRUE(result.calibration) << result.error;
    return result.calibration ? result.calibration->fit.calibration : EnergyCalibration{};
}

} // namespace

TEST(NuclideLibrary, builtInTable_readsWholeWithSourcesAndTheCheckSourcesLines) {
    std::vector<std::string> errors;
    const NuclideLibrary library =
        NuclideLibrary::parse(NuclideLibrary::builtInText(), "t", errors);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_GE(library.nuclides().size(), 40u);
    for (const Nuclide& n : library.nuclides()) {
        EXPECT_GT(n.halfLifeSeconds, 0.0) << n.name;
        for (const LibraryLine& line : n.lines) {
            EXPECT_FALSE(line.source.empty()) << n.name << " " << line.energyKeV;
            EXPECT_FALSE(line.entered.empty()) << n.name << " " << line.energyKeV;
            EXPECT_GT(line.emission, 0.0) << n.name << " " << line.energyKeV;
        }
    }
    // The lines the calibration dialog offers are all in the table.
    for (const NuclideLine& line : nuclideLines()) {
        const Nuclide* n = library.find(line.nuclide);
        ASSERT_NE(n, nullptr) << line.nuclide;
        bool listed = false;
        for (const LibraryLine& l : n->lines)
            listed |= std::abs(l.energyKeV - line.energyKeV) < 0.01;
        EXPECT_TRUE(listed) << line.nuclide << " " << line.energyKeV;
    }
    EXPECT_NEAR(library.find("cs137")->halfLifeSeconds / SecondsPerYear, 30.05, 1e-9);
}

TEST(NuclideLibrary, usersFile_addsReplacesAndNamesItsBadRows) {
    std::vector<std::string> errors;
    NuclideLibrary library = NuclideLibrary::builtIn();
    const std::string mine = "nuclide,half_life,kind,energy_keV,emission_percent\n"
                             "# a comment\n"
                             "Xx-999,2 h,gamma,123.4,50\n"
                             "Cs-137,30.05 y,gamma,661.657,80\n"
                             "Yy-1,forever,gamma,1,1\n"
                             "Zz-2,1 d,beta,100,10\n";
    library.add(NuclideLibrary::parse(mine, "mine.csv", errors));
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_NE(errors[0].find("mine.csv:5"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("mine.csv:6"), std::string::npos) << errors[1];
    ASSERT_NE(library.find("Xx-999"), nullptr);
    EXPECT_DOUBLE_EQ(library.find("Xx-999")->halfLifeSeconds, 7200.0);
    const Nuclide* cs = library.find("Cs-137");
    for (const LibraryLine& l : cs->lines) {
        if (std::abs(l.energyKeV - 661.657) < 0.01) {
            EXPECT_DOUBLE_EQ(l.emission, 0.80);
        }
    }
    EXPECT_EQ(cs->lines.size(), libraryNuclide("Cs-137").lines.size()) << "replaced, not added";
}

TEST(Identification, simulatedSources_trueNuclideFirstWithItsEvidence) {
    // One calibration with Am-241, as a lab would make it, serves the other sources.
    const EnergyCalibration axis =
        calibrationWith(spectrumOf(SimSource::Am241, 30.0, 99), "Am-241");
    struct Case {
        SimSource source;
        const char* name;
    };
    for (const Case c : {Case{SimSource::Am241, "Am-241"}, Case{SimSource::Co57, "Co-57"},
                         Case{SimSource::Cs137, "Cs-137"}}) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            PeakAnalysisOptions options;
            options.library = &NuclideLibrary::builtIn();
            const PeakAnalysis a = analyzePeaks(spectrumOf(c.source, 5.0, seed), axis, options);
            const std::string where = std::string(c.name) + " seed " + std::to_string(seed);
            ASSERT_FALSE(a.candidates.empty()) << where;
            EXPECT_EQ(a.candidates.front().nuclide->name, c.name) << where;
            EXPECT_GE(a.candidates.front().matched.size(), 2u) << where;
            EXPECT_TRUE(a.candidates.front().missing.empty()) << where;
            for (const NuclideCandidate& other : a.candidates)
                EXPECT_FALSE(other.matched.empty()) << where << ": " << other.nuclide->name;
            for (std::size_t k = 0; k < a.peakLabels.size(); ++k)
                EXPECT_EQ(a.peakLabels[k].rfind(c.name, 0), 0u) << where << ": " << a.peakLabels[k];
        }
    }
}

TEST(SourceCalibration, uncalibratedSpectra_within0p1keVOfTheTruthAtEveryLine) {
    // The truth: where each line lies, from the centroids of a spectrum five times longer.
    for (const char* name : {"Am-241", "Co-57"}) {
        const SimSource source = std::string(name) == "Am-241" ? SimSource::Am241 : SimSource::Co57;
        const auto reference = searchPeaks(spectrumOf(source, 50.0, 1000), {});
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            const auto counts = spectrumOf(source, 10.0, seed);
            const auto result =
                calibrateWithSource(searchPeaks(counts, {}), libraryNuclide(name), counts.size());
            ASSERT_TRUE(result.calibration) << name << ": " << result.error;
            const SourceCalibration& c = *result.calibration;
            EXPECT_EQ(c.matches.size(), SourceModel(source).lines().size()) << name;
            for (const SourceLineMatch& m : c.matches) {
                double truthChannel = -1.0;
                for (const FoundPeak& p : reference.peaks)
                    if (std::abs(p.centroid.value - m.channel) < 2.0)
                        truthChannel = p.centroid.value;
                ASSERT_GE(truthChannel, 0.0) << name << " " << m.energyKeV;
                EXPECT_NEAR(c.fit.calibration.energy(truthChannel), m.energyKeV, 0.1)
                    << name << " seed " << seed << ": " << m.name;
            }
        }
    }
}

TEST(Activity, efficiencyFromAKnownSource_givesActivitiesWithinTheirUncertainty) {
    const SourceModel truth(SimSource::Am241);
    const Nuclide& am = libraryNuclide("Am-241");
    const auto known = spectrumOf(SimSource::Am241, 30.0, 500);
    const EnergyCalibration axis = calibrationWith(known, "Am-241");
    PeakAnalysisOptions options;
    options.library = &NuclideLibrary::builtIn();
    const PeakAnalysis reference = analyzePeaks(known, axis, options);
    ASSERT_FALSE(reference.candidates.empty());
    const auto points = efficiencyPoints(reference.energyPeaks, reference.candidates.front(),
                                         KnownSource{&am, truth.activityBq(2000.0), 0.0}, 30.0, {});
    ASSERT_EQ(points.size(), 5u);
    for (const EfficiencyPoint& p : points)
        EXPECT_NEAR(p.efficiency, detector::efficiency(p.energyKeV), 3.0 * p.uncertainty)
            << p.energyKeV << " keV";
    const auto curve = fitEfficiency(points);
    ASSERT_TRUE(curve);

    // Another source of the same nuclide, weaker, measured for less time.
    const double rate = 700.0, live = 20.0;
    int withinOne = 0, withinThree = 0;
    const int seeds = 12;
    options.efficiency = curve;
    options.liveSeconds = live;
    for (int seed = 1; seed <= seeds; ++seed) {
        const PeakAnalysis a =
            analyzePeaks(spectrumOf(SimSource::Am241, live, seed, rate), axis, options);
        ASSERT_FALSE(a.activities.empty()) << seed;
        const NuclideActivity& found = a.activities.front();
        EXPECT_EQ(found.nuclide, "Am-241");
        const double miss = std::abs(found.activityBq - truth.activityBq(rate));
        withinOne += miss <= found.uncertaintyBq;
        withinThree += miss <= 3.0 * found.uncertaintyBq;
    }
    // An honest one sigma covers about 8 of 12; 5 or fewer would be a biased or too small one.
    EXPECT_GE(withinOne, 6);
    EXPECT_EQ(withinThree, seeds);
}

TEST(Activity, decayFactor_bringsTheMeanBackToTheReference) {
    const double halfLife = 3600.0;
    // A measurement starting one half-life after the reference: twice the activity back then.
    EXPECT_NEAR(decayFactor(halfLife, {halfLife, 0.0}), 2.0, 1e-12);
    // Over one half-life the mean is 1/(2 ln 2) of the start's activity.
    EXPECT_NEAR(decayFactor(halfLife, {0.0, halfLife}), 2.0 * std::log(2.0), 1e-12);
    EXPECT_DOUBLE_EQ(decayFactor(0.0, {100.0, 100.0}), 1.0);
}
