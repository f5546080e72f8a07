#pragma once
// The whole peak analysis of one spectrum, as the window and the command line show it: the
// peaks found and fitted, on the energy axis when there is one, the nuclides that explain
// them with their evidence, which nuclide each peak belongs to, and activities where an
// efficiency curve is known.

#include "analysis/Activity.h"
#include "analysis/NuclideIdentification.h"
#include "analysis/NuclideLibrary.h"
#include "analysis/PeakSearch.h"
#include "records/EnergyCalibration.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarvio {

struct PeakAnalysisOptions {
    PeakSearchOptions search;
    const NuclideLibrary* library = nullptr; // none: no identification
    std::optional<EfficiencyCurve> efficiency;
    double liveSeconds = 0.0;
    DecayTiming timing; // activities at this reference
};

struct PeakAnalysis {
    PeakSearchResult search;
    std::optional<EnergyCalibration> calibration;
    std::vector<EnergyPeak> energyPeaks;      // one per found peak when calibrated
    std::vector<NuclideCandidate> candidates; // best first
    // Per peak: "Am-241 gamma" from the best candidate that matched it, else empty.
    std::vector<std::string> peakLabels;
    std::vector<NuclideActivity> activities; // for the candidates, with an efficiency curve
};

PeakAnalysis analyzePeaks(std::span<const double> counts,
                          const std::optional<EnergyCalibration>& calibration,
                          const PeakAnalysisOptions& options);

// The channel at an energy on a rising calibration (Newton's method from the line).
double channelAtEnergy(const EnergyCalibration& calibration, double energyKeV);

} // namespace tarvio
