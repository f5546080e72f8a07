#include "cli/SpectrumSummary.h"

#include "formats/FormatText.h"

#include <nlohmann/json.hpp>

namespace tarvio {

namespace {

std::string seconds(const std::optional<double>& value) {
    return value ? secondsText(*value) + " s" : "unknown";
}

} // namespace

std::string spectrumSummaryText(const MeasuredSpectrum& spectrum) {
    std::string text = std::to_string(spectrum.totalCounts()) + " counts in " +
                       std::to_string(spectrum.counts.size()) + " channels, real " +
                       seconds(spectrum.measurement.realSeconds) + ", live " +
                       seconds(spectrum.measurement.liveSeconds);
    if (const auto& c = spectrum.calibration) {
        text += ", keV = " + numberText(c->coefficients[0]) + " + " +
                numberText(c->coefficients[1]) + " x channel";
        if (!c->isLinear())
            text += " + " + numberText(c->coefficients[2]) + " x channel^2";
    } else {
        text += ", no energy calibration";
    }
    return text;
}

nlohmann::json spectrumSummaryJson(const MeasuredSpectrum& spectrum) {
    const MeasurementInfo& m = spectrum.measurement;
    nlohmann::json json = {
        {"counts", spectrum.totalCounts()},
        {"channels", spectrum.counts.size()},
        {"start", m.startUtcMs ? nlohmann::json(utcText(*m.startUtcMs)) : nullptr},
        {"real", m.realSeconds ? nlohmann::json(*m.realSeconds) : nullptr},
        {"live", m.liveSeconds ? nlohmann::json(*m.liveSeconds) : nullptr},
        {"calibration",
         spectrum.calibration ? nlohmann::json(spectrum.calibration->coefficients) : nullptr},
    };
    return json;
}

} // namespace tarvio
