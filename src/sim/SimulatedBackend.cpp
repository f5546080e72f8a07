#include "sim/SimulatedBackend.h"

namespace tarvio {

namespace {

// One open handle on the simulated interface. The interface outlives the handle, and a
// handle whose session ended (closed, unplugged) gets failing statuses.
class SimulatedDevice final : public DriverDevice {
public:
    SimulatedDevice(std::shared_ptr<SimulatedInterface> sim, std::uint64_t session)
        : sim_(std::move(sim)), session_(session) {}

    ~SimulatedDevice() override {
        if (!closed_) {
            sim_->close(session_);
        }
    }

    DriverStatus purge(std::uint32_t mask) override { return sim_->purge(session_, mask); }
    DriverStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        return sim_->setTimeouts(session_, readMs, writeMs);
    }
    DriverStatus deviceInfo(DriverDeviceInfo& info) override {
        std::uint32_t queued = 0;
        // The cheapest way to learn whether the session still holds.
        const DriverStatus status = sim_->queueStatus(session_, queued);
        if (status != DRV_OK) {
            return status;
        }
        info = sim_->deviceInfo();
        return DRV_OK;
    }
    DriverStatus queueStatus(std::uint32_t& rxBytes) override {
        return sim_->queueStatus(session_, rxBytes);
    }
    DriverStatus read(std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t& bytesRead) override {
        return sim_->read(session_, buffer, count, bytesRead);
    }
    DriverStatus write(const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& bytesWritten) override {
        return sim_->write(session_, buffer, count, bytesWritten);
    }
    DriverStatus close() override {
        closed_ = true;
        return sim_->close(session_);
    }
    bool lost() const override { return sim_->sessionLost(session_); }

private:
    std::shared_ptr<SimulatedInterface> sim_;
    std::uint64_t session_;
    bool closed_ = false;
};

} // namespace

SimulatedBackend::SimulatedBackend(std::function<SimulatorConfig()> configProvider)
    : provider_(std::move(configProvider)) {}

SimulatedBackend::SimulatedBackend(const SimulatorConfig& config)
    : provider_([config] { return config; }) {}

std::shared_ptr<SimulatedBackend> SimulatedBackend::install(const SimulatorConfig& config) {
    auto backend = std::make_shared<SimulatedBackend>(config);
    installBackend(backend);
    return backend;
}

std::shared_ptr<SimulatedInterface> SimulatedBackend::interface() {
    std::lock_guard lock(mutex_);
    if (!configured_) {
        configured_ = true;
        const SimulatorConfig config = provider_ ? sanitized(provider_()) : SimulatorConfig{};
        if (config.enabled) {
            interface_ = std::make_shared<SimulatedInterface>(config);
        }
    }
    return interface_;
}

DriverStatus SimulatedBackend::enumerate(std::vector<std::string>& descriptions) {
    descriptions.clear();
    const auto sim = interface();
    if (sim && sim->pluggedIn()) {
        descriptions.push_back(sim->description());
    }
    return DRV_OK;
}

DriverStatus SimulatedBackend::open(const std::string& description,
                                    std::unique_ptr<DriverDevice>& device) {
    const auto sim = interface();
    if (!sim || description != sim->description()) {
        return DRV_DEVICE_NOT_FOUND;
    }
    std::uint64_t session = 0;
    const DriverStatus status = sim->open(session);
    if (status != DRV_OK) {
        return status;
    }
    device = std::make_unique<SimulatedDevice>(sim, session);
    return DRV_OK;
}

} // namespace tarvio
