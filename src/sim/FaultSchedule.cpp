#include "sim/FaultSchedule.h"

#include "sim/SimulatorConfig.h"

namespace tarvio {

namespace {

// A code whose answer has the plain "OK" shape and whose command changes nothing that matters.
constexpr std::uint8_t WrongAnswerCode = 'e';

} // namespace

FaultSchedule::FaultSchedule(std::uint32_t kinds, double ratePerSecond, std::uint64_t seed)
    : rate_(ratePerSecond), rng_(SimRandom::stream(seed, 91)) {
    for (const SimFaultName& entry : SimFaultNames) {
        if (kinds & entry.flag) {
            kinds_[kindCount_++] = entry.flag;
        }
    }
    active_ = kindCount_ > 0 && rate_ > 0;
}

void FaultSchedule::restart(double now) {
    next_ = active_ ? now + rng_.exponential(rate_) : -1.0;
}

bool FaultSchedule::due(double now, std::uint32_t& kind, SimFault& fault) {
    if (!active_) {
        return false;
    }
    if (next_ < 0) {
        restart(now);
    }
    if (now < next_) {
        return false;
    }
    next_ += rng_.exponential(rate_);
    if (next_ < now - 1.0) {
        next_ = now; // after a long pause, no burst of everything missed
    }
    kind = kinds_[rng_.below(kindCount_)];
    fault = make(kind);
    return true;
}

SimFault FaultSchedule::make(std::uint32_t kind) {
    // Pulses are the bulk of the traffic during a measurement, answers otherwise: hit either.
    const SimFaultTarget target =
        rng_.below(2) == 0 ? SimFaultTarget::Response : SimFaultTarget::Pulse;
    // Small positions, so that the fault lands inside even the shortest message.
    const std::size_t position = 1 + rng_.below(3);
    const std::size_t count = 1 + rng_.below(4);
    switch (kind) {
    case SimFaultDrop:
        return SimFault::drop(count, position, target);
    case SimFaultCorrupt:
        return SimFault::corrupt(count, position, target);
    case SimFaultInsert: {
        SimFault fault = SimFault::insert({}, target); // random bytes
        fault.count = count;
        return fault;
    }
    case SimFaultCut:
        return SimFault::cutShort(position, target);
    case SimFaultSilence:
        return SimFault::stopAnswering(1);
    case SimFaultWrongCode:
        return SimFault::wrongCode(WrongAnswerCode);
    case SimFaultError:
        return SimFault::errorLine("Simulated fault", target);
    default:
        return SimFault{}; // unplugging is the interface's own business
    }
}

} // namespace tarvio
