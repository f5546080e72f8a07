#pragma once
// The device's session: the measurement session every front-end drives, with the settings
// file's operating point, presets, regions and calibration, autosaving into the user's
// autosave folder as the window does.

#include "tango/DeviceSession.h"
#include "tango/InterfaceChoice.h"

#include <memory>
#include <mutex>

namespace tarvio {

class DriverBackend;
class MeasurementSession;
class SimulatedBackend;

class SessionAdapter final : public DeviceSession {
public:
    // settingsFile: empty for the settings.ini the window uses.
    SessionAdapter(const std::string& interfaceProperty, const std::string& settingsFile);
    ~SessionAdapter() override;

    bool open() override;
    void close() override;
    bool opened() const override;
    std::string interfaceName() const override;
    std::string lastProblem() const override;

    bool start() override;
    bool stop() override;
    bool single() override;
    void clear() override;
    SaveResult save(const std::string& path) override;

    MeasurementStatus status() override;
    void spectrum(Spectrum& copy) const override;
    void pulse(PulseBuffer& copy) const override;
    std::optional<EnergyCalibration> calibration() const override;

    MeasurementPresets presets() const override;
    void setPresets(const MeasurementPresets& presets) override;

    OperatingSetting operatingPoint() const override;
    BiasRange biasRange() const override;
    bool setBias(std::int32_t volts) override;
    bool setBiasOn(bool on) override;
    bool setThreshold(double volts) override;
    bool setDelay(double seconds) override;
    bool setSamples(std::uint16_t samples) override;

    std::vector<Region> regions() const override;
    void setRegions(const std::vector<Region>& regions) override;
    std::vector<RegionFigures> regionFigures() const override;

    void setStateListener(std::function<void()> listener) override;
    void shutdown() override;
    std::string simulatorRecord() const override;
    std::optional<std::uint64_t> simulatorCommands() const override;

private:
    bool sendBias();

    // The analysis state belongs to one thread at a time: Tango's requests and the event
    // pump take turns through this lock.
    mutable std::recursive_mutex mutex_;
    std::shared_ptr<DriverBackend> real_;
    std::shared_ptr<SimulatedBackend> simulated_;
    std::unique_ptr<MeasurementSession> session_;
    InterfaceChoice choice_;
    std::string settingsFile_;
    std::string problem_;
    OperatingSetting point_;
    BiasRange biasRange_;
};

} // namespace tarvio
