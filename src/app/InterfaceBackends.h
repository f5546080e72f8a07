#pragma once
// The interfaces the program can reach: real ones over USB first, then the simulated one
// when the [Simulator] section of the settings file enables it (it does by default).

#include <string>

namespace tarvio {

// Installs the driver backends. Call once, before the main window lists the interfaces.
void installInterfaceBackends(const std::string& settingsFile);

} // namespace tarvio
