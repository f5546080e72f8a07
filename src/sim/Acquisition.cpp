#include "sim/Acquisition.h"

#include <algorithm>

namespace tarvio {

namespace {
// Photons looked at in one call at most; a threshold above every line must not stall the
// caller (the rest are taken as not having triggered).
constexpr int MaxPhotonsPerCall = 200000;
} // namespace

Acquisition::Acquisition(const SimulatorConfig& config)
    : config_(config), source_(config.source), events_(SimRandom::stream(config.seed, 1)) {}

bool Acquisition::limitReached() const {
    return config_.pulseLimit != 0 && triggered_ >= config_.pulseLimit;
}

bool Acquisition::canTrigger(const InterfaceState& state) const {
    return state.waitingForTrigger && state.biasCode != 0 && !limitReached();
}

void Acquisition::follow(const InterfaceState& state, double now) {
    if (state.armCount != armCount_) {
        armCount_ = state.armCount;
        gate_ = state.armedAt;
        nextPhoton_ = Never;
    }
    if (!canTrigger(state)) {
        nextPhoton_ = Never; // photons while disarmed or without bias leave no trace
        return;
    }
    if (nextPhoton_ == Never) {
        nextPhoton_ = std::max(now, gate_) + events_.exponential(config_.activity);
    }
}

double Acquisition::nextPhotonTime(const InterfaceState& state, double now) {
    follow(state, now);
    return nextPhoton_;
}

void Acquisition::holdUntil(double time) {
    gate_ = std::max(gate_, time);
}

void Acquisition::pulseSent(const InterfaceState& state, double sentAt) {
    holdUntil(sentAt + state.intervalSeconds());
}

bool Acquisition::nextTrigger(const InterfaceState& state, double now, double until,
                              Trigger& trigger) {
    follow(state, now);
    if (nextPhoton_ == Never) {
        return false;
    }
    const double threshold = detector::thresholdCodes(state.thresholdDac);
    const double period = state.intervalSeconds();
    for (int i = 0; i < MaxPhotonsPerCall; ++i) {
        if (nextPhoton_ < gate_) {
            // Photons while the gate is shut are lost; the process has no memory, so the next
            // one after the gate opens is as far from it as from any moment.
            nextPhoton_ = gate_ + events_.exponential(config_.activity);
        }
        if (nextPhoton_ > until) {
            return false;
        }
        const double t = nextPhoton_;
        nextPhoton_ += events_.exponential(config_.activity);
        const double energy = source_.drawEnergy(events_);
        const double amplitude = detector::amplitudeCodes(energy, state.biasCode, events_);
        const double phase = events_.uniform();
        if (amplitude < threshold) {
            continue;
        }
        trigger = {t, energy, amplitude, phase};
        ++triggered_;
        // Blind for the interval at least; pulseSent() adds the time on the wire.
        gate_ = std::max(gate_, t + period);
        if (limitReached()) {
            nextPhoton_ = Never;
        }
        return true;
    }
    // Nothing reaches the threshold: skip ahead rather than spin.
    if (until != Never) {
        nextPhoton_ = until + events_.exponential(config_.activity);
    }
    return false;
}

Trigger Acquisition::singleShot(const InterfaceState& state, double now) {
    Trigger trigger;
    trigger.time = now;
    trigger.energyKeV = source_.drawEnergy(events_);
    trigger.amplitude = state.biasCode == 0
                            ? 0.0
                            : detector::amplitudeCodes(trigger.energyKeV, state.biasCode, events_);
    trigger.phase = events_.uniform();
    return trigger;
}

} // namespace tarvio
