#include "session/MeasurementSession.h"

#include "driver/TimeSource.h"
#include "spectrometer/Monitor.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

namespace tarvio {

namespace {

// How often the session's thread looks at the measurement: well inside the display's
// refresh, so a time preset stops the interface at once.
constexpr auto WatchPeriod = std::chrono::milliseconds(20);
// How long the watchdog's rescue waits for the data lock a stuck thread may hold.
constexpr double RescueLockSeconds = 1.0;

std::int64_t nowUtcMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

} // namespace

const char* EndReasonName(EndReason reason) {
    switch (reason) {
    case EndReason::Preset:
        return "preset";
    case EndReason::InterfaceLost:
        return "interface lost";
    case EndReason::Close:
        return "close";
    case EndReason::Stop:
        break;
    }
    return "stop";
}

AutosavePolicy AutosavePolicy::inFolder(std::string folder, std::optional<double> intervalSeconds) {
    return AutosavePolicy{true, std::move(folder), {}, intervalSeconds};
}

AutosavePolicy AutosavePolicy::toFile(std::string path, std::optional<double> intervalSeconds) {
    return AutosavePolicy{true, {}, std::move(path), intervalSeconds};
}

std::string autosavePathFor(const std::string& output) {
    const std::filesystem::path path(output);
    std::filesystem::path name = path.stem();
    name += ".autosave";
    name += path.extension();
    return (path.parent_path() / name).string();
}

std::string chooseInterface(const std::vector<std::string>& devices, const std::string& wanted,
                            std::string& problem) {
    if (devices.empty()) {
        problem = "No interface found.";
        return {};
    }
    if (wanted.empty())
        return devices.front();
    if (std::find(devices.begin(), devices.end(), wanted) != devices.end())
        return wanted;
    std::string found;
    for (const std::string& device : devices)
        found += (found.empty() ? "'" : ", '") + device + "'";
    problem = "No interface '" + wanted + "' found; found: " + found + ".";
    return {};
}

MeasurementSession::MeasurementSession() : controller_(std::make_unique<TQrxController>()) {
    controller_->SetLogHandler([this](const char* line) { log(line ? line : ""); });
    // Called with the link lock held, on whichever thread noticed: the session's thread ends
    // the measurement.
    controller_->SetInterfaceLostHandler([this] {
        lostNoticed_.store(true);
        wake_.notify_all();
    });
    analysis_.addListener([this] {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        calibration_ = analysis_.activeCalibration();
    });
    // Runs on the thread that waits for the stuck monitoring thread.
    SetMonitorRescue([this] {
        // A thread stuck inside an operation may hold the session's lock for good.
        std::unique_lock<std::recursive_timed_mutex> op(
            opMutex_, std::chrono::duration<double>(RescueLockSeconds));
        if (!op.owns_lock() || !autosave_.policy.enabled)
            return;
        Spectrum spectrum;
        MeasurementInfo info;
        if (!controller_->TrySnapshot(spectrum, RescueLockSeconds, &info))
            return; // the last periodic autosave is all there is
        MeasuredSpectrum record = measuredSpectrum(spectrum);
        record.measurement = withFacts(std::move(info));
        record.measurement.ended = false; // offered back at the next start
        record.calibration = calibration_;
        std::string path =
            autosave_.currentPath.empty() ? autosave_.lastPath : autosave_.currentPath;
        AutosaveStore store(autosave_.policy.folder);
        if (path.empty())
            path =
                autosave_.policy.path.empty() ? store.fileFor(nowUtcMs()) : autosave_.policy.path;
        store.write(path, record);
    });
    thread_ = std::thread([this] { watch(); });
}

MeasurementSession::~MeasurementSession() {
    {
        std::lock_guard<std::mutex> guard(wakeMutex_);
        quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
    SetMonitorRescue({});
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        if (running_)
            endLocked(EndReason::Close, std::nullopt);
    }
    controller_->SetInterfaceLostHandler({});
    controller_.reset();
}

void MeasurementSession::setLogHandler(LogHandler handler) {
    std::lock_guard<std::mutex> guard(handlerMutex_);
    logHandler_ = std::move(handler);
}

void MeasurementSession::setEndedListener(EndedListener listener) {
    std::lock_guard<std::mutex> guard(handlerMutex_);
    endedListener_ = std::move(listener);
}

void MeasurementSession::log(const std::string& line) const {
    LogHandler handler;
    {
        std::lock_guard<std::mutex> guard(handlerMutex_);
        handler = logHandler_;
    }
    if (handler)
        handler(line);
}

std::vector<std::string> MeasurementSession::listDevices() {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    std::vector<std::string> devices;
    controller_->ListDevices(devices);
    return devices;
}

bool MeasurementSession::open(const std::string& device, std::optional<double> threshold) {
    std::optional<MeasurementEnd> ended;
    bool opened = false;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        if (running_)
            ended = endLocked(EndReason::Close, std::nullopt);
        lostNoticed_.store(false);
        startedSinceOpen_ = false;
        opened = controller_->Open(device);
        if (opened) {
            // A freshly opened interface has been reset: the bias goes off, and the window
            // and the interface agree on the threshold.
            controller_->SetBias(0);
            controller_->NoteBiasVolts(std::nullopt);
            controller_->ReadMonitor();
            thresholdVolts_ = threshold.value_or(controller_->monitorThreshold());
            controller_->SetThreshold(thresholdVolts_);
            controller_->ConfigureScope();
        }
    }
    tell(ended);
    return opened;
}

void MeasurementSession::close() {
    std::optional<MeasurementEnd> ended;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        // A lost interface has no measurement left to stop.
        if (!controller_->interfaceLost())
            controller_->StopMeasurement();
        if (running_)
            ended = endLocked(EndReason::Close, std::nullopt);
        controller_->Close();
    }
    tell(ended);
}

bool MeasurementSession::isOpen() const {
    return controller_->opened();
}

bool MeasurementSession::interfaceLost() const {
    return controller_->interfaceLost();
}

const std::string& MeasurementSession::deviceName() const {
    return controller_->deviceName();
}

bool MeasurementSession::setThreshold(double volts) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    thresholdVolts_ = volts;
    return controller_->SetThreshold(volts);
}

bool MeasurementSession::setBias(std::uint8_t code, std::optional<double> volts) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    if (!controller_->SetBias(code))
        return false;
    controller_->NoteBiasVolts(code == 0 ? std::nullopt : volts);
    return true;
}

bool MeasurementSession::readMonitor() {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return controller_->ReadMonitor();
}

void MeasurementSession::switchOff() noexcept {
    try {
        if (!isOpen() || interfaceLost())
            return;
        if (startedSinceOpen_)
            stop();
        // The record keeps the bias it was measured with.
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        controller_->SetBias(0);
    } catch (...) {
        // Nothing more can be done for the interface here; the failure has been logged.
    }
}

bool MeasurementSession::start(const StartRequest& request) {
    std::optional<MeasurementEnd> ended;
    bool started = false;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        startedSinceOpen_ = true;
        // A Start during a measurement begins a new one: the old one's autosave is final
        // first. Nothing is sent to stop it; the new Start replaces it on the interface.
        if (running_)
            ended = endLocked(EndReason::Stop, std::nullopt);
        restored_.reset();
        controller_->ClearRecords();
        controller_->SetSampleCount(request.samplesPerPulse);
        delaySeconds_ = request.delaySeconds;
        controller_->ConfigureScope();
        controller_->ArmMeasurement(request.delaySeconds);
        started = controller_->StartMeasurement();
        if (started) {
            running_ = true;
            if (autosave_.policy.enabled) {
                AutosaveStore store(autosave_.policy.folder);
                autosave_.currentPath = autosave_.policy.path.empty() ? store.fileFor(nowUtcMs())
                                                                      : autosave_.policy.path;
                autosave_.lock = std::make_unique<AutosaveWriterLock>(autosave_.currentPath);
                autosave_.nextDue =
                    timeSource().now() + autosave_.policy.intervalSeconds.value_or(0.0);
            }
            const MeasurementInfo info = controller_->Measurement();
            for (PulseConsumer* consumer : consumers_)
                consumer->measurementStarted(info);
        }
    }
    tell(ended);
    wake_.notify_all();
    return started;
}

void MeasurementSession::stop() {
    std::optional<MeasurementEnd> ended;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        if (!isOpen())
            return;
        controller_->StopMeasurement();
        if (running_)
            ended = endLocked(EndReason::Stop, std::nullopt);
    }
    tell(ended);
}

bool MeasurementSession::single() {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    if (!isOpen())
        return false;
    controller_->ConfigureScope();
    return controller_->SingleShot();
}

bool MeasurementSession::measuring() const {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return running_;
}

void MeasurementSession::setPresets(const MeasurementPresets& presets) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    controller_->SetPresets(presets);
    wake_.notify_all();
}

MeasurementPresets MeasurementSession::presets() const {
    return controller_->Presets();
}

void MeasurementSession::setExtraDeadTime(double seconds) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    controller_->SetExtraDeadTime(seconds);
}

MeasurementStatus MeasurementSession::status() {
    std::optional<MeasurementEnd> ended;
    MeasurementStatus status;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        status = serviceLocked(ended);
    }
    tell(ended);
    return status;
}

MeasurementStatus MeasurementSession::serviceLocked(std::optional<MeasurementEnd>& ended) {
    const MeasurementStatus status = controller_->PollMeasurement();
    ended = checkLocked(status);
    if (running_ && autosave_.policy.intervalSeconds && timeSource().now() >= autosave_.nextDue) {
        autosave_.nextDue = timeSource().now() + *autosave_.policy.intervalSeconds;
        autosaveLocked(false);
    }
    return status;
}

void MeasurementSession::watch() {
    std::unique_lock<std::mutex> lock(wakeMutex_);
    while (!quit_) {
        wake_.wait_for(lock, WatchPeriod);
        if (quit_)
            break;
        lock.unlock();
        std::optional<MeasurementEnd> ended;
        {
            std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
            if (running_)
                serviceLocked(ended);
        }
        tell(ended);
        lock.lock();
    }
}

std::optional<MeasurementEnd> MeasurementSession::checkLocked(const MeasurementStatus& status) {
    if (!running_)
        return std::nullopt;
    if (controller_->interfaceLost() || lostNoticed_.load())
        return endLocked(EndReason::InterfaceLost, std::nullopt);
    if (status.presetReached)
        return endLocked(EndReason::Preset, status.presetReached);
    return std::nullopt;
}

std::optional<MeasurementEnd> MeasurementSession::endLocked(EndReason reason,
                                                            std::optional<PresetKind> preset) {
    running_ = false;
    MeasurementEnd end{reason, preset, controller_->Measurement()};
    if (!autosave_.currentPath.empty()) {
        autosaveLocked(true);
        autosave_.currentPath.clear();
        autosave_.lock.reset();
    }
    for (PulseConsumer* consumer : consumers_)
        consumer->measurementEnded(end.info);
    return end;
}

void MeasurementSession::tell(const std::optional<MeasurementEnd>& end) {
    if (!end)
        return;
    EndedListener listener;
    {
        std::lock_guard<std::mutex> guard(handlerMutex_);
        listener = endedListener_;
    }
    if (listener)
        listener(*end);
}

void MeasurementSession::setAutosavePolicy(AutosavePolicy policy) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    autosave_.policy = std::move(policy);
    if (autosave_.policy.intervalSeconds)
        autosave_.nextDue = timeSource().now() + *autosave_.policy.intervalSeconds;
    wake_.notify_all();
}

void MeasurementSession::autosaveNow() {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    autosaveLocked(false);
}

std::string MeasurementSession::autosavePath() const {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return autosave_.currentPath.empty() ? autosave_.lastPath : autosave_.currentPath;
}

void MeasurementSession::discardAutosave() {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    if (running_ || autosave_.lastPath.empty())
        return;
    std::error_code ignored; // an autosave that cannot be removed is merely left behind
    std::filesystem::remove(autosave_.lastPath, ignored);
    autosave_.lastPath.clear();
}

void MeasurementSession::autosaveLocked(bool ended) {
    if (autosave_.currentPath.empty())
        return;
    MeasuredSpectrum record = recordLocked();
    record.measurement.ended = ended;
    AutosaveStore store(autosave_.policy.folder);
    const SaveResult saved = store.write(autosave_.currentPath, record);
    autosave_.lastPath = autosave_.currentPath;
    // A full disk must not fill the log every few minutes; it is said once.
    if (!saved && saved.error != autosave_.lastError)
        log("Autosave failed: " + saved.error);
    autosave_.lastError = saved ? std::string() : saved.error;
}

std::optional<AutosaveStore::Unfinished>
MeasurementSession::unfinishedAutosave(std::string* problem) const {
    std::string folder;
    {
        std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
        if (!autosave_.policy.enabled || !autosave_.policy.path.empty())
            return std::nullopt;
        folder = autosave_.policy.folder;
    }
    return AutosaveStore(folder).newestUnfinished(problem);
}

SaveResult MeasurementSession::restore(const AutosaveStore::Unfinished& unfinished) {
    const auto spectrum = toSpectrum(unfinished.spectrum);
    if (!spectrum)
        return SaveResult::failure(unfinished.path +
                                   ": more channels or counts than a measurement holds");
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    {
        QrxControllerCriticalSection lock(*controller_);
        controller_->spectrum.copyFrom(*spectrum);
    }
    restored_ = unfinished.spectrum;
    AutosaveStore store(autosave_.policy.folder);
    return store.markRestored(unfinished);
}

const MeasuredSpectrum* MeasurementSession::restored() const {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return restored_ ? &*restored_ : nullptr;
}

MeasurementInfo MeasurementSession::withFacts(MeasurementInfo info) const {
    if (restored_)
        return restored_->measurement;
    // The record has the times and what the interface ran with since the last Start; before
    // any Start the session's settings are the best there is.
    OperatingPoint& op = info.operatingPoint;
    if (isOpen()) {
        if (op.interfaceDescription.empty())
            op.interfaceDescription = controller_->deviceName();
        if (!op.thresholdVolts)
            op.thresholdVolts = thresholdVolts_;
    }
    if (!op.delaySeconds)
        op.delaySeconds = delaySeconds_;
    if (!op.samplesPerPulse)
        op.samplesPerPulse = controller_->sampleCount();
    return info;
}

MeasuredSpectrum MeasurementSession::recordLocked() const {
    // Counts and times copied together, so that they agree.
    PulseBuffer pulse;
    Spectrum spectrum;
    MeasurementInfo info;
    controller_->Snapshot(pulse, spectrum, info);
    MeasuredSpectrum record = measuredSpectrum(spectrum);
    record.measurement = withFacts(std::move(info));
    record.calibration = restored_ ? restored_->calibration : calibration_;
    return record;
}

MeasuredSpectrum MeasurementSession::currentRecord() const {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return recordLocked();
}

MeasurementInfo MeasurementSession::currentMeasurement() const {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    return withFacts(controller_->Measurement());
}

void MeasurementSession::snapshot(PulseBuffer& pulse, Spectrum& spectrum) const {
    controller_->Snapshot(pulse, spectrum);
}

void MeasurementSession::setPulseProcessor(PulseProcessor* processor) {
    controller_->SetPulseProcessor(processor);
}

void MeasurementSession::addPulseConsumer(PulseConsumer* consumer) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    if (std::find(consumers_.begin(), consumers_.end(), consumer) == consumers_.end())
        consumers_.push_back(consumer);
    controller_->AddPulseConsumer(consumer);
}

void MeasurementSession::removePulseConsumer(PulseConsumer* consumer) {
    std::lock_guard<std::recursive_timed_mutex> op(opMutex_);
    consumers_.erase(std::remove(consumers_.begin(), consumers_.end(), consumer), consumers_.end());
    controller_->RemovePulseConsumer(consumer);
}

} // namespace tarvio
