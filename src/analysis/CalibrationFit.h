#pragma once
// The energy axis from several (channel, keV) pairs: two pairs give the line through both,
// three or more a least-squares line or quadratic, with each pair's residual. Sets that
// cannot define a rising axis over the spectrum's channels are refused with a sentence that
// says what is wrong.

#include "records/Calibration.h"
#include "records/EnergyCalibration.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvio {

enum class CalibrationModel { Line, Quadratic };

struct CalibrationFit {
    EnergyCalibration calibration;
    CalibrationModel model = CalibrationModel::Line;
    // Per pair, in the order given: the pair's energy less the calibration's energy at its
    // channel, keV. All zero when the pairs determine the curve exactly.
    std::vector<double> residuals;
    // Root mean square of the residuals per degree of freedom; nullopt without any.
    std::optional<double> residualSpread;
};

struct CalibrationFitResult {
    std::optional<CalibrationFit> fit;
    std::string error; // a sentence for the operator when there is no fit
};

CalibrationFitResult fitCalibration(const std::vector<CalibrationPoint>& pairs,
                                    CalibrationModel model);

// Channels closer than this count as the same channel: a calibration that hangs on a fraction
// of a channel would swing the whole axis.
inline constexpr double MinChannelSeparation = 1.0;

} // namespace tarvio
