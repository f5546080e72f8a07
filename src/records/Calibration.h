#pragma once
// The two-point energy calibration shared by the calibrated export, the spectrum graph's keV
// axis and the calibration dialog.

#include <optional>

namespace tarvio {

struct CalibrationPoint {
    double channel = 0.0; // may hold a fraction
    double energy = 0.0;  // keV
};

struct CalibrationLine {
    double gain = 0.0;   // keV per channel
    double offset = 0.0; // keV at channel 0

    double energy(double channel) const { return channel * gain + offset; }

    // The rising line through the lower channel and the lower energy, with the fractional
    // parts of both differences dropped before the division. Undefined (nullopt) when the
    // channels are less than one whole channel apart, or when a point is not a finite number:
    // such a line would put NaN or infinity on an axis or into a file.
    static std::optional<CalibrationLine> fromPoints(const CalibrationPoint& p1,
                                                     const CalibrationPoint& p2);
};

// The reason given wherever an undefined line keeps something from being calibrated.
inline constexpr const char* CalibrationUndefinedText =
    "Calibration undefined: the two calibration channels must be at least one channel apart.";

} // namespace tarvio
