#pragma once
// The spectrum over time as a waterfall: time runs downward, one band of pixel rows per row
// of the history, the channels of the spectrum's zoom across, counts as colour on a
// logarithmic scale (black: none). Beside it, on the same time axis, the count rate of each
// row as a line. Several channels in one pixel column show the largest of their counts, as
// the spectrum graph shows the tallest bar.

#include "views/Canvas.h"

#include <cstdint>
#include <vector>

namespace tarvio {

// The history to draw: rows x channels counts, row-major, and the rate of each row.
struct WaterfallRows {
    std::size_t rows = 0; // rows with time in them
    double rowSeconds = 1.0;
    std::uint32_t channels = 4096;
    const std::uint32_t* counts = nullptr;
    std::vector<double> rates; // pulses per second, one per row
};

// The colour of a count when the largest count shown is top: black for none, then from dark
// purple through red and orange to pale yellow by log(1 + count) / log(1 + top).
Rgb waterfallColour(std::uint32_t count, std::uint32_t top);

class TimeHistoryGraph {
public:
    explicit TimeHistoryGraph(Canvas& image);

    // first..last: the channels shown, as the spectrum's zoom.
    void draw(const WaterfallRows& history, std::uint32_t first, std::uint32_t last);

    // Where the last draw put things, in image pixels.
    int plotLeft() const { return plotLeft_; }
    int plotRight() const { return plotRight_; }
    int rateLeft() const { return rateLeft_; }
    int plotTop() const { return plotTop_; }
    int plotBottom() const { return plotBottom_; }
    // The pixel row where row r of the history begins.
    int rowTop(std::size_t r) const;

private:
    int scaled(int layoutPixels) const;
    void layout();
    void drawWaterfall(const WaterfallRows& history, std::uint32_t first, std::uint32_t last);
    void drawRates(const WaterfallRows& history);
    void drawTimeLabels(const WaterfallRows& history);

    Canvas& image_;
    int plotLeft_ = 0, plotRight_ = 0, rateLeft_ = 0, plotTop_ = 0, plotBottom_ = 0;
    std::size_t rowsShown_ = 1;
};

} // namespace tarvio
