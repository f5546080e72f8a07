#include "records/Calibration.h"

#include "records/Spectrum.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

std::optional<CalibrationLine> CalibrationLine::fromPoints(const CalibrationPoint& p1,
                                                           const CalibrationPoint& p2) {
    const double eLow = std::min(p1.energy, p2.energy);
    const double cLow = std::min(p1.channel, p2.channel);
    const double dE = std::fabs(std::trunc(p2.energy - p1.energy));
    const double dC = std::fabs(std::trunc(p2.channel - p1.channel));
    if (!std::isfinite(dE) || !std::isfinite(dC) || dC < 1.0)
        return std::nullopt;
    CalibrationLine line;
    line.gain = dE / dC;
    line.offset = eLow - line.gain * cLow;
    // The line rises, so its extremes over the channel axis lie at its two ends.
    if (!std::isfinite(line.gain) || !std::isfinite(line.offset) ||
        !std::isfinite(line.energy(0)) || !std::isfinite(line.energy(SpectrumChannels)))
        return std::nullopt;
    return line;
}

} // namespace tarvio
