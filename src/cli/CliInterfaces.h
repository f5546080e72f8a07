#pragma once
// The interfaces a command lists: the real ones first, then the simulated one, as the window
// lists them. The backends stay installed while the object lives.

#include "cli/CliEnvironment.h"
#include "sim/SimulatorConfig.h"

#include <memory>
#include <string>
#include <vector>

namespace tarvio {

class SimulatedBackend;

class CliInterfaces {
public:
    // simulator: the simulated interface's settings; it is listed when they enable it.
    // simulatedOnly: nothing but the simulated interface (acquire --simulate).
    CliInterfaces(const CliEnvironment& environment, const SimulatorConfig& simulator,
                  bool simulatedOnly);
    ~CliInterfaces();
    CliInterfaces(const CliInterfaces&) = delete;
    CliInterfaces& operator=(const CliInterfaces&) = delete;

    // The description of the simulated interface, empty when it is not listed.
    std::string simulatedDescription() const;

private:
    std::vector<std::shared_ptr<DriverBackend>> installed_;
    std::shared_ptr<SimulatedBackend> simulated_;
};

} // namespace tarvio
