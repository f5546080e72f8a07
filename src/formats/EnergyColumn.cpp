#include "formats/EnergyColumn.h"

#include "formats/FormatText.h"

#include <cmath>

namespace tarvio {

namespace {

// Half a unit of the last decimal the text shows ("59.5000" gives 0.00005), and a little
// more for the rounding of the binary fraction itself.
double roundingOf(std::string_view text, double value) {
    const std::size_t e = text.find_first_of("eE");
    const std::string_view mantissa = text.substr(0, e);
    const std::size_t point = mantissa.find('.');
    const double decimals =
        point == std::string_view::npos ? 0.0 : static_cast<double>(mantissa.size() - point - 1);
    const double exponent =
        e == std::string_view::npos ? 0.0 : parseNumber(text.substr(e + 1)).value_or(0.0);
    return 0.5 * std::pow(10.0, exponent - decimals) + 1e-9 * std::fabs(value) + 1e-12;
}

} // namespace

bool EnergyColumn::add(std::size_t channel, std::string_view text) {
    text = trim(text);
    const auto value = parseNumber(text);
    if (!value)
        return false;
    points_.push_back({static_cast<double>(channel), *value, roundingOf(text, *value)});
    return true;
}

std::optional<EnergyCalibration> EnergyColumn::line() const {
    if (points_.size() < 2)
        return std::nullopt;
    const Point& a = points_.front();
    const Point& b = points_.back();
    if (b.channel <= a.channel || b.energy <= a.energy)
        return std::nullopt;
    const double gain = (b.energy - a.energy) / (b.channel - a.channel);
    const double offset = a.energy - gain * a.channel;
    for (const Point& p : points_) {
        // The ends' rounding moves the line too, by at most their tolerance.
        if (std::fabs(p.energy - (offset + gain * p.channel)) >
            p.tolerance + a.tolerance + b.tolerance)
            return std::nullopt;
    }
    return EnergyCalibration::fromCoefficients(offset, gain, 0.0);
}

} // namespace tarvio
