#include "spectrometer/QrxController.h"

#include "driver/Driver.h"
#include "link/CommandTable.h"
#include "link/DeviceDescr.h"
#include "link/InterfaceLoss.h"
#include "link/Interfaces.h"
#include "link/PrecisionClock.h"
#include "link/Protocol.h"
#include "link/Report.h"
#include "spectrometer/Commands.h"
#include "spectrometer/DeadTime.h"
#include "spectrometer/InterfaceReset.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/ScopeDecoding.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace tarvio {

namespace {

constexpr std::uint8_t ScopeDataCode = '$';
constexpr std::uint8_t ScopeMode = 2;
constexpr std::uint8_t ScopeFinalByte = 15;
constexpr std::uint8_t TriggerMode = 12;
constexpr std::uint8_t IntervalTimerMode = 16;
constexpr std::uint8_t ThresholdDacChannel = 0;
constexpr int ThresholdMonitorChannel = 9;
constexpr int DeviceListSize = 1024;

// The controller the link layer's hooks reach.
std::atomic<TQrxController*> currentController{nullptr};

void messageHook(DeviceLink& link, QrxCommandResponse& message, std::int32_t) {
    if (TQrxController* controller = currentController.load(std::memory_order_acquire)) {
        controller->OnBackgroundMessage(link, message);
    }
}

void reportHook(DeviceLink& link, std::int32_t) {
    if (TQrxController* controller = currentController.load(std::memory_order_acquire)) {
        controller->OnLinkReport(link);
    }
}

// The controller opens one interface at a time, so a loss is always its interface's.
void lossHook(DeviceLink&, std::int32_t) {
    if (TQrxController* controller = currentController.load(std::memory_order_acquire)) {
        controller->OnInterfaceLost();
    }
}

// Steady seconds of the program's clock (a manual one in tests).
double clockNow() {
    return PrecisionClock::instance().Now();
}

std::int64_t utcMillisecondsNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// The channel a height is counted in: floor(height), held within the spectrum.
std::uint32_t channelOf(double height) {
    if (!(height > 0.0))
        return 0;
    return static_cast<std::uint32_t>(std::min(std::floor(height), SpectrumChannels - 1.0));
}

// A code as a character that keeps a log line whole and readable.
char printableCode(std::uint8_t code) {
    return code >= 0x20 && code < 0x7F ? char(code) : '.';
}

} // namespace

TQrxController::TQrxController() {
    InstallChipDetection();
    pulse.clear();
    spectrum.clear();
    currentController.store(this, std::memory_order_release);
}

TQrxController::~TQrxController() {
    // A failed Open leaves the thread running, so stop it whether or not an interface is open.
    StopMonitor();
    if (opened_) {
        Close();
    }
    QrxCriticalSection linkLock;
    TQrxController* self = this;
    if (currentController.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel)) {
        // Reports go back to error boxes rather than to a log that no longer exists.
        SetReportHook(nullptr, 0);
        SetMessageHook(nullptr, 0);
        SetLossHook(nullptr, 0);
    }
}

void TQrxController::ListDevices(std::vector<std::string>& list) {
    char buffer[DeviceListSize] = {};
    const std::int32_t compatible = ListInterfaces(Medipix2Any, buffer, DeviceListSize);
    std::size_t offset = 0;
    for (std::int32_t i = 0; i < compatible && offset < DeviceListSize; ++i) {
        const std::size_t length = strnlen(buffer + offset, DeviceListSize - offset);
        if (length == 0 || offset + length >= DeviceListSize) {
            break; // the rest did not fit the buffer
        }
        list.emplace_back(buffer + offset, length);
        offset += length + 1;
    }
    logDriverNotices();
}

bool TQrxController::Open(const std::string& name) {
    logLine("Opening device " + name + "...");
    if (opened_) {
        Close();
    }
    // After a failed open the thread still runs; the driver steps of opening do not hold the
    // link lock, so keep the thread away from the new interface until it is configured.
    StopMonitor();
    // Named before opening: a loss noticed during the reset is logged under this name.
    deviceName_ = name;
    interfaceLost_.store(false, std::memory_order_release);
    SetLossHook(&lossHook, 0);
    DeviceDescr* descr = OpenInterface(name.c_str(), true, false);
    logDriverNotices();
    link.Attach(descr);
    opened_ = descr != nullptr;
    SetMessageHook(&messageHook, 0);
    StartMonitor();
    SetReportHook(&reportHook, 0);
    if (opened_) {
        state_.set(MeasurementState::Idle);
        logLine("Device " + name + " opened.");
    } else {
        logLine("Device " + name + " could not be opened!");
    }
    return opened_;
}

void TQrxController::Close() {
    StopMonitor();
    CloseInterface(link, true);
    opened_ = false;
    endMeasurement(MeasurementState::Idle);
    logLine("Device " + deviceName_ + " closed.");
}

void TQrxController::SetLogHandler(LogHandler handler) {
    replace(logHandler_, std::move(handler));
}

void TQrxController::SetPulseHandler(PulseHandler handler) {
    std::lock_guard<std::mutex> guard(handlerMutex_);
    if (!handler) {
        pulseHandler_.store(nullptr, std::memory_order_release);
        return;
    }
    pulseHandlers_.push_back(std::make_unique<const PulseHandler>(std::move(handler)));
    pulseHandler_.store(pulseHandlers_.back().get(), std::memory_order_release);
}

void TQrxController::SetInterfaceLostHandler(InterfaceLostHandler handler) {
    replace(lostHandler_, std::move(handler));
}

void TQrxController::SetSampleCount(std::uint16_t count) {
    sampleCount_ = count;
}

bool TQrxController::ConfigureScope() {
    return ScopeConfigure(link, ScopeMode, sampleCount_, ScopeFinalByte);
}

bool TQrxController::ArmMeasurement(double delaySeconds) {
    if (!SetupTrigger(link, TriggerMode) ||
        !SetupIntervalTimer(link, delaySeconds, IntervalTimerMode)) {
        return false;
    }
    armedDelay_ = delaySeconds;
    return true;
}

bool TQrxController::StartMeasurement() {
    if (!StartWaitingForTrigger(link)) {
        // A Start that did not take leaves no measurement running.
        QrxControllerCriticalSection lock(*this);
        if (!measurement_.running()) {
            state_.change(MeasurementState::Measuring, MeasurementState::Idle);
        }
        return false;
    }
    const double wireRate = link.device ? link.device->wireBytesPerSecond : 0.0;
    const double tau =
        DeadTimePerPulse(armedDelay_.value_or(0.0), sampleCount_, wireRate, extraDeadTime_);
    {
        QrxControllerCriticalSection lock(*this);
        OperatingPoint& point = measurement_.operatingPoint();
        point.interfaceDescription = deviceName_;
        point.chipIdentifiers = link.device ? link.device->chipIdText : "";
        point.delaySeconds = armedDelay_;
        point.samplesPerPulse = sampleCount_;
        measurement_.begin(clockNow(), utcMillisecondsNow(), tau);
    }
    state_.set(MeasurementState::Measuring);
    return true;
}

bool TQrxController::StopMeasurement() {
    const bool stopped = stopInterface();
    endMeasurement(MeasurementState::Idle);
    return stopped;
}

bool TQrxController::stopInterface() {
    if (!StopWaitingForTrigger(link) || !StopIntervalTimer(link)) {
        return false;
    }
    armedDelay_.reset();
    return true;
}

void TQrxController::endMeasurement(MeasurementState next) {
    {
        QrxControllerCriticalSection lock(*this);
        measurement_.end(clockNow());
    }
    if (next == MeasurementState::Idle) {
        state_.change(MeasurementState::Measuring, next);
    } else {
        state_.set(next);
    }
}

bool TQrxController::SingleShot() {
    {
        // A single shot after a preset counts like any pulse.
        QrxControllerCriticalSection lock(*this);
        measurement_.reopen();
        singleShotPending_ = true;
    }
    return SingleShotScope(link);
}

bool TQrxController::SetThreshold(double volts) {
    const std::uint16_t code = VoltsToDacCode(volts);
    ClearReport(link);
    if (!SetInterfaceDac(link, ThresholdDacChannel, code)) {
        return false;
    }
    QrxControllerCriticalSection lock(*this);
    measurement_.operatingPoint().thresholdVolts = volts;
    return true;
}

void TQrxController::NoteBiasVolts(std::optional<double> volts) {
    QrxControllerCriticalSection lock(*this);
    measurement_.operatingPoint().biasVolts = volts;
}

void TQrxController::SetPulseProcessor(PulseProcessor* processor) {
    QrxControllerCriticalSection lock(*this);
    processor_ = processor;
}

void TQrxController::AddPulseConsumer(PulseConsumer* consumer) {
    QrxControllerCriticalSection lock(*this);
    if (consumer && std::find(consumers_.begin(), consumers_.end(), consumer) == consumers_.end())
        consumers_.push_back(consumer);
}

void TQrxController::RemovePulseConsumer(PulseConsumer* consumer) {
    QrxControllerCriticalSection lock(*this);
    consumers_.erase(std::remove(consumers_.begin(), consumers_.end(), consumer), consumers_.end());
}

void TQrxController::SetPresets(const MeasurementPresets& presets) {
    QrxControllerCriticalSection lock(*this);
    measurement_.setPresets(presets, clockNow(), spectrum);
}

MeasurementPresets TQrxController::Presets() const {
    QrxControllerCriticalSection lock(*this);
    return measurement_.presets();
}

void TQrxController::SetExtraDeadTime(double seconds) {
    extraDeadTime_ = seconds;
}

MeasurementStatus TQrxController::PollMeasurement() {
    MeasurementStatus status;
    bool reached = false;
    bool stop = false;
    {
        QrxControllerCriticalSection lock(*this);
        const double now = clockNow();
        measurement_.check(now);
        measurement_.sample(now);
        reached = measurement_.presetReached().has_value();
        stop = measurement_.takeStopOwed();
        measurement_.describe(now, status);
    }
    if (reached) {
        state_.change(MeasurementState::Measuring, MeasurementState::PresetReached);
    }
    if (stop) {
        stopInterface();
    }
    status.state = state_.get();
    return status;
}

void TQrxController::SetStateListener(MeasurementStateCell::Listener listener) {
    state_.setListener(std::move(listener));
}

bool TQrxController::SetBias(std::uint8_t code) {
    return SetBiasVoltage(link, code);
}

bool TQrxController::ReadMonitor() {
    AdcReadings readings{};
    if (!ReadAdcMonitor(link, readings)) {
        return false; // the earlier readings stay
    }
    monitorThreshold_ = DacCodeToVolts(readings[ThresholdMonitorChannel]);
    QrxControllerCriticalSection lock(*this);
    monitorReading2_ = readings[2];
    monitorReading3_ = readings[3];
    return true;
}

std::int32_t TQrxController::monitorReading2() const {
    QrxControllerCriticalSection lock(*this);
    return monitorReading2_;
}

std::int32_t TQrxController::monitorReading3() const {
    QrxControllerCriticalSection lock(*this);
    return monitorReading3_;
}

void TQrxController::Snapshot(PulseBuffer& pulseCopy, Spectrum& spectrumCopy) const {
    QrxControllerCriticalSection lock(*this);
    pulseCopy.copyFrom(pulse);
    spectrumCopy.copyFrom(spectrum);
}

bool TQrxController::TrySnapshot(Spectrum& spectrumCopy, double timeoutSeconds,
                                 MeasurementInfo* info) const {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration<double>(std::max(timeoutSeconds, 0.0));
    while (!dataLock_.TryEnter()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    spectrumCopy.copyFrom(spectrum);
    if (info) {
        *info = measurement_.info(clockNow());
    }
    dataLock_.Leave();
    return true;
}

void TQrxController::Snapshot(PulseBuffer& pulseCopy, Spectrum& spectrumCopy,
                              MeasurementInfo& info) const {
    QrxControllerCriticalSection lock(*this);
    pulseCopy.copyFrom(pulse);
    spectrumCopy.copyFrom(spectrum);
    info = measurement_.info(clockNow());
}

MeasurementInfo TQrxController::Measurement() const {
    QrxControllerCriticalSection lock(*this);
    return measurement_.info(clockNow());
}

void TQrxController::ClearRecords() {
    QrxControllerCriticalSection lock(*this);
    pulse.clear();
    spectrum.clear();
    measurement_.clear();
}

void TQrxController::OnBackgroundMessage(DeviceLink& messageLink, QrxCommandResponse& message) {
    if (message.code == ScopeDataCode) {
        handleScopeData(message);
    } else if (message.messageText) {
        Report(messageLink, ErrorCode::Message, "%.255s", message.messageText);
    } else {
        Report(messageLink, ErrorCode::GeneralError,
               "Unhandled background message: [%c = 0x%02x .. \"%s\"]", printableCode(message.code),
               static_cast<unsigned>(message.code), CommandName(message.code));
    }
}

void TQrxController::handleScopeData(const QrxCommandResponse& message) {
    const std::size_t length = message.count > 0 ? static_cast<std::size_t>(message.count) : 0;
    bool presetMet = false;
    {
        QrxControllerCriticalSection lock(*this);
        ScopeMonitorReadings readings{monitorReading2_, monitorReading3_};
        if (!DecodeScopeData(message.data, length, pulse, readings)) {
            return;
        }
        monitorReading2_ = readings.reading2;
        monitorReading3_ = readings.reading3;
        if (processor_ || !consumers_.empty()) {
            processPulse();
        } else {
            // Only a preset needs to know when the pulse came.
            const double now = measurement_.needsClock() ? clockNow() : 0.0;
            if (measurement_.admit(now)) {
                spectrum.addCount(pulse.maxSample);
                measurement_.counted(now, spectrum, pulse.maxSample);
            }
        }
        presetMet = measurement_.presetReached().has_value();
    }
    if (presetMet) {
        state_.change(MeasurementState::Measuring, MeasurementState::PresetReached);
    }
    if (const PulseHandler* handler = pulseHandler_.load(std::memory_order_acquire)) {
        (*handler)();
    }
}

void TQrxController::processPulse() {
    const double now = clockNow();
    PulseEvent event;
    event.receiveNs = measurement_.receiveNs(now);
    event.samples = pulse.samples.data();
    event.sampleCount = pulse.deliveredCount;
    event.height = pulse.maxSample;
    if (singleShotPending_) {
        singleShotPending_ = false;
        event.flags |= PulseSingleShot;
    }
    if (processor_)
        processor_->process(event);
    if (!measurement_.admit(now)) {
        event.flags |= PulseAfterPreset;
    } else if (event.rejected()) {
        measurement_.rejected(event.flags);
    } else {
        const std::uint32_t channel = channelOf(event.height);
        spectrum.addCount(channel);
        measurement_.counted(now, spectrum, channel);
    }
    for (PulseConsumer* consumer : consumers_)
        consumer->pulse(event);
}

void TQrxController::OnLinkReport(DeviceLink& reportLink) {
    if (IsError(reportLink.level)) {
        log(reportLink.text);
    }
}

void TQrxController::OnInterfaceLost() {
    if (interfaceLost_.exchange(true, std::memory_order_acq_rel)) {
        return;
    }
    // The record ends with what it counted; its real time stops here.
    endMeasurement(MeasurementState::InterfaceLost);
    logLine("Device " + deviceName_ + " lost.");
    if (const auto handler = current(lostHandler_)) {
        (*handler)();
    }
}

void TQrxController::logDriverNotices() {
    for (const std::string& notice : DriverTakeNotices()) {
        logLine(notice);
    }
}

void TQrxController::log(const char* line) {
    if (const auto handler = current(logHandler_)) {
        (*handler)(line);
    }
}

} // namespace tarvio
