#pragma once
// One pulse as it passes from the interface into a measurement: its samples, the height the
// measurement's processing gave it, why it was rejected (if it was) and when the host
// received it. The contract between the pulse path and what hangs off it: a processor that
// decides the height, and consumers (the spectrum, a list-mode recorder, ...) that hear
// every pulse.

#include "records/Measurement.h"

#include <cstdint>

namespace tarvio {

// Why a pulse is not in the spectrum. A pulse with any of the rejection bits set happened
// (it counts in the dead-time estimate) but adds no count.
enum PulseFlag : std::uint32_t {
    PulseRejectedSaturated = 1u << 0, // a sample at the converter's top code
    PulseRejectedPileUp = 1u << 1,    // a second photon inside the record
    PulseRejectedShape = 1u << 2,     // the shape strays from the template
    PulseAfterPreset = 1u << 8,       // arrived after a preset had ended the measurement
    PulseSingleShot = 1u << 9,        // asked for with Single
};
constexpr std::uint32_t PulseRejectionMask =
    PulseRejectedSaturated | PulseRejectedPileUp | PulseRejectedShape;

struct PulseEvent {
    // When the host received the pulse, ns since the measurement's start (the interface
    // sends no time stamp of its own).
    std::int64_t receiveNs = 0;
    const std::uint16_t* samples = nullptr; // the delivered samples, valid during the call
    std::uint32_t sampleCount = 0;
    // In channel units; the spectrum counts it in channel floor(height). A processor may
    // give a fraction of a channel.
    double height = 0.0;
    std::uint32_t flags = 0;

    bool rejected() const { return (flags & PulseRejectionMask) != 0; }
};

// Decides the height of a pulse and whether it is rejected: fills event.height and may set
// rejection flags. Runs on the monitoring thread under the data lock for every pulse, so it
// allocates nothing, waits for nothing and does no I/O. Without a processor the height is
// the largest sample.
class PulseProcessor {
public:
    virtual ~PulseProcessor() = default;
    virtual void process(PulseEvent& event) = 0;
};

// Hears every pulse once it has been processed and counted (or rejected). Runs on the
// monitoring thread: copy what is needed and return; file writing belongs on a thread of
// the consumer's own. measurementStarted and measurementEnded run on the thread that started
// or ended the measurement.
class PulseConsumer {
public:
    virtual ~PulseConsumer() = default;
    virtual void measurementStarted(const MeasurementInfo& /*info*/) {}
    virtual void pulse(const PulseEvent& event) = 0;
    virtual void measurementEnded(const MeasurementInfo& /*info*/) {}
};

} // namespace tarvio
