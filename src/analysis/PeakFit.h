#pragma once
// A Gaussian peak on a straight background, fitted to the counts of a region by weighted
// least squares (Levenberg-Marquardt). The model gives every channel the Gaussian's share
// of the bin [channel - 0.5, channel + 0.5], so narrow peaks come out with their true width.
//
// Weights: a first pass weights each channel by its own count (at least 1), a second by the
// first pass's model, which removes most of the low bias the counts' own weights give the
// area. Uncertainties are one standard deviation from the curvature of the chi-square,
// widened by sqrt(chi-square per degree of freedom) when the peak is not quite Gaussian.

#include "analysis/Region.h"
#include "records/Spectrum.h"

#include <optional>
#include <string>

namespace tarvio {

struct FitValue {
    double value = 0.0;
    double uncertainty = 0.0; // one standard deviation
};

struct PeakFit {
    Region region;
    FitValue centroid; // channel
    FitValue sigma;    // channels
    FitValue fwhm;     // channels: 2 sqrt(2 ln 2) sigma
    FitValue area;     // counts in the whole Gaussian
    // The background line: counts per channel at the centroid, and its slope per channel.
    double backgroundAtCentroid = 0.0;
    double backgroundSlope = 0.0;
    double chiSquare = 0.0;
    int degreesOfFreedom = 0;
};

struct PeakFitResult {
    std::optional<PeakFit> fit;
    std::string error; // a sentence for the operator when there is no fit
};

// The fewest channels a region needs for a fit: five parameters and two degrees of freedom.
inline constexpr std::uint32_t MinFitChannels = 7;

PeakFitResult fitGaussianPeak(const Spectrum& spectrum, Region region);

// The fitted model's counts in one channel (the Gaussian's share of the channel plus the
// background line), for drawing the fit over the spectrum.
double fittedCounts(const PeakFit& fit, double channel);

inline constexpr double FwhmPerSigma = 2.3548200450309493; // 2 sqrt(2 ln 2)

} // namespace tarvio
