#pragma once
// The spectrum analysis kept between runs: the regions of interest in [Regions] and the
// calibration from peaks in [EnergyCalibration]. Neither section is written while it would
// be empty, so a fresh settings.ini keeps only its nine lines; [Calibration] keeps the two
// points of the two-point dialog and means what it always meant.
//
//     [Regions]
//     Region1=1180-1240          first and last channel, both included
//     [EnergyCalibration]
//     Active=1                   1: the polynomial labels the axis; 0: the two points do
//     Model=Quadratic            Line or Quadratic
//     C0=-19.98                  keV = C0 + C1 x channel + C2 x channel^2
//     C1=0.2
//     C2=0
//     Channel1=1197.4            the pairs it was made from
//     Energy1=59.5409
//
// Numbers here always have a point as decimal separator, whatever the locale. Reading never
// fails: what does not parse is left out.

#include "analysis/CalibrationFit.h"
#include "analysis/Region.h"
#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "settings/IniFile.h"

#include <optional>
#include <vector>

namespace tarvio {

// What a file may hold; more are ignored.
inline constexpr std::size_t MaxRegions = 64;
inline constexpr std::size_t MaxCalibrationPairs = 64;

struct AnalysisSettings {
    std::vector<Region> regions;
    std::vector<CalibrationPoint> calibrationPairs;
    CalibrationModel calibrationModel = CalibrationModel::Line;
    std::optional<EnergyCalibration> polynomial; // in use when set
};

AnalysisSettings readAnalysisSettings(const IniFile& ini);
// Replaces both sections (removing one that would be empty).
void writeAnalysisSettings(IniFile& ini, const AnalysisSettings& settings);

} // namespace tarvio
