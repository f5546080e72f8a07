#include "app/PeakMarkers.h"

#include "analysis/PeakAnalysisText.h"
#include "records/TextFormat.h"

namespace tarvio {

PeakOverlay peakOverlayOf(const PeakAnalysis& analysis) {
    PeakOverlay overlay;
    for (std::size_t k = 0; k < analysis.search.peaks.size(); ++k)
        overlay.peaks.push_back({analysis.search.peaks[k].centroid.value, peakLabel(analysis, k)});
    for (const MultipletFit& fit : analysis.search.fits) {
        FitCurve curve;
        curve.first = fit.region.first;
        for (std::uint32_t c = fit.region.first; c <= fit.region.last; ++c)
            curve.counts.push_back(fit.countsAt(c));
        overlay.fits.push_back(std::move(curve));
    }
    return overlay;
}

std::vector<LineMarker> nuclideLineMarkers(const Nuclide& nuclide,
                                           const EnergyCalibration& calibration) {
    std::vector<LineMarker> lines;
    for (const LibraryLine& line : nuclide.lines)
        lines.push_back({channelAtEnergy(calibration, line.energyKeV),
                         nuclide.name + " " + formatFixed(line.energyKeV, 1)});
    return lines;
}

} // namespace tarvio
