#include "app/OperatingPoint.h"

#include "settings/NumberFormat.h"

#include <algorithm>

namespace tarvio {

int thresholdTrackPosition(double volts) {
    return std::clamp(truncToInt(volts * 10.0), 0, ThresholdTrackMax);
}

double truncateToHundredths(double volts) {
    return truncToInt(volts * 100.0) * 0.01;
}

} // namespace tarvio
