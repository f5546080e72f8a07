#pragma once
// Spectra with known Gaussian peaks on a straight background, with seeded Poisson noise:
// what every figure and fit is checked against.

#include "records/Spectrum.h"

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace tarvio::test {

struct GaussianPeak {
    double centroid; // channel
    double sigma;    // channels
    double area;     // counts
};

struct StraightBackground {
    double level = 0.0; // counts per channel at channel 0
    double slope = 0.0; // per channel
};

// The peak's expected counts in one channel: its share of [c - 0.5, c + 0.5].
inline double expectedPeakCounts(const GaussianPeak& p, double channel) {
    const double k = 1.0 / (p.sigma * std::sqrt(2.0));
    return p.area * 0.5 *
           (std::erf((channel + 0.5 - p.centroid) * k) -
            std::erf((channel - 0.5 - p.centroid) * k));
}

inline double expectedCounts(const std::vector<GaussianPeak>& peaks, StraightBackground bg,
                             double channel) {
    double mean = std::max(0.0, bg.level + bg.slope * channel);
    for (const auto& p : peaks)
        mean += expectedPeakCounts(p, channel);
    return mean;
}

// Poisson counts around the expected ones; seed 0 gives the expected counts rounded.
inline Spectrum syntheticSpectrum(const std::vector<GaussianPeak>& peaks, StraightBackground bg,
                                  std::uint64_t seed) {
    Spectrum s;
    std::mt19937_64 rng(seed);
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c) {
        const double mean = expectedCounts(peaks, bg, c);
        std::uint32_t v = 0;
        if (seed == 0)
            v = static_cast<std::uint32_t>(std::lround(mean));
        else if (mean > 0.0)
            v = std::poisson_distribution<std::uint32_t>(mean)(rng);
        s.counts[c] = v;
        s.maxCount = std::max(s.maxCount, v);
    }
    return s;
}

} // namespace tarvio::test
