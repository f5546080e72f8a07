#include "app/InterfaceBackends.h"

#include "settings/SimulatorSettings.h"
#include "driver/Backend.h"
#include "driver/FtdiBackend.h"
#include "sim/SimulatedBackend.h"

#include <memory>

namespace tarvio {

void installInterfaceBackends(const std::string& settingsFile) {
    installBackend(std::make_shared<FtdiBackend>());
    const SimulatorConfig simulator = loadSimulatorConfig(settingsFile);
    if (simulator.enabled)
        installBackend(std::make_shared<SimulatedBackend>(simulator));
}

} // namespace tarvio
