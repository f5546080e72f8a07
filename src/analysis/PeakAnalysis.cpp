#include "analysis/PeakAnalysis.h"

#include <cmath>

namespace tarvio {

double channelAtEnergy(const EnergyCalibration& calibration, double energyKeV) {
    const auto& c = calibration.coefficients;
    double channel = c[1] != 0.0 ? (energyKeV - c[0]) / c[1] : 0.0;
    for (int i = 0; i < 8; ++i) {
        const double slope = c[1] + 2.0 * c[2] * channel;
        if (slope == 0.0)
            break;
        channel -= (calibration.energy(channel) - energyKeV) / slope;
    }
    return channel;
}

PeakAnalysis analyzePeaks(std::span<const double> counts,
                          const std::optional<EnergyCalibration>& calibration,
                          const PeakAnalysisOptions& options) {
    PeakAnalysis analysis;
    analysis.search = searchPeaks(counts, options.search);
    analysis.calibration = calibration;
    analysis.peakLabels.assign(analysis.search.peaks.size(), {});
    if (!calibration)
        return analysis;
    for (const FoundPeak& peak : analysis.search.peaks) {
        const PeakEnergy e = peakEnergy(peak, *calibration);
        analysis.energyPeaks.push_back({e.energy.value, e.energy.uncertainty, e.fwhm.value,
                                        peak.area.value, peak.area.uncertainty});
    }
    if (!options.library || analysis.energyPeaks.empty())
        return analysis;

    std::size_t first = 0;
    while (first < counts.size() && counts[first] <= 0.0)
        ++first;
    IdentificationOptions id;
    id.lowKeV = calibration->energy(static_cast<double>(first));
    id.highKeV = calibration->energy(static_cast<double>(counts.size()) - 1.0);
    const FwhmModel fwhm = analysis.search.fwhm;
    const EnergyCalibration axis = *calibration;
    id.fwhmKeV = [fwhm, axis](double e) {
        const double channel = channelAtEnergy(axis, e);
        return fwhm.at(channel) *
               std::abs(axis.coefficients[1] + 2.0 * axis.coefficients[2] * channel);
    };
    if (options.efficiency) {
        const EfficiencyCurve curve = *options.efficiency;
        id.efficiency = [curve](double e) { return curve.at(e); };
    }
    analysis.candidates = identifyNuclides(analysis.energyPeaks, *options.library, id);

    // Each peak named after the best candidate that explains it.
    for (const NuclideCandidate& c : analysis.candidates) {
        for (const LineEvidence& e : c.matched) {
            std::string& label = analysis.peakLabels[*e.peak];
            if (label.empty())
                label = c.nuclide->name + " " + e.name;
        }
    }
    if (options.efficiency) {
        for (const NuclideCandidate& c : analysis.candidates)
            if (auto a = nuclideActivity(analysis.energyPeaks, c, *options.efficiency,
                                         options.liveSeconds, options.timing))
                analysis.activities.push_back(std::move(*a));
    }
    return analysis;
}

} // namespace tarvio
