#pragma once
// The energy axis as a polynomial of the channel: keV = c0 + c1·ch + c2·ch². Every saved
// format carries exactly these three coefficients (a line has c2 = 0). An undefined
// calibration is never applied or written as if it were one.

#include "records/Calibration.h"

#include <array>
#include <cmath>
#include <optional>

namespace tarvio {

struct EnergyCalibration {
    std::array<double, 3> coefficients{0.0, 0.0, 0.0};

    double energy(double channel) const {
        return coefficients[0] + channel * (coefficients[1] + channel * coefficients[2]);
    }
    bool isLinear() const { return coefficients[2] == 0.0; }

    static EnergyCalibration fromLine(const CalibrationLine& line) {
        return EnergyCalibration{{line.offset, line.gain, 0.0}};
    }
    // The highest channel any spectrum here has (a file holds at most 2^20).
    static constexpr double HighestChannel = 1048576.0;

    // nullopt unless every energy from channel 0 to HighestChannel is finite: finite
    // coefficients such as 1e308 can still give infinity, which no file could hold.
    static std::optional<EnergyCalibration> fromCoefficients(double c0, double c1, double c2) {
        // Every term of energy() is bounded by this sum, so if it is finite, so are they.
        const double bound =
            std::fabs(c0) + HighestChannel * (std::fabs(c1) + HighestChannel * std::fabs(c2));
        if (!std::isfinite(c0) || !std::isfinite(c1) || !std::isfinite(c2) || !std::isfinite(bound))
            return std::nullopt;
        return EnergyCalibration{{c0, c1, c2}};
    }
};

} // namespace tarvio
