#include "spectrometer/OperatorAdvice.h"

#include "records/TextFormat.h"

#include <cmath>

namespace tarvio {

namespace {

// As few decimals as the value needs, at most `most`.
std::string shortNumber(double value, int most, char separator) {
    std::string text = formatFixed(value, most);
    if (text.find('.') != std::string::npos) {
        while (!text.empty() && text.back() == '0')
            text.pop_back();
        if (!text.empty() && text.back() == '.')
            text.pop_back();
    }
    for (char& c : text)
        if (c == '.')
            c = separator;
    return text;
}

std::string percentText(double fraction, char separator) {
    const double percent = fraction * 100.0;
    return shortNumber(percent, percent < 1.0 ? 2 : 1, separator);
}

} // namespace

std::optional<std::string> holdOffAdvice(const MeasurementInfo& info, const CountRates& rates,
                                         char separator) {
    const auto& delay = info.operatingPoint.delaySeconds;
    if (!rates.liveFraction || *rates.liveFraction >= LowLiveFraction || !delay || !(*delay > 0.0))
        return std::nullopt;
    return "held off " + shortNumber(*delay * 1000.0, 1, separator) +
           " ms after every pulse: lower Delay in Settings";
}

std::string presetTimeLeftReason(const CountRates& rates, char separator) {
    if (!rates.liveFraction || *rates.liveFraction >= LowLiveFraction)
        return {};
    return " at " + percentText(*rates.liveFraction, separator) + " % live";
}

} // namespace tarvio
