#include "tango/ControllerSession.h"

#include "autosave/AutosaveStore.h"
#include "driver/Backend.h"
#include "driver/FtdiBackend.h"
#include "formats/MeasuredSpectrum.h"
#include "formats/SpectrumFiles.h"
#include "settings/AnalysisSettings.h"
#include "settings/BiasConversion.h"
#include "settings/MeasurementSettings.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
#include "settings/SimulatorSettings.h"
#include "sim/SimulatedBackend.h"
#include "sim/SimulatedInterface.h"
#include "spectrometer/QrxController.h"

#include <iostream>

namespace tarvio {

using Lock = std::lock_guard<std::recursive_mutex>;

ControllerSession::ControllerSession(const std::string& interfaceProperty,
                                     const std::string& settingsFile)
    : controller_(std::make_unique<TQrxController>()),
      settingsFile_(settingsFile.empty() ? locateSettings(currentSettingsPlaces()).file
                                         : settingsFile) {
    AppSettings app;
    CalibrationPoint point1, point2;
    loadSettings(settingsFile_, app, point1, point2);
    biasRange_ = {app.biasMinVolts, app.biasMaxVolts};
    point_.biasVolts = std::min(app.biasMinVolts, app.biasMaxVolts);
    point_.delaySeconds = app.delaySeconds;
    point_.samples = DefaultSampleCount;
    const IniFile stored = readSettingsFile(settingsFile_);
    MeasurementSettings measurement;
    readMeasurementSettings(stored, measurement);
    extraDeadTime_ = measurement.extraDeadTimeSeconds;
    controller_->SetPresets(measurement.presets);
    const AnalysisSettings analysis = readAnalysisSettings(stored);
    regions_ = analysis.regions;
    calibration_ = analysis.polynomial;
    if (!calibration_)
        if (const auto line = CalibrationLine::fromPoints(point1, point2); line && line->gain != 0)
            calibration_ = EnergyCalibration::fromLine(*line);

    // As the window lists them: the real interfaces, then the simulated one when the settings
    // enable it; "simulated" in the property means that one alone.
    const SimulatorConfig simulator = loadSimulatorConfig(settingsFile_);
    choice_ = parseInterfaceChoice(interfaceProperty, simulator);
    if (!choice_.simulated) {
        real_ = std::make_shared<FtdiBackend>();
        installBackend(real_);
    }
    if (choice_.simulated || simulator.enabled) {
        simulated_ = std::make_shared<SimulatedBackend>(choice_.simulated.value_or(simulator));
        installBackend(simulated_);
    }
    controller_->SetLogHandler([](const char* line) { std::cerr << (line ? line : "") << '\n'; });
}

ControllerSession::~ControllerSession() {
    shutdown();
    controller_.reset();
    if (simulated_)
        removeBackend(simulated_);
    if (real_)
        removeBackend(real_);
}

bool ControllerSession::open() {
    Lock lock(mutex_);
    problem_.clear();
    if (!choice_.error.empty()) {
        problem_ = choice_.error;
        return false;
    }
    std::vector<std::string> found;
    controller_->ListDevices(found);
    std::string name = choice_.description;
    if (choice_.simulated)
        name = simulated_->interface() ? simulated_->interface()->description() : "";
    else if (name.empty() && !found.empty())
        name = found.front();
    if (name.empty() || std::find(found.begin(), found.end(), name) == found.end()) {
        problem_ = "No interface \"" + name + "\" found.";
        return false;
    }
    if (!controller_->Open(name)) {
        problem_ = "The interface " + name + " did not open.";
        return false;
    }
    opened_ = name;
    // As start-up does: bias off, the threshold read back and sent again, the scope set up.
    controller_->SetBias(0);
    controller_->NoteBiasVolts(std::nullopt);
    point_.biasOn = false;
    controller_->ReadMonitor();
    point_.thresholdVolts = controller_->monitorThreshold();
    controller_->SetThreshold(point_.thresholdVolts);
    controller_->SetSampleCount(point_.samples);
    controller_->ConfigureScope();
    return true;
}

void ControllerSession::close() {
    Lock lock(mutex_);
    if (!controller_->opened())
        return;
    if (!controller_->interfaceLost()) {
        if (measuring_)
            controller_->StopMeasurement();
        controller_->SetBias(0);
    }
    point_.biasOn = false;
    if (measuring_)
        autosave(true);
    measuring_ = false;
    controller_->Close();
}

bool ControllerSession::opened() const {
    Lock lock(mutex_);
    return controller_->opened();
}

std::string ControllerSession::interfaceName() const {
    Lock lock(mutex_);
    return opened_;
}

std::string ControllerSession::lastProblem() const {
    Lock lock(mutex_);
    return problem_;
}

bool ControllerSession::start() {
    Lock lock(mutex_);
    controller_->ClearRecords();
    controller_->SetExtraDeadTime(extraDeadTime_);
    controller_->SetSampleCount(point_.samples);
    measuring_ = controller_->ConfigureScope() &&
                 controller_->ArmMeasurement(point_.delaySeconds) &&
                 controller_->StartMeasurement();
    if (measuring_)
        autosavePath_ = AutosaveStore(AutosaveStore::defaultFolder())
                            .fileFor(controller_->Measurement().startUtcMs.value_or(0));
    return measuring_;
}

bool ControllerSession::stop() {
    Lock lock(mutex_);
    const bool stopped = controller_->StopMeasurement();
    if (measuring_)
        autosave(true);
    measuring_ = false;
    return stopped;
}

bool ControllerSession::single() {
    Lock lock(mutex_);
    return controller_->SingleShot();
}

void ControllerSession::clear() {
    Lock lock(mutex_);
    controller_->ClearRecords();
}

MeasuredSpectrum ControllerSession::measured(bool ended) const {
    PulseBuffer pulse;
    Spectrum counts;
    MeasurementInfo info;
    controller_->Snapshot(pulse, counts, info);
    MeasuredSpectrum m = measuredSpectrum(counts);
    m.measurement = info;
    m.measurement.ended = ended;
    m.calibration = calibration_;
    return m;
}

SaveResult ControllerSession::save(const std::string& path) {
    Lock lock(mutex_);
    const auto format = formatForPath(path);
    if (!format)
        return SaveResult::failure("No spectrum format has the extension of " + path + ".");
    return saveSpectrumFile(
        path, measured(controller_->measurementState() != MeasurementState::Measuring), *format);
}

void ControllerSession::autosave(bool ended) {
    if (autosavePath_.empty())
        return;
    const SaveResult saved =
        AutosaveStore(AutosaveStore::defaultFolder()).write(autosavePath_, measured(ended));
    if (!saved)
        std::cerr << "Autosave failed: " << saved.error << '\n';
}

MeasurementStatus ControllerSession::status() {
    Lock lock(mutex_);
    const MeasurementStatus status = controller_->PollMeasurement();
    if (measuring_ && status.state != MeasurementState::Measuring) {
        measuring_ = false;
        autosave(true);
    }
    return status;
}

void ControllerSession::spectrum(Spectrum& copy) const {
    PulseBuffer pulse;
    controller_->Snapshot(pulse, copy);
}

void ControllerSession::pulse(PulseBuffer& copy) const {
    Spectrum counts;
    controller_->Snapshot(copy, counts);
}

std::optional<EnergyCalibration> ControllerSession::calibration() const {
    Lock lock(mutex_);
    return calibration_;
}

MeasurementPresets ControllerSession::presets() const {
    return controller_->Presets();
}

void ControllerSession::setPresets(const MeasurementPresets& presets) {
    Lock lock(mutex_);
    controller_->SetPresets(presets);
}

OperatingSetting ControllerSession::operatingPoint() const {
    Lock lock(mutex_);
    return point_;
}

BiasRange ControllerSession::biasRange() const {
    Lock lock(mutex_);
    return biasRange_;
}

bool ControllerSession::sendBias() {
    if (!controller_->opened())
        return true;
    if (!point_.biasOn) {
        controller_->NoteBiasVolts(std::nullopt);
        return controller_->SetBias(0);
    }
    controller_->NoteBiasVolts(biasVoltsInForce(point_.biasVolts, biasRange_.min, biasRange_.max));
    return controller_->SetBias(biasCode(point_.biasVolts, biasRange_.min, biasRange_.max));
}

bool ControllerSession::setBias(std::int32_t volts) {
    Lock lock(mutex_);
    point_.biasVolts = volts;
    return !point_.biasOn || sendBias();
}

bool ControllerSession::setBiasOn(bool on) {
    Lock lock(mutex_);
    point_.biasOn = on;
    return sendBias();
}

bool ControllerSession::setThreshold(double volts) {
    Lock lock(mutex_);
    point_.thresholdVolts = volts;
    return !controller_->opened() || controller_->SetThreshold(volts);
}

bool ControllerSession::setDelay(double seconds) {
    Lock lock(mutex_);
    point_.delaySeconds = seconds;
    return true;
}

bool ControllerSession::setSamples(std::uint16_t samples) {
    Lock lock(mutex_);
    point_.samples = samples;
    controller_->SetSampleCount(samples);
    return !controller_->opened() || controller_->ConfigureScope();
}

std::vector<Region> ControllerSession::regions() const {
    Lock lock(mutex_);
    return regions_;
}

void ControllerSession::setRegions(const std::vector<Region>& regions) {
    Lock lock(mutex_);
    regions_ = regions;
}

void ControllerSession::setStateListener(std::function<void()> listener) {
    controller_->SetStateListener([listener = std::move(listener)](MeasurementState) {
        if (listener)
            listener();
    });
}

void ControllerSession::shutdown() {
    Lock lock(mutex_);
    if (controller_)
        close();
}

std::string ControllerSession::simulatorRecord() const {
    const auto sim = simulated_ ? simulated_->interface() : nullptr;
    if (!sim)
        return {};
    std::string line = "Simulated interface: " + std::to_string(sim->stats().commands) +
                       " commands; bias codes sent:";
    for (const std::uint8_t code : sim->biasCodesSent())
        line += " " + std::to_string(code);
    return line;
}

std::optional<std::uint64_t> ControllerSession::simulatorCommands() const {
    const auto sim = simulated_ ? simulated_->interface() : nullptr;
    if (!sim)
        return std::nullopt;
    return sim->stats().commands;
}

} // namespace tarvio
