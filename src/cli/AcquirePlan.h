#pragma once
// Everything one acquisition needs, settled before the interface is touched: the options of
// the command line over the defaults of settings.ini, checked, the bias already converted.

#include "analysis/Region.h"
#include "cli/RegionArgument.h"
#include "cli/SpectrumOutput.h"
#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"
#include "sim/SimulatorConfig.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct AcquirePlan {
    std::string device; // empty: the first one listed
    // Set with --simulate: the simulated interface with these settings, and nothing else.
    std::optional<SimulatorConfig> simulator;

    std::int32_t biasVolts = 16;          // in force: the asked voltage held to the limits
    std::uint8_t biasCode = 255;          // what the interface is sent for it
    std::optional<double> thresholdVolts; // none: the interface's own, as the window adopts it
    double delaySeconds = 0.2;
    std::uint16_t samples = 450;

    MeasurementPresets limits; // none: until interrupted
    SpectrumOutput output;
    std::optional<double> autosaveSeconds;
    // The window's calibration from settings.ini: its two points, its calibration from
    // peaks, and the axis they give (AnalysisState's activeCalibration).
    CalibrationPoint point1;
    CalibrationPoint point2;
    std::optional<EnergyCalibration> fromPeaks;
    std::optional<EnergyCalibration> calibration;
    std::vector<Region> regions;
    bool fit = false;
    bool jsonStatus = false;
};

} // namespace tarvio
