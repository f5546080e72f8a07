#pragma once
// The dead-time model. The interface has no dead-time counter, so the program estimates one:
// after every accepted pulse the interface is taken to be blind (non-paralysable) for
//   tau = Delay + bytes of the scope data message / wire rate (+ an extra the user measured).
// Live time and the input rate follow from tau; they are estimates, not measurements.

#include "records/Measurement.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace tarvio {

// Wire rate used when an interface does not tell its own: a full-speed USB bridge.
constexpr double DefaultWireBytesPerSecond = 1.0e6;
// Below this share of live time the input rate estimate means nothing.
constexpr double SaturatedLiveFraction = 0.01;

// Bytes of one scope data message on the wire: its code, the word count, the samples and one
// monitor word, the acknowledgement.
std::size_t ScopeMessageBytes(std::uint32_t samplesPerPulse);

// tau in seconds. A wire rate that is not positive counts as DefaultWireBytesPerSecond;
// negative parts count as 0.
double DeadTimePerPulse(double delaySeconds, std::uint32_t samplesPerPulse,
                        double wireBytesPerSecond, double extraSeconds);

// real - pulses x tau, never below 0.
double LiveSeconds(double realSeconds, std::uint64_t pulses, double deadTimePerPulse);

// What the counts and times say about rates.
struct CountRates {
    std::optional<double> accepted;     // pulses / real time, per second
    std::optional<double> liveFraction; // live / real time, 0..1
    // pulses / live time: the non-paralysable correction m / (1 - m tau). Empty while no
    // time has passed or when saturated.
    std::optional<double> input;
    bool saturated = false; // live fraction below SaturatedLiveFraction
};

CountRates RatesOf(const MeasurementInfo& info);

} // namespace tarvio
