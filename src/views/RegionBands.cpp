#include "views/RegionBands.h"

#include "views/Pixel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <utility>

namespace tarvio {

namespace {

constexpr std::array<Rgb, 4> BandColours{{
    {0, 40, 110}, // blue
    {90, 20, 90}, // purple
    {0, 80, 80},  // teal
    {100, 60, 0}, // brown
}};
constexpr Rgb FitCurve{255, 200, 0}; // amber: neither the green bars nor a band's line

Rgb brighter(Rgb c) {
    const auto lift = [](std::uint8_t v) {
        return static_cast<std::uint8_t>(std::min(v * 2 + 30, 255));
    };
    return {lift(c.r), lift(c.g), lift(c.b)};
}

// The background line's count at a channel of the band, never below zero.
double backgroundAt(const RegionBand& band, double channel) {
    const double span = band.last - band.first;
    const double t = span > 0 ? (channel - band.first) / span : 0.5;
    return std::max(0.0, *band.backgroundAtFirst * (1.0 - t) + *band.backgroundAtLast * t);
}

// The fitted model over the bars, in a colour of its own so it is not taken for the data or
// the background line.
void drawFitCurve(Canvas& canvas, const RegionBand& band, const ChannelColumns& columns,
                  const CountAxis& axis, int baseRow) {
    if (band.fitCounts.size() != static_cast<std::size_t>(band.last - band.first) + 1)
        return;
    if (band.last < columns.first || band.first >= columns.last)
        return;
    canvas.setPen(FitCurve, PenStyle::Solid);
    const std::uint32_t from = std::max(band.first, columns.first);
    const std::uint32_t to = std::min(band.last, columns.last - 1);
    // At the middle of each channel's columns, so the curve's top sits over the peak's bars.
    const auto point = [&](std::uint32_t c) {
        const int x = columns.column(c + 0.5);
        const int y = std::min(axis.rowOfCount(band.fitCounts[c - band.first]), baseRow);
        return std::pair{x, y};
    };
    auto [x, y] = point(from);
    canvas.moveTo(x, y);
    for (std::uint32_t c = from + 1; c <= to; ++c) {
        std::tie(x, y) = point(c);
        canvas.lineTo(x, y);
    }
    canvas.lineTo(x + 1, y);
}

} // namespace

Rgb regionBandColour(std::size_t index) {
    return BandColours[index % BandColours.size()];
}

int ChannelColumns::column(double channel) const {
    return toPixel(left + (channel - first) * xScale);
}

void drawRegionBands(Canvas& canvas, const std::vector<RegionBand>& bands,
                     const ChannelColumns& columns, int baseRow, int topRow) {
    for (const RegionBand& band : bands) {
        if (band.last < columns.first || band.first >= columns.last)
            continue;
        const int x0 = std::max(columns.column(band.first), columns.left);
        // At least one column, so a narrow region on a wide view still shows.
        const int x1 = std::max(columns.column(band.last + 1.0), x0 + 1);
        canvas.setBrush(band.selected ? brighter(band.colour) : band.colour);
        canvas.fillRect(x0, topRow, x1, baseRow);
    }
}

void drawRegionBackgrounds(Canvas& canvas, const std::vector<RegionBand>& bands,
                           const ChannelColumns& columns, const CountAxis& axis, int baseRow) {
    for (const RegionBand& band : bands) {
        if (!band.backgroundAtFirst || !band.backgroundAtLast)
            continue;
        if (band.last < columns.first || band.first >= columns.last)
            continue;
        canvas.setPen(brighter(brighter(band.colour)), PenStyle::Solid);
        const std::uint32_t from = std::max(band.first, columns.first);
        const std::uint32_t to = std::min(band.last, columns.last - 1);
        // One point per column the channels reach; below the base line it stays on it.
        const auto rowAt = [&](std::uint32_t c) {
            return std::min(axis.rowOfCount(backgroundAt(band, c)), baseRow);
        };
        int x = columns.column(from);
        int y = rowAt(from);
        canvas.moveTo(x, y);
        for (std::uint32_t c = from + 1; c <= to; ++c) {
            const int cx = columns.column(c);
            if (cx == x && c != to)
                continue;
            x = cx;
            y = rowAt(c);
            canvas.lineTo(x, y);
        }
        // The end point itself, which a line leaves out.
        canvas.lineTo(x + 1, y);
    }
    for (const RegionBand& band : bands)
        drawFitCurve(canvas, band, columns, axis, baseRow);
}

} // namespace tarvio
