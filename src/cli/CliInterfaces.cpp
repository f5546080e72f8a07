#include "cli/CliInterfaces.h"

#include "driver/Backend.h"
#include "sim/SimulatedBackend.h"

namespace tarvio {

CliInterfaces::CliInterfaces(const CliEnvironment& environment, const SimulatorConfig& simulator,
                             bool simulatedOnly) {
    if (!simulatedOnly && environment.realInterfaces)
        if (auto real = environment.realInterfaces())
            installed_.push_back(std::move(real));
    if (simulator.enabled) {
        simulated_ = std::make_shared<SimulatedBackend>(simulator);
        installed_.push_back(simulated_);
    }
    for (const auto& backend : installed_)
        installBackend(backend);
    if (simulated_ && environment.simulatorReady)
        environment.simulatorReady(simulated_->interface());
}

CliInterfaces::~CliInterfaces() {
    for (const auto& backend : installed_)
        removeBackend(backend);
}

std::string CliInterfaces::simulatedDescription() const {
    const auto interface = simulated_ ? simulated_->interface() : nullptr;
    return interface ? interface->description() : std::string();
}

} // namespace tarvio
