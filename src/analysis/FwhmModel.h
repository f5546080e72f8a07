#pragma once
// The peak width a detector gives at each channel: FWHM² = a + b·channel (electronic noise
// plus charge statistics growing with the energy), in channels. The peak search follows it so
// that its filter and its fits expect the right width everywhere.

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvio {

struct FwhmModel {
    double a = 25.0; // channels²
    double b = 0.0;  // channels² per channel

    // Never narrower than MinFwhm: a peak must cover a couple of channels to be told from a
    // single count; never wider than MaxFwhm, which keeps the filter's cost bounded.
    double at(double channel) const {
        return std::clamp(std::sqrt(std::max(a + b * std::max(channel, 0.0), 0.0)), MinFwhm,
                          MaxFwhm);
    }

    static constexpr double MinFwhm = 1.5;
    static constexpr double MaxFwhm = 200.0;
};

struct FwhmSample {
    double channel;
    double fwhm;
    double uncertainty; // one standard deviation, channels
};

// Weighted least squares of FWHM² against the channel; a constant (b = 0) when the samples
// would make it fall; from a single channel, half of FWHM² taken to grow with the channel.
// Without samples, `fallback`.
FwhmModel fitFwhmModel(const std::vector<FwhmSample>& samples, FwhmModel fallback);

} // namespace tarvio
