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

struct MeasurementInfo {
    std::optional<std::int64_t> startUtcMs; // wall clock at Start, ms since 1970-01-01 UTC
    std::optional<double> realSeconds;      // elapsed, steady clock
    std::optional<double> liveSeconds;      // real time less the estimated dead time
    bool ended = true;                      // false while (or if never) stopped properly
    OperatingPoint operatingPoint;
};

} // namespace tarvio
