#pragma once
// The arithmetic of the threshold and bias controls, apart from the widgets.

#include <cstdint>

namespace tarvio {

// One step of the threshold track bar is a tenth of a volt; it spans 0..25.
inline constexpr int ThresholdTrackMax = 25;
inline constexpr double ThresholdVoltsPerStep = 0.1;

// Track-bar position for a threshold in volts, truncated toward zero and clamped to the
// track bar's range (1.25 gives 12, 3 gives 25, -0.5 gives 0).
int thresholdTrackPosition(double volts);

// The threshold as the edit box shows it after start-up: truncated toward zero to whole
// hundredths (0.4565 gives 0.45).
double truncateToHundredths(double volts);

// The bias code sent for a voltage with the given limits: 255 stands for the minimum, 1 for
// the maximum, and 0 (bias off) is never produced. A voltage outside the limits is held to
// the nearer end, so that a typo can never wrap into a code near full bias.
// Throws AppError "Floating point division by zero" when the two limits are equal.
std::uint8_t biasCode(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts);
// The voltage that code stands for: the typed one held to the limits.
double biasVoltsInForce(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts);

} // namespace tarvio
