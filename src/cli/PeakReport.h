#pragma once
// What analyze --peaks found, as aligned text for people or JSON for scripts: the peaks
// with their figures and nuclide, the calibration with a source and its residuals, the
// nuclides named with their evidence, the efficiency points and curve, the activities.

#include "cli/AnalyzePeaks.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace tarvio {

std::string peakRunText(const PeakRun& run);
nlohmann::json peakRunJson(const PeakRun& run);

// "12.34 +- 0.56": the uncertainty to two significant digits and the value to as many places.
std::string valueWithUncertainty(double value, double uncertainty);
// "432.6 y", "6.01 h": the half-life in the unit that suits it.
std::string halfLifeText(double seconds);

} // namespace tarvio
