#pragma once
// Calibration with a known source: its lines found among the peaks of an uncalibrated
// spectrum by their pattern, then a calibration fitted to the matches.
//
// Every pair of the source's strongest line groups laid on every pair of peaks gives a trial
// line (gain and offset). A trial scores the emission of the groups that then land within
// half a FWHM of a peak; the best trial with at least two matches wins (ties: the smaller
// spread of the misses). Its matches, with all the source's groups taken again at the
// resolution found, are fitted: a line, or a quadratic from five matches when the line
// leaves residuals of more than 0.05 keV and the quadratic halves them.

#include "analysis/CalibrationFit.h"
#include "analysis/NuclideLibrary.h"
#include "analysis/PeakSearch.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct SourceLineMatch {
    std::size_t peak = 0; // index in the search's peaks
    double channel = 0.0;
    double energyKeV = 0.0; // the line group's
    std::string name;
    double residualKeV = 0.0; // line energy less the calibration's energy at the channel
};

struct SourceCalibration {
    CalibrationFit fit;
    std::vector<SourceLineMatch> matches;
};

struct SourceCalibrationResult {
    std::optional<SourceCalibration> calibration;
    std::string error; // a sentence for the operator when there is none
};

SourceCalibrationResult calibrateWithSource(const PeakSearchResult& search, const Nuclide& source,
                                            std::size_t channels);

// For a spectrum without an energy axis: the library's nuclide whose lines the peaks' pattern
// fits best, with at least three of its line groups matched (two match any two peaks), the
// most matched first and then the smallest largest residual. nullopt when none does.
struct PatternCalibration {
    const Nuclide* nuclide = nullptr;
    SourceCalibration calibration;
};
std::optional<PatternCalibration> calibrateByPattern(const PeakSearchResult& search,
                                                     const NuclideLibrary& library,
                                                     std::size_t channels);

} // namespace tarvio
