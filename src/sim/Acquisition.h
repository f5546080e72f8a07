#pragma once
// When the simulated interface triggers, and on what: photons arrive from the source as a
// Poisson process at the configured activity; a photon triggers the scope when the interface
// is waiting for triggers, the bias is on, its amplitude reaches the discriminator threshold
// and the trigger gate is open. After each accepted pulse the gate stays shut (a
// non-paralysable hold-off) while the pulse goes out on the wire and then for the interval of
// the interval timer; photons in that time are lost and do not extend it.

#include "sim/ProtocolEngine.h"
#include "sim/SimRandom.h"
#include "sim/SimulatorConfig.h"
#include "sim/SourcePhysics.h"

#include <cstdint>
#include <limits>

namespace tarvio {

struct Trigger {
    double time = 0;      // moment of the photon
    double energyKeV = 0; // deposited before the detector's resolution
    double amplitude = 0; // pulse amplitude above the baseline, in codes
    double phase = 0;     // trigger jitter against the sample clock, 0..1
};

class Acquisition {
public:
    static constexpr double Never = std::numeric_limits<double>::infinity();

    explicit Acquisition(const SimulatorConfig& config);

    // The next trigger no later than `until` (Never: whenever it comes, for the fast mode),
    // advancing through the photons before it; false when none comes by then. Follows the
    // interface state at `now`: a new trigger set-up restarts the timing from its moment.
    bool nextTrigger(const InterfaceState& state, double now, double until, Trigger& trigger);
    // Moment of the next photon, when the interface would next have something to decide (for
    // sleeping until then); Never while it cannot trigger.
    double nextPhotonTime(const InterfaceState& state, double now);
    // No trigger before `time` (the interface is stalled).
    void holdUntil(double time);
    // The last pulse left the interface at `sentAt`: blind until the interval after it.
    void pulseSent(const InterfaceState& state, double sentAt);

    // The pulse of a single shot: the next photon whatever its amplitude; with the bias off the
    // scope records the bare baseline (amplitude 0).
    Trigger singleShot(const InterfaceState& state, double now);

    // Triggers so far (single shots not included); the pulse limit counts these.
    std::uint64_t triggered() const { return triggered_; }
    // Whether the configured pulse limit stops further triggers.
    bool limitReached() const;

    const SourceModel& source() const { return source_; }

private:
    bool canTrigger(const InterfaceState& state) const;
    void follow(const InterfaceState& state, double now);

    SimulatorConfig config_;
    SourceModel source_;
    SimRandom events_;
    double nextPhoton_ = Never;
    double gate_ = -Never;
    std::uint64_t armCount_ = ~std::uint64_t{0};
    std::uint64_t triggered_ = 0;
};

} // namespace tarvio
