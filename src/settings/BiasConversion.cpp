#include "settings/BiasConversion.h"

#include "settings/AppError.h"
#include "settings/NumberFormat.h"

#include <algorithm>

namespace tarvio {

std::uint8_t biasCode(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts) {
    const double span = static_cast<double>(maxVolts) - static_cast<double>(minVolts);
    if (span == 0.0)
        throw AppError("Floating point division by zero");
    const double step = 254.0 / span;
    const std::int32_t code = std::clamp(
        truncToInt(step * (static_cast<double>(volts) - static_cast<double>(minVolts))), 0, 254);
    return static_cast<std::uint8_t>(255 - code);
}

double biasVoltsInForce(std::int32_t volts, std::int32_t minVolts, std::int32_t maxVolts) {
    return std::clamp(volts, std::min(minVolts, maxVolts), std::max(minVolts, maxVolts));
}

} // namespace tarvio
