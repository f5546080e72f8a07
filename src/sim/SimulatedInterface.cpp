#include "sim/SimulatedInterface.h"

#include "driver/TimeSource.h"
#include "sim/PulseShape.h"

#include <algorithm>
#include <cstdio>

namespace tarvio {

namespace {

constexpr std::uint32_t DeviceType = 5;        // an FT232R-class bridge
constexpr std::uint32_t DeviceId = 0x04036001; // FTDI's vendor id, the bridge's product id
constexpr double GroupShare = 0.12;            // pulses sent inside a "[" ... "]" group
constexpr double TextShare = 0.02;             // pulses preceded by a text message

} // namespace

SimulatedInterface::SimulatedInterface(const SimulatorConfig& config)
    : config_(sanitized(config)), board_(config_.chipKind, config_.chips, config_.seed),
      faults_(config_.seed), schedule_(config_.faults, config_.faultRate, config_.seed),
      engine_(config_, board_, &faults_), acquisition_(config_),
      wire_(config_.fastMode ? 0.0 : config_.wireRate), synth_(config_),
      framing_(SimRandom::stream(config_.seed, 3)), histogram_(Channels, 0) {}

std::string SimulatedInterface::description() const {
    return "Medipix2 ver 2.0 simulated: " + config_.serialNumber;
}

DriverDeviceInfo SimulatedInterface::deviceInfo() const {
    DriverDeviceInfo info;
    info.type = DeviceType;
    info.id = DeviceId;
    info.serialNumber = config_.serialNumber;
    info.description = description();
    info.wireBytesPerSecond = config_.wireRate;
    return info;
}

bool SimulatedInterface::sessionAlive(std::uint64_t session) const {
    return plugged_ && open_ && session == session_;
}

DriverStatus SimulatedInterface::sessionStatus(std::uint64_t session) const {
    if (session != session_) {
        return DRV_INVALID_HANDLE;
    }
    if (!plugged_) {
        return DRV_IO_ERROR; // the device went away under an open handle
    }
    return open_ ? DRV_OK : DRV_INVALID_HANDLE;
}

bool SimulatedInterface::sessionLost(std::uint64_t session) const {
    std::lock_guard lock(mutex_);
    return session != session_ || !plugged_;
}

DriverStatus SimulatedInterface::open(std::uint64_t& session) {
    std::lock_guard lock(mutex_);
    const double now = timeSource().now();
    if (!plugged_ && now >= replugAt_) {
        replugLocked();
    }
    if (!plugged_) {
        return DRV_DEVICE_NOT_FOUND;
    }
    if (open_) {
        return DRV_DEVICE_NOT_OPENED; // one application at a time, as with the real driver
    }
    open_ = true;
    session = ++session_;
    readTimeout_ = 1.0;
    wire_.clear();
    engine_.dropPartialCommand();
    // Nobody read while the interface was closed: it stalled, and sends only what comes now.
    acquisition_.holdUntil(now);
    schedule_.restart(now);
    return DRV_OK;
}

DriverStatus SimulatedInterface::close(std::uint64_t session) {
    std::lock_guard lock(mutex_);
    if (session != session_ || !open_) {
        return DRV_INVALID_HANDLE;
    }
    open_ = false;
    wire_.clear();
    return plugged_ ? DRV_OK : DRV_IO_ERROR;
}

DriverStatus SimulatedInterface::purge(std::uint64_t session, std::uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    if (mask & DRV_PURGE_RX) {
        if (!config_.fastMode) {
            advance(timeSource().now()); // what arrived by now is what gets thrown away
        }
        wire_.clear();
    }
    if (mask & DRV_PURGE_TX) {
        engine_.dropPartialCommand();
    }
    return DRV_OK;
}

DriverStatus SimulatedInterface::setTimeouts(std::uint64_t session, std::uint32_t readMs,
                                             std::uint32_t) {
    std::lock_guard lock(mutex_);
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    readTimeout_ = readMs / 1000.0;
    return DRV_OK;
}

DriverStatus SimulatedInterface::queueStatus(std::uint64_t session, std::uint32_t& rxBytes) {
    std::lock_guard lock(mutex_);
    rxBytes = 0;
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    const double now = timeSource().now();
    commitScheduledFaults(now);
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    advance(now);
    rxBytes = static_cast<std::uint32_t>(std::min<std::size_t>(wire_.available(now), UINT32_MAX));
    return DRV_OK;
}

DriverStatus SimulatedInterface::read(std::uint64_t session, std::uint8_t* buffer,
                                      std::uint32_t count, std::uint32_t& bytesRead) {
    bytesRead = 0;
    if (!buffer && count > 0) {
        return DRV_INVALID_PARAMETER;
    }
    std::unique_lock lock(mutex_);
    double now = timeSource().now();
    const double deadline = now + readTimeout_;
    const auto delivered = [this](std::uint16_t height) {
        ++stats_.pulsesDelivered;
        ++histogram_[std::min<std::size_t>(height, Channels - 1)];
    };
    for (;;) {
        if (sessionStatus(session) == DRV_OK) {
            commitScheduledFaults(now);
        }
        if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
            return s;
        }
        advance(now);
        const std::size_t n = wire_.read(buffer + bytesRead, count - bytesRead, now, delivered);
        bytesRead += static_cast<std::uint32_t>(n);
        stats_.bytesToHost += n;
        if (bytesRead == count || now >= deadline) {
            return DRV_OK;
        }
        if (n > 0) {
            continue; // in fast mode the next pulse is ready as soon as this one is taken
        }
        double wake = std::min(deadline, wire_.arrivalOf(count - bytesRead));
        if (!config_.fastMode) {
            wake = std::min(wake, acquisition_.nextPhotonTime(engine_.state(), now));
        }
        lock.unlock();
        timeSource().sleepFor(std::clamp(wake - now, 0.0, MaxWaitStep));
        lock.lock();
        now = timeSource().now();
    }
}

DriverStatus SimulatedInterface::write(std::uint64_t session, const std::uint8_t* buffer,
                                       std::uint32_t count, std::uint32_t& bytesWritten) {
    bytesWritten = 0;
    if (!buffer && count > 0) {
        return DRV_INVALID_PARAMETER;
    }
    std::lock_guard lock(mutex_);
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    const double now = timeSource().now();
    commitScheduledFaults(now);
    if (const DriverStatus s = sessionStatus(session); s != DRV_OK) {
        return s;
    }
    if (!config_.fastMode) {
        advance(now); // pulses that triggered before the command go out before its answer
    }
    std::vector<OutMessage> out;
    engine_.receive(buffer, count, now, out, [&](std::uint8_t code) {
        sendAnswers(out, now);
        InterfaceState& state = engine_.state();
        if (code == 'a') {
            while (state.singleShots > 0) {
                --state.singleShots;
                emitPulse(acquisition_.singleShot(state, now), now, true);
            }
        }
    });
    sendAnswers(out, now); // error lines of unknown codes
    bytesWritten = count;
    stats_.bytesFromHost += count;
    return DRV_OK;
}

void SimulatedInterface::sendAnswers(std::vector<OutMessage>& out, double now) {
    for (OutMessage& message : out) {
        const double readyAt = now + (config_.fastMode ? 0.0 : message.delay);
        if (faults_.silent()) {
            continue;
        }
        if (!message.response) {
            enqueue(std::move(message.bytes), readyAt, WireQueue::NoPulse);
            continue;
        }
        FaultedMessage faulted = faults_.apply(std::move(message.bytes), SimFaultTarget::Response);
        enqueue(std::move(faulted.before), readyAt, WireQueue::NoPulse);
        enqueue(std::move(faulted.bytes), readyAt, WireQueue::NoPulse);
    }
    out.clear();
}

void SimulatedInterface::enqueue(std::vector<std::uint8_t> bytes, double readyAt,
                                 std::int32_t pulseHeight) {
    wire_.push(std::move(bytes), readyAt, pulseHeight);
}

void SimulatedInterface::advance(double now) {
    if (!open_ || !plugged_) {
        return;
    }
    const InterfaceState& state = engine_.state();
    Trigger trigger;
    if (config_.fastMode) {
        // No pacing: the next pulse is there as soon as the host has taken the last one.
        if (wire_.pending() == 0 &&
            acquisition_.nextTrigger(state, now, Acquisition::Never, trigger)) {
            emitPulse(trigger, now, false);
        }
        return;
    }
    while (wire_.pending() <= ReceiveBufferBytes) {
        if (!acquisition_.nextTrigger(state, now, now, trigger)) {
            return;
        }
        emitPulse(trigger, trigger.time, false);
        // The scope digitises nothing new while the pulse goes out, nor for the interval after.
        acquisition_.pulseSent(state, wire_.idleAt(trigger.time));
    }
    // The host has stopped reading: the interface stalls, and what it would have seen by
    // now is lost.
    acquisition_.holdUntil(now);
}

void SimulatedInterface::emitPulse(const Trigger& trigger, double readyAt, bool singleShot) {
    const InterfaceState& state = engine_.state();
    if (singleShot) {
        ++stats_.singleShots;
    } else {
        ++stats_.pulsesTriggered;
    }
    if (faults_.silent() || wire_.pending() > ReceiveBufferBytes) {
        ++stats_.pulsesLost;
        return;
    }
    std::vector<std::uint16_t> samples;
    PulseTruth truth;
    synth_.make(trigger, state.biasCode, state.sampleCount, samples, truth);
    truth.singleShot = singleShot;
    const std::uint8_t tag = (monitorTurn_++ % 2) == 0 ? pulse::MonitorTagA : pulse::MonitorTagB;
    std::vector<std::uint8_t> message;
    pulse::encodeScopeData(samples, tag, engine_.monitorReadings()[tag], message);
    const std::uint16_t height = pulse::hostPulseHeight(samples);
    lastPulse_ = std::move(samples);

    FaultedMessage faulted = faults_.apply(std::move(message), SimFaultTarget::Pulse);
    if (!faulted.intact) {
        ++stats_.pulsesDamaged;
    }
    if (recordTruth_ && truth_.size() < MaxTruthRecords) {
        truth.damaged = !faulted.intact;
        truth_.push_back(truth);
    }
    enqueue(std::move(faulted.before), readyAt, WireQueue::NoPulse);

    std::vector<std::uint8_t> bytes;
    if (framing_.uniform() < TextShare) {
        char text[64];
        std::snprintf(text, sizeof text, "\"Scope: %llu triggers\"\r",
                      static_cast<unsigned long long>(stats_.pulsesTriggered));
        bytes.insert(bytes.end(), text, text + std::char_traits<char>::length(text));
    }
    if (framing_.uniform() < GroupShare) {
        bytes.push_back('[');
        bytes.insert(bytes.end(), faulted.bytes.begin(), faulted.bytes.end());
        bytes.push_back(']');
    } else {
        bytes.insert(bytes.end(), faulted.bytes.begin(), faulted.bytes.end());
    }
    enqueue(std::move(bytes), readyAt, faulted.intact ? height : WireQueue::NoPulse);
}

void SimulatedInterface::commitScheduledFaults(double now) {
    std::uint32_t kind = 0;
    SimFault fault;
    while (plugged_ && schedule_.due(now, kind, fault)) {
        ++stats_.faultsScheduled;
        if (kind == SimFaultUnplug) {
            plugged_ = false;
            wire_.clear();
            replugAt_ = now + ScheduledUnplugSeconds;
        } else if (!faults_.holds(fault)) {
            // Faults of a target with no traffic would otherwise pile up and strike all at once.
            faults_.arm(fault);
        }
    }
}

void SimulatedInterface::powerUp() {
    engine_.state() = InterfaceState();
    engine_.dropPartialCommand();
    wire_.clear();
}

SimStats SimulatedInterface::stats() const {
    std::lock_guard lock(mutex_);
    SimStats s = stats_;
    s.commands = engine_.commandsReceived();
    s.unknownCodes = engine_.unknownCodes();
    s.synchronisations = engine_.synchronisations();
    s.resets = engine_.state().resets;
    s.framesSent = engine_.state().framesRead;
    return s;
}

std::vector<std::uint64_t> SimulatedInterface::pulseHistogram() const {
    std::lock_guard lock(mutex_);
    return histogram_;
}

void SimulatedInterface::recordTruth(bool on) {
    std::lock_guard lock(mutex_);
    recordTruth_ = on;
}

std::vector<PulseTruth> SimulatedInterface::takeTruth() {
    std::lock_guard lock(mutex_);
    std::vector<PulseTruth> taken;
    taken.swap(truth_);
    return taken;
}

std::vector<std::uint16_t> SimulatedInterface::lastPulse() const {
    std::lock_guard lock(mutex_);
    return lastPulse_;
}

std::vector<std::uint16_t> SimulatedInterface::lastFrame() const {
    std::lock_guard lock(mutex_);
    return engine_.lastFrame();
}

InterfaceState SimulatedInterface::state() const {
    std::lock_guard lock(mutex_);
    return engine_.state();
}

std::array<std::uint16_t, 13> SimulatedInterface::monitorReadings() const {
    std::lock_guard lock(mutex_);
    return engine_.monitorReadings();
}

std::vector<std::uint8_t> SimulatedInterface::biasCodesSent() const {
    std::lock_guard lock(mutex_);
    return engine_.biasCodesSent();
}

std::string SimulatedInterface::identifierText() const {
    return board_.identifierText();
}

void SimulatedInterface::injectFault(const SimFault& fault) {
    std::lock_guard lock(mutex_);
    faults_.arm(fault);
}

void SimulatedInterface::clearFaults() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

void SimulatedInterface::unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    replugAt_ = Acquisition::Never;
    wire_.clear();
}

void SimulatedInterface::replug() {
    std::lock_guard lock(mutex_);
    if (!plugged_) {
        replugLocked();
    }
}

void SimulatedInterface::replugLocked() {
    plugged_ = true;
    replugAt_ = Acquisition::Never;
    open_ = false; // handles of the old connection stay dead
    ++session_;
    powerUp();
}

bool SimulatedInterface::pluggedIn() const {
    std::lock_guard lock(mutex_);
    return plugged_ || timeSource().now() >= replugAt_;
}

} // namespace tarvio
