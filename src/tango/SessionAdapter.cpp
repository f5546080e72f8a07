#include "tango/SessionAdapter.h"

#include "autosave/AutosaveStore.h"
#include "driver/Backend.h"
#include "driver/FtdiBackend.h"
#include "formats/SpectrumFiles.h"
#include "session/MeasurementSession.h"
#include "settings/AutosaveSettings.h"
#include "settings/BiasConversion.h"
#include "settings/MeasurementSettings.h"
#include "settings/Settings.h"
#include "settings/SettingsLocation.h"
#include "settings/SimulatorSettings.h"
#include "sim/SimulatedBackend.h"
#include "sim/SimulatedInterface.h"

#include <algorithm>
#include <iostream>

namespace tarvio {

using Lock = std::lock_guard<std::recursive_mutex>;

SessionAdapter::SessionAdapter(const std::string& interfaceProperty,
                               const std::string& settingsFile)
    : settingsFile_(settingsFile.empty() ? locateSettings(currentSettingsPlaces()).file
                                         : settingsFile) {
    // As the window lists them: the real interfaces, then the simulated one when the settings
    // enable it; "simulated" in the property means that one alone. Installed before the
    // session lists anything.
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

    session_ = std::make_unique<MeasurementSession>();
    session_->setLogHandler([](const std::string& line) { std::cerr << line << '\n'; });

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
    session_->setPresets(measurement.presets);
    session_->setExtraDeadTime(measurement.extraDeadTimeSeconds);
    session_->analysis().load(stored);
    session_->analysis().loadTwoPoints(point1, point2);

    const int minutes = loadAutosaveSettings(settingsFile_).minutes;
    session_->setAutosavePolicy(AutosavePolicy::inFolder(
        AutosaveStore::defaultFolder(),
        minutes > 0 ? std::optional<double>(minutes * 60.0) : std::nullopt));
}

SessionAdapter::~SessionAdapter() {
    shutdown();
    session_.reset();
    if (simulated_)
        removeBackend(simulated_);
    if (real_)
        removeBackend(real_);
}

bool SessionAdapter::open() {
    Lock lock(mutex_);
    problem_.clear();
    if (!choice_.error.empty()) {
        problem_ = choice_.error;
        return false;
    }
    const std::vector<std::string> found = session_->listDevices();
    std::string name = choice_.description;
    if (choice_.simulated)
        name = simulated_->interface() ? simulated_->interface()->description() : "";
    else if (name.empty() && !found.empty())
        name = found.front();
    if (name.empty() || std::find(found.begin(), found.end(), name) == found.end()) {
        problem_ = name.empty() ? "No interface found." : "No interface \"" + name + "\" found.";
        return false;
    }
    if (!session_->open(name)) {
        problem_ = "The interface " + name + " did not open.";
        return false;
    }
    point_.biasOn = false; // opening switches it off
    return true;
}

void SessionAdapter::close() {
    Lock lock(mutex_);
    if (!session_->isOpen())
        return;
    if (!session_->interfaceLost()) {
        session_->stop();
        session_->setBias(0, std::nullopt);
    }
    point_.biasOn = false;
    session_->close();
}

bool SessionAdapter::opened() const {
    return session_->isOpen();
}

std::string SessionAdapter::interfaceName() const {
    Lock lock(mutex_);
    return session_->deviceName();
}

std::string SessionAdapter::lastProblem() const {
    Lock lock(mutex_);
    return problem_;
}

bool SessionAdapter::start() {
    Lock lock(mutex_);
    return session_->start(StartRequest{point_.samples, point_.delaySeconds});
}

bool SessionAdapter::stop() {
    session_->stop();
    return true;
}

bool SessionAdapter::single() {
    return session_->single();
}

void SessionAdapter::clear() {
    session_->controller().ClearRecords();
}

SaveResult SessionAdapter::save(const std::string& path) {
    const auto format = formatForPath(path);
    if (!format)
        return SaveResult::failure("No spectrum format has the extension of " + path + ".");
    return saveSpectrumFile(path, session_->currentRecord(), *format);
}

MeasurementStatus SessionAdapter::status() {
    return session_->status();
}

void SessionAdapter::spectrum(Spectrum& copy) const {
    PulseBuffer pulse;
    session_->snapshot(pulse, copy);
}

void SessionAdapter::pulse(PulseBuffer& copy) const {
    Spectrum counts;
    session_->snapshot(copy, counts);
}

std::optional<EnergyCalibration> SessionAdapter::calibration() const {
    Lock lock(mutex_);
    return session_->analysis().activeCalibration();
}

MeasurementPresets SessionAdapter::presets() const {
    return session_->presets();
}

void SessionAdapter::setPresets(const MeasurementPresets& presets) {
    session_->setPresets(presets);
}

OperatingSetting SessionAdapter::operatingPoint() const {
    Lock lock(mutex_);
    OperatingSetting point = point_;
    if (session_->isOpen())
        point.thresholdVolts = session_->thresholdVolts();
    return point;
}

BiasRange SessionAdapter::biasRange() const {
    Lock lock(mutex_);
    return biasRange_;
}

bool SessionAdapter::sendBias() {
    if (!session_->isOpen())
        return true;
    if (!point_.biasOn)
        return session_->setBias(0, std::nullopt);
    return session_->setBias(biasCode(point_.biasVolts, biasRange_.min, biasRange_.max),
                             biasVoltsInForce(point_.biasVolts, biasRange_.min, biasRange_.max));
}

bool SessionAdapter::setBias(std::int32_t volts) {
    Lock lock(mutex_);
    point_.biasVolts = volts;
    return !point_.biasOn || sendBias();
}

bool SessionAdapter::setBiasOn(bool on) {
    Lock lock(mutex_);
    point_.biasOn = on;
    return sendBias();
}

bool SessionAdapter::setThreshold(double volts) {
    Lock lock(mutex_);
    point_.thresholdVolts = volts;
    return !session_->isOpen() || session_->setThreshold(volts);
}

bool SessionAdapter::setDelay(double seconds) {
    Lock lock(mutex_);
    point_.delaySeconds = seconds;
    return true;
}

bool SessionAdapter::setSamples(std::uint16_t samples) {
    Lock lock(mutex_);
    point_.samples = samples;
    return true;
}

std::vector<Region> SessionAdapter::regions() const {
    Lock lock(mutex_);
    return session_->analysis().regions();
}

void SessionAdapter::setRegions(const std::vector<Region>& regions) {
    Lock lock(mutex_);
    session_->analysis().setRegions(regions);
}

std::vector<RegionFigures> SessionAdapter::regionFigures() const {
    Lock lock(mutex_);
    Spectrum counts;
    spectrum(counts);
    return session_->analysis().figures(counts, session_->currentMeasurement().liveSeconds);
}

void SessionAdapter::setStateListener(std::function<void()> listener) {
    session_->setEndedListener([listener = std::move(listener)](const MeasurementEnd&) {
        if (listener)
            listener();
    });
}

void SessionAdapter::shutdown() {
    Lock lock(mutex_);
    // Stop ends the measurement, which writes the final autosave; then the bias goes off.
    if (session_)
        close();
}

std::string SessionAdapter::simulatorRecord() const {
    const auto sim = simulated_ ? simulated_->interface() : nullptr;
    if (!sim)
        return {};
    std::string line = "Simulated interface: " + std::to_string(sim->stats().commands) +
                       " commands; bias codes sent:";
    for (const std::uint8_t code : sim->biasCodesSent())
        line += " " + std::to_string(code);
    return line;
}

std::optional<std::uint64_t> SessionAdapter::simulatorCommands() const {
    const auto sim = simulated_ ? simulated_->interface() : nullptr;
    if (!sim)
        return std::nullopt;
    return sim->stats().commands;
}

} // namespace tarvio
