#pragma once
// The simulated interface's user settings: the [Simulator] section of settings.ini, which
// the operator edits by hand and the program only reads (saving keeps it as it is).
//
//   [Simulator]
//   Enabled=1        ; 0 hides the simulated interface from the device list
//   Source=Am-241    ; Am-241, Co-57 or Cs-137
//   Activity=2000    ; decays per second
//   Chips=1          ; 1 to 4
//   Seed=1           ; same seed, same pulses
//   Faults=drop, cut ; faults committed on their own: drop, corrupt, insert, cut, silence,
//                    ; wrongcode, error, unplug, or all
//   FaultRate=0.2    ; such faults per second, on average (0: none)
//   WireRate=1000000 ; bytes per second the interface sends (each pulse's dead time)
//   Noise=2          ; sigma of the converter noise on every sample, codes
//   BaselineWander=0 ; sigma of the baseline's slow wander, codes (0: steady)
//   PileUp=0         ; 1: a second photon may land inside a pulse's record

#include "sim/SimulatorConfig.h"

#include <string>

namespace tarvio {

// Never fails: a missing file, section or key and any value that does not parse or lies out
// of range gives that setting's default.
SimulatorConfig loadSimulatorConfig(const std::string& path);

} // namespace tarvio
