#pragma once
// The settings.ini a command reads its defaults from: the window's own file (the location
// rule of settings/SettingsLocation.h), so that the window and the command agree on the bias
// limits, the delay, the calibration and the simulated interface. A command never writes it
// (the first start of an installed program seeds the user's copy, as the window's would).
// Numbers in it are read with the user's decimal separator, as the window writes
// them, while everything the command prints uses a point.

#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "settings/Settings.h"
#include "sim/SimulatorConfig.h"

#include <optional>
#include <string>

namespace tarvio {

struct CliSettings {
    std::string file; // the file read (it may not exist: then every default holds)
    AppSettings app;
    CalibrationPoint point1;
    CalibrationPoint point2;
    SimulatorConfig simulator;
    double extraDeadTimeSeconds = 0.0; // beyond the hold-off model, measured by hand
    // The window's calibration from peaks ([EnergyCalibration]), when it is the one in use.
    std::optional<EnergyCalibration> fromPeaks;

    // The window's energy axis, as the session's analysis state gives it.
    std::optional<EnergyCalibration> calibration() const;
};

// The program's settings.ini, or `explicitFile` when it is not empty.
CliSettings loadCliSettings(const std::string& explicitFile);

// Makes settings.ini numbers follow the user's locale (LC_NUMERIC, LC_ALL, LANG) without
// changing the process's own locale, which keeps printing a point.
void useUserDecimalSeparator();

} // namespace tarvio
