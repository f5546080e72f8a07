#pragma once
// The bias voltage as the interface takes it: one byte, 255 for the lower limit of
// settings.ini, 1 for the upper, 0 for off. The window and the command-line program both
// convert through here, so the same volts always give the same code.

#include <cstdint>

namespace tarvio {

// The bias code sent for a voltage with the given limits: 255 stands for the minimum, 1 for
// the maximum, and 0 (bias off) is never produced. A voltage outside the limits is held to
// the nearer end, so that a typo can never wrap into a code near full bias.
// Throws AppError "Floating point division by zero" when the two limits are equal.
std::uint8_t biasCode(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts);
// The voltage that code stands for: the typed one held to the limits.
double biasVoltsInForce(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts);

} // namespace tarvio
