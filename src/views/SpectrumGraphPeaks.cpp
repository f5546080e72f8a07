// The peak overlay of the spectrum graph: fit curves, peak markers and nuclide lines in the
// frame of the bars just drawn.

#include "views/GraphColours.h"
#include "views/Pixel.h"
#include "views/SpectrumGraph.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

constexpr Rgb FitColour{255, 200, 0};      // fitted curves
constexpr Rgb MarkerColour{255, 255, 255}; // peak markers and their labels
constexpr Rgb LineColour{200, 120, 255};   // a nuclide's lines
constexpr int MarkerLength = 8;            // layout pixels of a marker's stroke
constexpr int MarkerGap = 3;               // between the bar's top and the marker

} // namespace

void SpectrumGraph::drawPeakOverlay(const Spectrum& spectrum, std::uint32_t first,
                                    std::uint32_t last, std::uint32_t low) {
    if (overlay_.empty() || last <= first)
        return;
    const int left = static_cast<int>(leftMargin_);
    const int base = image_.height() - static_cast<int>(bottomMargin_);
    const auto column = [&](double channel) { return toPixel(left + (channel - first) * xScale_); };
    const auto row = [&](double v) { return v <= low ? base : countAxis_.rowOfCount(v); };
    const auto inside = [&](double channel) { return channel >= first && channel < last; };

    image_.setPen(FitColour, PenStyle::Solid);
    for (const FitCurve& fit : overlay_.fits) {
        bool started = false;
        for (std::size_t i = 0; i < fit.counts.size(); ++i) {
            const double channel = fit.first + static_cast<double>(i);
            if (!inside(channel))
                continue;
            const int x = column(channel + 0.5);
            const int y = row(fit.counts[i]);
            if (started) {
                image_.lineTo(x, y);
            } else {
                image_.moveTo(x, y);
                started = true;
            }
        }
    }

    image_.setPen(LineColour, PenStyle::Dotted);
    image_.setFontColor(LineColour);
    image_.setBrush(graph_colours::Background);
    for (const LineMarker& line : overlay_.lines) {
        if (!inside(line.channel))
            continue;
        const int x = column(line.channel + 0.5);
        image_.moveTo(x, 0);
        image_.lineTo(x, base);
        image_.textOut(x + scaled(MarkerGap), 0, line.label);
    }

    image_.setPen(MarkerColour, PenStyle::Solid);
    image_.setFontColor(MarkerColour);
    for (const PeakMarker& peak : overlay_.peaks) {
        if (!inside(peak.channel))
            continue;
        const int x = column(peak.channel + 0.5);
        const auto c = static_cast<std::size_t>(
            std::clamp(std::lround(peak.channel), 0L, static_cast<long>(SpectrumChannels) - 1));
        const int top = std::max(row(spectrum.counts[c]), 0) - scaled(MarkerGap);
        const int stroke = scaled(MarkerLength);
        image_.moveTo(x, top);
        image_.lineTo(x, top - stroke);
        const TextSize size = image_.textExtent(peak.label);
        image_.textOut(std::max(x - size.width / 2, left), std::max(top - stroke - size.height, 0),
                       peak.label);
    }
}

} // namespace tarvio
