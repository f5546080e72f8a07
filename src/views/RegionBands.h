#pragma once
// Regions of interest as the spectrum graph shows them: a coloured band behind the bars over
// the region's channels, and the region's straight background as a line over the bars, so
// that the net counts are what stands between the line and the bars' tops.

#include "views/Canvas.h"
#include "views/CountAxis.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvio {

struct RegionBand {
    std::uint32_t first = 0; // channels, both included
    std::uint32_t last = 0;
    Rgb colour{};
    // Background counts per channel at the first and last channel, when known.
    std::optional<double> backgroundAtFirst;
    std::optional<double> backgroundAtLast;
    bool selected = false; // drawn brighter
    // A fitted peak's model counts per channel from `first` to `last`; empty: no fit.
    std::vector<double> fitCounts;
};

// The band colours, one per region in turn: dark enough for green bars to stand out.
Rgb regionBandColour(std::size_t index);

// Where the channels of the window land on the canvas.
struct ChannelColumns {
    int left = 0;            // the plot's left edge
    std::uint32_t first = 0; // the window's first channel
    std::uint32_t last = 0;  // one past its last
    double xScale = 1.0;     // pixels per channel

    // The column of a channel's left edge (any channel, in or out of the window).
    int column(double channel) const;
};

// Behind the grid and bars: one band per region, over the plot's height (from topRow) down
// to the base.
void drawRegionBands(Canvas& canvas, const std::vector<RegionBand>& bands,
                     const ChannelColumns& columns, int baseRow, int topRow = 0);
// Over the bars: each region's background line, channel by channel, so that it follows a
// logarithmic axis too, and a fitted peak's curve where there is one.
void drawRegionBackgrounds(Canvas& canvas, const std::vector<RegionBand>& bands,
                           const ChannelColumns& columns, const CountAxis& axis, int baseRow);

} // namespace tarvio
