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

} // namespace tarvio
