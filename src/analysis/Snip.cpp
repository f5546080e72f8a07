#include "analysis/Snip.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

double compress(double y) {
    return std::log(std::log(std::sqrt(std::max(y, 0.0) + 1.0) + 1.0) + 1.0);
}

double expand(double v) {
    const double r = std::exp(std::exp(v) - 1.0) - 1.0;
    return std::max(r * r - 1.0, 0.0);
}

} // namespace

std::vector<double> snipBackground(std::span<const double> counts,
                                   std::span<const int> halfWidths) {
    const std::size_t n = counts.size();
    std::vector<double> v(n), next(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = compress(counts[i]);
    int widest = 0;
    for (std::size_t i = 0; i < n && i < halfWidths.size(); ++i)
        widest = std::max(widest, halfWidths[i]);
    for (int p = widest; p >= 1; --p) {
        const auto step = static_cast<std::size_t>(p);
        next = v;
        for (std::size_t i = step; i + step < n; ++i) {
            if (i < halfWidths.size() && p <= halfWidths[i])
                next[i] = std::min(v[i], 0.5 * (v[i - step] + v[i + step]));
        }
        std::swap(v, next);
    }
    std::vector<double> background(n);
    for (std::size_t i = 0; i < n; ++i)
        background[i] = std::min(expand(v[i]), std::max(counts[i], 0.0));
    return background;
}

} // namespace tarvio
