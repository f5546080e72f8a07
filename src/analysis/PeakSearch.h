#pragma once
// Peaks found by themselves over the whole spectrum.
//
// 1. The expected width: FWHM² = a + b·channel, given, or taken from the spectrum itself (the
//    filter width at which the strongest peak stands out most, then a line through the
//    widths of the clear peaks a first search fits).
// 2. The continuum: SNIP clipping with a window of one FWHM at each channel (Snip.h).
// 3. The search: at each channel a zero-area filter, a Gaussian of the expected width there
//    less its own mean over ±1.5 FWHM, so that a flat or straight continuum gives no response
//    and a peak of that width gives the largest. Its response over its standard deviation
//    under the continuum alone (the SNIP estimate, at least one count per channel so that a
//    few stray counts in an empty stretch do not look like a peak) is the search
//    significance; local maxima above the threshold are candidates.
// 4. The fits: candidates closer than 2.5 FWHM are fitted together (up to three in one fit,
//    MultipletFit.h) on a straight local background over ±2 FWHM, the region stopping short of
//    a neighbouring peak. A peak is kept when its net area is at least `threshold` standard
//    deviations, its centroid stays in its region and its width is within a factor two of the
//    expected; the others are dropped and their neighbours fitted again without them.

#include "analysis/FwhmModel.h"
#include "analysis/MultipletFit.h"
#include "analysis/PeakFit.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"

#include <optional>
#include <span>
#include <vector>

namespace tarvio {

struct PeakSearchOptions {
    double threshold = 3.0;        // standard deviations of the net area above zero
    std::optional<FwhmModel> fwhm; // nullopt: from the spectrum
};

struct FoundPeak {
    FitValue centroid;         // channel
    FitValue fwhm;             // channels
    FitValue area;             // net counts
    double significance = 0.0; // net area over its standard deviation
    double background = 0.0;   // continuum counts per channel at the centroid
    std::size_t fit = 0;       // index of its fit in PeakSearchResult::fits
};

struct PeakSearchResult {
    std::vector<FoundPeak> peaks; // by centroid
    std::vector<MultipletFit> fits;
    std::vector<double> background; // SNIP continuum, counts per channel
    FwhmModel fwhm;                 // the width the search expected
    bool fwhmFromSpectrum = false;
    double threshold = 3.0; // the significance the peaks had to reach
};

PeakSearchResult searchPeaks(std::span<const double> counts, const PeakSearchOptions& options);
PeakSearchResult searchPeaks(const Spectrum& spectrum, const PeakSearchOptions& options);

// A found peak on the energy axis.
struct PeakEnergy {
    FitValue energy; // keV
    FitValue fwhm;   // keV
};
PeakEnergy peakEnergy(const FoundPeak& peak, const EnergyCalibration& calibration);

} // namespace tarvio
