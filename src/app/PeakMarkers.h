#pragma once
// The peak analysis as the spectrum graph draws it: a marker with energy and nuclide over
// each peak, the fitted curves, and on request one nuclide's lines on the energy axis.

#include "analysis/NuclideLibrary.h"
#include "analysis/PeakAnalysis.h"
#include "views/PeakOverlay.h"

namespace tarvio {

PeakOverlay peakOverlayOf(const PeakAnalysis& analysis);

// The lines of `nuclide` at their channels on `calibration`, labelled "Cs-137 661.7".
std::vector<LineMarker> nuclideLineMarkers(const Nuclide& nuclide,
                                           const EnergyCalibration& calibration);

} // namespace tarvio
