#pragma once
// analyze --peaks and what builds on it: the peaks of a spectrum found and fitted, a
// calibration with a known source's lines (--calibrate-with), the nuclides named with their
// evidence (--identify), an efficiency curve from a spectrum of a source of known activity
// (--efficiency) and from it the activities in becquerel.

#include "analysis/Activity.h"
#include "analysis/NuclideLibrary.h"
#include "analysis/PeakAnalysis.h"
#include "analysis/SourceCalibration.h"
#include "formats/MeasuredSpectrum.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tarvio {

struct PeakRequest {
    double sigma = 3.0;
    bool identify = false;
    std::optional<std::string> calibrateWith;    // a nuclide of the library
    std::optional<std::string> efficiencyFile;   // a spectrum of a known source
    std::optional<std::string> efficiencySource; // "NUCLIDE:BQ[@DATE]"; else its Source remark
    std::optional<std::string> activityDate;     // else the start of the measurement
};

struct EfficiencyRun {
    std::string file;
    std::string nuclide;
    double activityBq = 0.0;
    std::vector<EfficiencyPoint> points;
    EfficiencyCurve curve;
};

struct PeakRun {
    PeakAnalysis analysis;
    std::optional<SourceCalibration> sourceCalibration;
    std::string calibrationSource;
    std::optional<EfficiencyRun> efficiency;
    bool identified = false;        // nuclides were looked for
    std::vector<std::string> notes; // what was not done, and why
};

// Throws UsageError for arguments that cannot be right, CommandFailure (AnalysisFailed or
// InputUnreadable) for a calibration or efficiency that cannot be made.
PeakRun runPeaks(const MeasuredSpectrum& measured, const PeakRequest& request,
                 const NuclideLibrary& library, std::ostream& err);

} // namespace tarvio
