#pragma once
// What the program tells the operator when a measurement cannot give what they expect: why
// the live share is tiny and what to change, a Start with the bias off, a Start with no
// interface open. One wording for every front-end.

#include "records/Measurement.h"
#include "spectrometer/DeadTime.h"

#include <optional>
#include <string>

namespace tarvio {

// Below this share of live time most of the measurement is spent held off: the status names
// the cause. (Saturation, where no input rate is estimated at all, lies lower still.)
inline constexpr double LowLiveFraction = 0.05;

// When the live share is below LowLiveFraction and the measurement's delay is known: the
// cause and the remedy, short enough for a status bar: "held off 200 ms after every pulse:
// lower Delay in Settings". Numbers use `separator` as their decimal point.
std::optional<std::string> holdOffAdvice(const MeasurementInfo& info, const CountRates& rates,
                                         char separator = '.');

// The time a live-time preset still needs is the live time missing divided by the live share;
// with a small share a few seconds take hours. Appended to the time left when so: e.g.
// " at 0.05 % live".
std::string presetTimeLeftReason(const CountRates& rates, char separator = '.');

// A Start that cannot count: said in the status bar and the log.
inline constexpr const char* BiasOffAdvice = "no pulses while the bias is off: tick Bias On";
inline constexpr const char* NoInterfaceAdvice =
    "No interface is open: choose one under Devices and press Open";

} // namespace tarvio
