#pragma once
// The program's settings between runs: settings.ini (SettingsLocation.h says where). Read
// once when the main window is built, written once when it closes; in between the values
// live in the window's AppSettings and the spectrum graph's two calibration points.

#include "records/Calibration.h"

#include <cstdint>
#include <functional>
#include <string>

namespace tarvio {

class IniFile;

struct AppSettings {
    std::int32_t biasMinVolts = 16; // the voltage bias code 255 stands for
    std::int32_t biasMaxVolts = 71; // the voltage bias code 1 stands for
    double delaySeconds = 0.2;      // interval of the periodic measurement
};

// The settings.ini this process uses: beside the executable when that can be written, else in
// the user's configuration folder (see SettingsLocation.h; this call prepares that folder).
// It never depends on the current directory.
std::string settingsPath();

// Reads the file into settings and the two points. Never fails: a missing file, section or
// key, an empty value or one that does not parse gives that key's built-in default. A file
// that is there but was not read (not a regular file, unreadable, too large) counts as
// missing; the result then says why in a line for the log, and is empty otherwise.
std::string loadSettings(const std::string& path, AppSettings& settings, CalibrationPoint& point1,
                         CalibrationPoint& point2);

// The whole file for the sections of other parts of the program; empty when it is missing or
// cannot be read.
IniFile readSettingsFile(const std::string& path);

// Writes the seven keys into the file, keeping everything else in it; `moreSections` may write
// the sections of other parts of the program in the same go. The file is replaced whole or
// not at all; on failure throws AppError "Unable to write to <path>" and the file stays as it
// was. A file without write permission counts as a failure, even for root. A file too large
// to have been read is left as it is: rewriting it would drop what it holds.
void saveSettings(const std::string& path, const AppSettings& settings,
                  const CalibrationPoint& point1, const CalibrationPoint& point2,
                  const std::function<void(IniFile&)>& moreSections = {});

// Delay in whole milliseconds as written to the file: halves go up (12.5 ms gives 13), so a
// value read from the file is written back unchanged; saturates at the 32-bit limits.
std::int32_t delayMilliseconds(double delaySeconds);

} // namespace tarvio
