#include "selftest/LatencyFigures.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

LatencyFigures latencyFigures(std::vector<double> seconds) {
    LatencyFigures f;
    if (seconds.empty())
        return f;
    std::sort(seconds.begin(), seconds.end());
    const std::size_t n = seconds.size();
    f.min = seconds.front();
    f.max = seconds.back();
    f.median = n % 2 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(n)));
    f.p99 = seconds[std::clamp<std::size_t>(rank, 1, n) - 1];
    return f;
}

} // namespace tarvio
