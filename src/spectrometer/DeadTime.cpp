#include "spectrometer/DeadTime.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {
// '$', two bytes of word count, one monitor word, "OK\r".
constexpr std::size_t ScopeMessageOverhead = 1 + 2 + 2 + 3;
} // namespace

std::size_t ScopeMessageBytes(std::uint32_t samplesPerPulse) {
    return ScopeMessageOverhead + 2 * static_cast<std::size_t>(samplesPerPulse);
}

double DeadTimePerPulse(double delaySeconds, std::uint32_t samplesPerPulse,
                        double wireBytesPerSecond, double extraSeconds) {
    const double rate = wireBytesPerSecond > 0 && std::isfinite(wireBytesPerSecond)
                            ? wireBytesPerSecond
                            : DefaultWireBytesPerSecond;
    const auto part = [](double seconds) {
        return std::isfinite(seconds) ? std::max(seconds, 0.0) : 0.0;
    };
    return part(delaySeconds) + static_cast<double>(ScopeMessageBytes(samplesPerPulse)) / rate +
           part(extraSeconds);
}

double LiveSeconds(double realSeconds, std::uint64_t pulses, double deadTimePerPulse) {
    return std::max(0.0, realSeconds - static_cast<double>(pulses) * deadTimePerPulse);
}

CountRates RatesOf(const MeasurementInfo& info) {
    CountRates rates;
    if (!info.realSeconds || *info.realSeconds <= 0) {
        return rates;
    }
    const double real = *info.realSeconds;
    const double n = static_cast<double>(info.acceptedCount);
    rates.accepted = n / real;
    if (!info.liveSeconds) {
        return rates;
    }
    const double live = std::clamp(*info.liveSeconds, 0.0, real);
    rates.liveFraction = live / real;
    rates.saturated = *rates.liveFraction < SaturatedLiveFraction;
    if (!rates.saturated) {
        // Rejected pulses reached the interface too.
        rates.input = (n + static_cast<double>(info.rejected.total)) / live;
    }
    return rates;
}

} // namespace tarvio
