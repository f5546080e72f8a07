#pragma once
// The simulated interface as a backend of the driver layer: listed after every real interface
// (rank 100), one device, opened by its description.
//
// The configuration comes from a provider called when the interfaces are first listed (or the
// device is first reached); from then on the same simulated interface stays, across opens
// and closes, as a real one would. Tests reach it through interface().
//
//     auto sim = SimulatedBackend::install(config);   // or ScopedSimulatedBackend in a test
//     ... open it through the driver or the link layer ...
//     sim->interface()->injectFault(SimFault::cutShort(3));
//     sim->interface()->pulseHistogram();

#include "driver/Backend.h"
#include "sim/SimulatedInterface.h"
#include "sim/SimulatorConfig.h"

#include <functional>
#include <memory>
#include <mutex>

namespace tarvio {

class SimulatedBackend final : public DriverBackend {
public:
    static constexpr int Rank = 100;

    explicit SimulatedBackend(std::function<SimulatorConfig()> configProvider);
    explicit SimulatedBackend(const SimulatorConfig& config);

    // Creates a backend with this configuration and installs it in the driver layer.
    static std::shared_ptr<SimulatedBackend> install(const SimulatorConfig& config = {});

    int rank() const override { return Rank; }
    // The simulated interface's description, unless the configuration disables it or it is
    // unplugged.
    DriverStatus enumerate(std::vector<std::string>& descriptions) override;
    DriverStatus open(const std::string& description,
                      std::unique_ptr<DriverDevice>& device) override;

    // The simulated interface (created from the configuration on first use); none when the
    // configuration disables the simulator.
    std::shared_ptr<SimulatedInterface> interface();

private:
    std::mutex mutex_;
    std::function<SimulatorConfig()> provider_;
    bool configured_ = false;
    std::shared_ptr<SimulatedInterface> interface_;
};

// Installs a simulated backend for the lifetime of a scope (tests).
class ScopedSimulatedBackend {
public:
    explicit ScopedSimulatedBackend(const SimulatorConfig& config = {})
        : backend_(SimulatedBackend::install(config)) {}
    ~ScopedSimulatedBackend() { removeBackend(backend_); }
    ScopedSimulatedBackend(const ScopedSimulatedBackend&) = delete;
    ScopedSimulatedBackend& operator=(const ScopedSimulatedBackend&) = delete;

    SimulatedBackend* operator->() const { return backend_.get(); }
    // The simulated interface (none when the configuration disables it).
    std::shared_ptr<SimulatedInterface> interface() const { return backend_->interface(); }

private:
    std::shared_ptr<SimulatedBackend> backend_;
};

} // namespace tarvio
