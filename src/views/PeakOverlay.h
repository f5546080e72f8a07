#pragma once
// What the peak analysis puts on the spectrum graph: a marker over each found peak with its
// energy and nuclide, the fitted curves (background and peaks) over the bars, and on request
// a nuclide's lines as dotted lines across the plot with their names. Plain values: the
// analysis fills them, the graph draws them in its frame (SpectrumGraphPeaks.cpp).

#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

struct PeakMarker {
    double channel = 0.0;
    std::string label; // "59.54 keV Am-241"
};

// Model counts of one fit, channel by channel from `first`.
struct FitCurve {
    std::uint32_t first = 0;
    std::vector<double> counts;
};

struct LineMarker {
    double channel = 0.0;
    std::string label; // "Cs-137 661.7"
};

struct PeakOverlay {
    std::vector<PeakMarker> peaks;
    std::vector<FitCurve> fits;
    std::vector<LineMarker> lines;

    bool empty() const { return peaks.empty() && fits.empty() && lines.empty(); }
};

} // namespace tarvio
