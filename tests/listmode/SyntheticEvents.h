#pragma once
// Pulses as the session hands them on, made up: rising receive times, heights across the
// channels, some rejected, some after a preset, some with samples, the same every run.

#include "listmode/ListModeRecorder.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"

#include <cstdint>
#include <vector>

namespace tarvio::test {

struct SyntheticEvent {
    std::int64_t ns;
    double height;
    std::uint32_t flags;
    std::vector<std::uint16_t> samples;
};

inline std::vector<SyntheticEvent> syntheticEvents(std::size_t n, std::uint32_t samples = 0) {
    std::vector<SyntheticEvent> events;
    events.reserve(n);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    std::int64_t ns = 0;
    for (std::size_t i = 0; i < n; ++i) {
        ns += 1 + static_cast<std::int64_t>(next() % 2'000'000); // about 1 ms apart
        SyntheticEvent e{ns, static_cast<double>(next() % 4200) + 0.25 * (next() % 4), 0, {}};
        const std::uint64_t kind = next() % 20;
        const std::uint32_t flags[] = {PulseRejectedPileUp, PulseAfterPreset, PulseSingleShot};
        e.flags = kind < 3 ? flags[kind] : 0u;
        for (std::uint32_t s = 0; s < samples; ++s)
            e.samples.push_back(static_cast<std::uint16_t>(next() % 4096));
        // Now and then a pulse delivered short.
        if (samples > 4 && kind == 3)
            e.samples.resize(samples / 2);
        events.push_back(std::move(e));
    }
    return events;
}

inline PulseEvent pulseOf(const SyntheticEvent& e) {
    PulseEvent p;
    p.receiveNs = e.ns;
    p.height = e.height;
    p.flags = e.flags;
    p.samples = e.samples.empty() ? nullptr : e.samples.data();
    p.sampleCount = static_cast<std::uint32_t>(e.samples.size());
    return p;
}

inline MeasurementInfo startInfo(std::uint32_t samplesPerPulse = 64) {
    MeasurementInfo info;
    info.startUtcMs = 1'700'000'000'000;
    info.ended = false;
    info.operatingPoint.interfaceDescription = "Simulated interface";
    info.operatingPoint.thresholdVolts = 0.5;
    info.operatingPoint.samplesPerPulse = samplesPerPulse;
    info.deadTimePerPulseSeconds = 1e-4;
    return info;
}

// What the live spectrum holds after these events: counted pulses in channel floor(height).
inline Spectrum liveSpectrum(const std::vector<SyntheticEvent>& events, std::int64_t from = 0,
                             std::int64_t to = INT64_MAX) {
    Spectrum s;
    for (const SyntheticEvent& e : events) {
        if (e.ns >= from && e.ns < to && (e.flags & (PulseRejectionMask | PulseAfterPreset)) == 0)
            s.addCount(static_cast<std::uint32_t>(e.height));
    }
    return s;
}

} // namespace tarvio::test
