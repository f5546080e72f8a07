#include "analysis/KnownSourceEfficiency.h"

#include "analysis/PeakAnalysis.h"
#include "analysis/SourceCalibration.h"

#include <cmath>

namespace tarvio {

KnownSourceEfficiency efficiencyFromKnownSource(const KnownSpectrum& spectrum,
                                                const SourceNote& source,
                                                const NuclideLibrary& library, double sigma) {
    KnownSourceEfficiency result;
    const Nuclide* nuclide = library.find(source.nuclide);
    if (!nuclide) {
        result.error = "'" + source.nuclide + "' is not in the nuclide library.";
        return result;
    }
    result.nuclide = nuclide->name;
    result.activityBq = source.activityBq;
    if (!spectrum.liveSeconds || *spectrum.liveSeconds <= 0.0) {
        result.error = "The spectrum has no live time; an efficiency needs one.";
        return result;
    }
    PeakSearchOptions search;
    search.threshold = sigma;
    auto calibration = spectrum.calibration;
    if (!calibration) {
        const auto made = calibrateWithSource(searchPeaks(spectrum.counts, search), *nuclide,
                                              spectrum.counts.size());
        if (!made.calibration) {
            result.error = made.error;
            return result;
        }
        calibration = made.calibration->fit.calibration;
    }
    PeakAnalysisOptions options;
    options.search = search;
    const PeakAnalysis analysis = analyzePeaks(spectrum.counts, calibration, options);

    // The known source's lines only: its own candidate, whatever else the library holds.
    IdentificationOptions id;
    id.lowKeV = calibration->energy(0.0);
    id.highKeV = calibration->energy(static_cast<double>(spectrum.counts.size()) - 1.0);
    id.minScore = 0.0;
    const FwhmModel fwhm = analysis.search.fwhm;
    const EnergyCalibration axis = *calibration;
    id.fwhmKeV = [fwhm, axis](double e) {
        const double channel = channelAtEnergy(axis, e);
        return fwhm.at(channel) *
               std::abs(axis.coefficients[1] + 2.0 * axis.coefficients[2] * channel);
    };
    id.maxCandidates = library.nuclides().size();
    const auto candidates = identifyNuclides(analysis.energyPeaks, library, id);
    const NuclideCandidate* match = nullptr;
    for (const NuclideCandidate& c : candidates)
        if (c.nuclide == nuclide)
            match = &c;
    if (!match || match->matched.empty()) {
        result.error = "None of " + nuclide->name + "'s lines was found.";
        return result;
    }

    DecayTiming timing;
    timing.realSeconds = spectrum.realSeconds.value_or(0.0);
    if (source.referenceUtcMs && spectrum.startUtcMs)
        timing.startAfterReferenceSeconds =
            static_cast<double>(*spectrum.startUtcMs - *source.referenceUtcMs) / 1000.0;
    const KnownSource known{nuclide, source.activityBq, 0.0};
    result.points =
        efficiencyPoints(analysis.energyPeaks, *match, known, *spectrum.liveSeconds, timing);
    result.curve = fitEfficiency(result.points);
    if (!result.curve)
        result.error = "No efficiency curve goes through " + nuclide->name + "'s lines.";
    return result;
}

} // namespace tarvio
