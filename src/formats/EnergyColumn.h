#pragma once
// Text formats that list an energy beside each count carry their calibration only as those
// energies, rounded. This recovers the straight line through them, if they lie on one.

#include "records/EnergyCalibration.h"

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace tarvio {

class EnergyColumn {
public:
    // The energy of channel as the file writes it; false when the text is not a number.
    bool add(std::size_t channel, std::string_view text);
    bool empty() const { return points_.empty(); }

    // The line through the first and the last energy, when every energy lies on it within
    // the rounding its text shows and the energy rises with the channel; nullopt otherwise.
    std::optional<EnergyCalibration> line() const;

private:
    struct Point {
        double channel;
        double energy;
        double tolerance; // half a unit of the last digit written
    };
    std::vector<Point> points_;
};

} // namespace tarvio
