#pragma once
// One to three Gaussian peaks on a common straight background, fitted together to the counts
// of a region by weighted least squares (Levenberg-Marquardt), so that overlapping peaks
// share their counts fairly. The widths are tied: each peak keeps the width the detector is
// expected to give at its channel, scaled by one common fitted factor, which keeps weak
// members of a multiplet from taking any width the noise suggests.
//
// As in PeakFit, each channel gets the Gaussian's share of its whole bin, the first pass is
// weighted by the counts and the second by the first pass's model, and the uncertainties
// come from the curvature of the chi-square, widened by sqrt(chi-square per degree of
// freedom) when that exceeds 1.

#include "analysis/PeakFit.h"
#include "analysis/Region.h"

#include <optional>
#include <span>
#include <vector>

namespace tarvio {

struct MultipletStart {
    double centroid; // channel
    double area;     // counts
    double sigma;    // expected Gaussian sigma at the centroid, channels
};

struct MultipletPeak {
    FitValue centroid; // channel
    FitValue fwhm;     // channels
    FitValue area;     // counts in the whole Gaussian
    double sigma = 0.0;
};

struct MultipletFit {
    Region region;
    std::vector<MultipletPeak> peaks; // by centroid
    // Background counts per channel: level + slope·(channel − middle).
    double level = 0.0;
    double slope = 0.0;
    double middle = 0.0;
    double chiSquare = 0.0;
    int degreesOfFreedom = 0;

    double backgroundAt(double channel) const { return level + slope * (channel - middle); }
    // The model's counts in a channel (background and every peak's share of the bin).
    double countsAt(double channel) const;
};

inline constexpr std::size_t MaxMultipletPeaks = 3;

// nullopt when the fit does not converge or cannot tell the peaks apart; peaks whose area
// comes out negative or whose centroid leaves the region are kept as they came out, for the
// caller to judge.
std::optional<MultipletFit> fitMultiplet(std::span<const double> counts, Region region,
                                         const std::vector<MultipletStart>& starts);

} // namespace tarvio
