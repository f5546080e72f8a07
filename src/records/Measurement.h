#pragma once
// What a spectrum was measured with and for how long: the facts every saved format and
// every rate needs beside the counts. Plain values; an unknown figure is nullopt, never 0.

#include <cstdint>
#include <optional>
#include <string>

namespace tarvio {

// The settings the interface ran with.
struct OperatingPoint {
    std::string interfaceDescription; // USB description of the interface
    std::string chipIdentifiers;      // chipboard identifier text, as the log shows it
    std::optional<double> biasVolts;  // nullopt: bias off, or not known
    std::optional<double> thresholdVolts;
    std::optional<double> delaySeconds; // the interval timer between pulses
    std::optional<std::uint32_t> samplesPerPulse;
};

// Pulses that happened but were kept out of the spectrum by the pulse processing, by reason.
// A pulse may have several reasons; `total` counts each pulse once. Every one of them made
// the interface blind as an accepted pulse does, so they count in the dead time.
struct RejectedPulses {
    std::uint64_t saturated = 0;
    std::uint64_t pileUp = 0;
    std::uint64_t shape = 0;
    std::uint64_t total = 0;

    bool operator==(const RejectedPulses&) const = default;
};

struct MeasurementInfo {
    std::optional<std::int64_t> startUtcMs; // wall clock at Start, ms since 1970-01-01 UTC
    std::optional<double> realSeconds;      // elapsed, steady clock
    std::optional<double> liveSeconds;      // real time less the estimated dead time
    bool ended = true;                      // false while (or if never) stopped properly
    OperatingPoint operatingPoint;
    // Pulses counted into the spectrum since it was cleared (single shots included).
    std::uint64_t acceptedCount = 0;
    // Pulses that arrived after a preset had ended the measurement: shown, not counted.
    std::uint64_t countsAfterEnd = 0;
    // Pulses the processing rejected (none without a processor).
    RejectedPulses rejected;
    // Estimated dead time per accepted pulse of the hold-off model, seconds.
    std::optional<double> deadTimePerPulseSeconds;
};

// Enough counts in a region of interest: channels first..last (both included), its net
// counts above the straight background of its edges, or its gross counts.
struct RegionCountsPreset {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint64_t counts = 0;
    bool gross = false;

    bool operator==(const RegionCountsPreset&) const = default;
};

// When a measurement stops by itself; an empty limit is no preset.
struct MeasurementPresets {
    std::optional<double> realSeconds;
    std::optional<double> liveSeconds;
    std::optional<std::uint64_t> counts;
    std::optional<RegionCountsPreset> region;

    bool any() const { return realSeconds || liveSeconds || counts || region; }
    bool operator==(const MeasurementPresets&) const = default;
};

} // namespace tarvio
