#pragma once
// The device's session on the spectrometer controller, with the settings file's operating
// point, presets, regions and calibration, and an autosave at the end.

#include "tango/DeviceSession.h"
#include "tango/InterfaceChoice.h"

#include <memory>
#include <mutex>

namespace tarvio {

class DriverBackend;
struct MeasuredSpectrum;
class SimulatedBackend;
class TQrxController;

class ControllerSession final : public DeviceSession {
public:
    // settingsFile: empty for the settings.ini the window uses.
    ControllerSession(const std::string& interfaceProperty, const std::string& settingsFile);
    ~ControllerSession() override;

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

    void setStateListener(std::function<void()> listener) override;
    void shutdown() override;
    std::string simulatorRecord() const override;
    std::optional<std::uint64_t> simulatorCommands() const override;

private:
    bool sendBias();
    MeasuredSpectrum measured(bool ended) const;
    void autosave(bool ended);

    mutable std::recursive_mutex mutex_;
    std::unique_ptr<TQrxController> controller_;
    std::shared_ptr<DriverBackend> real_;
    std::shared_ptr<SimulatedBackend> simulated_;
    InterfaceChoice choice_;
    std::string settingsFile_;
    std::string problem_;
    std::string opened_;
    OperatingSetting point_;
    BiasRange biasRange_;
    std::optional<EnergyCalibration> calibration_;
    std::vector<Region> regions_;
    double extraDeadTime_ = 0.0;
    bool measuring_ = false;
    std::string autosavePath_;
};

} // namespace tarvio
