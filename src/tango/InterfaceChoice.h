#pragma once
// The device's Interface property: the description of a real readout interface as the
// window lists it, or "simulated" followed by words for the simulated one:
//
//     simulated                       the [Simulator] section of the settings file
//     simulated Cs-137                another source
//     simulated Am-241 activity=5000 seed=7 fast
//
// "fast" runs the simulated interface unpaced (tests). Empty: the first interface found.

#include "sim/SimulatorConfig.h"

#include <optional>
#include <string>

namespace tarvio {

struct InterfaceChoice {
    std::string description;                  // a real interface; empty: the first found
    std::optional<SimulatorConfig> simulated; // set: the simulated interface
    std::string error;                        // why the property cannot be used
};

// base: the [Simulator] settings the words change.
InterfaceChoice parseInterfaceChoice(const std::string& property, const SimulatorConfig& base);

} // namespace tarvio
