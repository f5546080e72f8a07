#pragma once
// The arithmetic of the threshold and bias controls, apart from the widgets. The bias code
// itself is shared with the command-line program (settings/BiasConversion.h).

#include "settings/BiasConversion.h"

#include <cstdint>

namespace tarvio {

// One step of the threshold track bar is a tenth of a volt; it spans 0..25.
inline constexpr int ThresholdTrackMax = 25;
inline constexpr double ThresholdVoltsPerStep = 0.1;

// Track-bar position for a threshold in volts, truncated toward zero and clamped to the
// track bar's range (1.25 gives 12, 3 gives 25, -0.5 gives 0).
int thresholdTrackPosition(double volts);

// The threshold as the edit box shows it after start-up: truncated toward zero to whole
// hundredths (0.4565 gives 0.45).
double truncateToHundredths(double volts);

} // namespace tarvio
