#pragma once
// What the device server asks of the measurement behind one device: every attribute and
// command of the device is one call here. The device converts units and refuses bad input;
// the session does the measuring.

#include "analysis/Region.h"
#include "analysis/RegionFigures.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"
#include "records/PulseBuffer.h"
#include "records/SaveResult.h"
#include "records/Spectrum.h"
#include "spectrometer/MeasurementRecord.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

// The operating point as the operator sets it.
struct OperatingSetting {
    std::int32_t biasVolts = 0; // what Bias reads; sent only while the bias is on
    bool biasOn = false;
    double thresholdVolts = 0.0;
    double delaySeconds = 0.0;
    std::uint16_t samples = 0;
};

// The bias the settings allow, in volts.
struct BiasRange {
    std::int32_t min = 0;
    std::int32_t max = 0;
};

class DeviceSession {
public:
    virtual ~DeviceSession() = default;

    // The interface of the Interface property: opened with the operating point adopted as
    // start-up does (bias off). Returns whether it is open; why not is in lastProblem().
    virtual bool open() = 0;
    virtual void close() = 0;
    virtual bool opened() const = 0;
    virtual std::string interfaceName() const = 0;
    virtual std::string lastProblem() const = 0;

    virtual bool start() = 0;
    virtual bool stop() = 0;
    virtual bool single() = 0;
    virtual void clear() = 0;
    // The format follows the extension.
    virtual SaveResult save(const std::string& path) = 0;

    // State, record and rates at this moment.
    virtual MeasurementStatus status() = 0;
    virtual void spectrum(Spectrum& copy) const = 0;
    virtual void pulse(PulseBuffer& copy) const = 0;
    virtual std::optional<EnergyCalibration> calibration() const = 0;

    virtual MeasurementPresets presets() const = 0;
    virtual void setPresets(const MeasurementPresets& presets) = 0;

    virtual OperatingSetting operatingPoint() const = 0;
    virtual BiasRange biasRange() const = 0;
    // Each returns whether the interface took it (always true while none is open: it is
    // kept for the next open).
    virtual bool setBias(std::int32_t volts) = 0;
    virtual bool setBiasOn(bool on) = 0;
    virtual bool setThreshold(double volts) = 0;
    virtual bool setDelay(double seconds) = 0;
    virtual bool setSamples(std::uint16_t samples) = 0;

    virtual std::vector<Region> regions() const = 0;
    virtual void setRegions(const std::vector<Region>& regions) = 0;
    // The figures of every region in the spectrum as it stands.
    virtual std::vector<RegionFigures> regionFigures() const = 0;

    // Called on any thread when the measurement's state changes (a preset met, the interface
    // lost): hand the work over.
    virtual void setStateListener(std::function<void()> listener) = 0;

    // The end of the server: the measurement stopped, the bias off, the final autosave
    // written, the interface closed.
    virtual void shutdown() = 0;
    // A line on what a simulated interface was sent (commands, bias codes), empty for a real
    // one: the server prints it when it ends, so that a test can see the bias was left off.
    virtual std::string simulatorRecord() const = 0;
    // Commands the simulated interface has taken so far; nullopt for a real one.
    virtual std::optional<std::uint64_t> simulatorCommands() const = 0;
};

} // namespace tarvio
