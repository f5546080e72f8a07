#pragma once
// Minimum, median, 99th percentile and maximum of a set of round-trip times.

#include <vector>

namespace tarvio {

struct LatencyFigures {
    double min = 0;
    double median = 0;
    double p99 = 0; // nearest rank: the value at least 99 % of the samples do not exceed
    double max = 0;
};

// Zeros for no samples.
LatencyFigures latencyFigures(std::vector<double> seconds);

} // namespace tarvio
