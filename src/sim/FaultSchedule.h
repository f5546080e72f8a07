#pragma once
// Faults at random moments: a Poisson process at the configured rate, each fault of a kind
// drawn from the configured set, with its own small random details (where a message is cut,
// which bytes are dropped). The simulated interface commits what falls due.

#include "sim/SimFaults.h"
#include "sim/SimRandom.h"

#include <cstdint>

namespace tarvio {

class FaultSchedule {
public:
    // `kinds` holds SimFaultFlag bits; no kinds or a rate of 0 means never.
    FaultSchedule(std::uint32_t kinds, double ratePerSecond, std::uint64_t seed);

    bool active() const { return active_; }
    // The schedule starts afresh from `now` (the interface was opened).
    void restart(double now);
    // The next fault due by `now`, if any: its kind (one SimFaultFlag) and, for every kind but
    // unplugging, the fault to arm. Call until it returns false.
    bool due(double now, std::uint32_t& kind, SimFault& fault);

private:
    SimFault make(std::uint32_t kind);

    std::uint32_t kinds_[8] = {};
    std::uint32_t kindCount_ = 0;
    double rate_;
    bool active_;
    SimRandom rng_;
    double next_ = -1.0; // below 0: not started
};

} // namespace tarvio
