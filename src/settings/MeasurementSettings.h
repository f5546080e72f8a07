#pragma once
// The measurement's keys of settings.ini beside the window's own:
//
//   [Presets]            ; written once a preset has been set; empty = no preset
//   RealTime=3600        ; seconds
//   LiveTime=
//   Counts=1000000
//   RegionCounts=5000    ; counts in channels RegionFirst..RegionLast, net above the
//   RegionFirst=340      ; background of its edges unless RegionGross=1
//   RegionLast=370
//   RegionGross=0
//
//   [DeadTime]           ; by hand only, for hardware whose dead time was measured
//   ExtraPerPulseUs=0    ; microseconds added to the hold-off model for every pulse

#include "records/Measurement.h"
#include "settings/IniFile.h"

namespace tarvio {

struct MeasurementSettings {
    MeasurementPresets presets;      // [Presets]: when a measurement stops by itself
    double extraDeadTimeSeconds = 0; // [DeadTime], by hand only: beyond the hold-off model
};

// Never fails: a missing or unreadable value, or one that is not positive, is no preset
// (no extra dead time).
void readMeasurementSettings(const IniFile& ini, MeasurementSettings& settings);
// Leaves a file without presets as it is, so a fresh file keeps its nine lines.
void writeMeasurementSettings(IniFile& ini, const MeasurementSettings& settings);

} // namespace tarvio
