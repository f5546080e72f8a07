#include "views/TimeHistoryGraph.h"

#include "views/GraphColours.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace tarvio {

using namespace graph_colours;

namespace {

// In the window's layout pixels.
constexpr int TimeLabelWidth = 56;
constexpr int TopMargin = 18;
constexpr int RateStripWidth = 120;
constexpr int Gap = 6;
// Fewer rows than this are drawn as this many, so that the first seconds are not giant bands.
constexpr std::size_t MinimumRowsShown = 32;
constexpr int ColourLevels = 64;

// A perceptually even ramp from dark to light.
constexpr Rgb Ramp[] = {
    {20, 8, 60}, {100, 20, 120}, {190, 50, 90}, {245, 130, 30}, {252, 250, 170}};

std::string rateText(double rate) {
    char text[32];
    if (rate >= 1e6)
        std::snprintf(text, sizeof text, "%.3g M/s", rate / 1e6);
    else if (rate >= 1e3)
        std::snprintf(text, sizeof text, "%.3g k/s", rate / 1e3);
    else
        std::snprintf(text, sizeof text, "%.3g /s", rate);
    return text;
}

std::string timeText(double seconds) {
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
    else if (seconds >= 120)
        std::snprintf(text, sizeof text, "%.1f min", seconds / 60);
    else
        std::snprintf(text, sizeof text, "%.3g s", seconds);
    return text;
}

} // namespace

Rgb waterfallColour(std::uint32_t count, std::uint32_t top) {
    if (count == 0 || top == 0)
        return Background;
    const double v = std::log1p(static_cast<double>(count)) / std::log1p(static_cast<double>(top));
    // Quantised, so that neighbouring cells of about the same count fill as one.
    const double level = std::round(std::clamp(v, 0.0, 1.0) * ColourLevels) / ColourLevels;
    const double at = level * (std::size(Ramp) - 1);
    const auto i = std::min(static_cast<std::size_t>(at), std::size(Ramp) - 2);
    const double f = at - static_cast<double>(i);
    auto mix = [f](std::uint8_t a, std::uint8_t b) {
        return static_cast<std::uint8_t>(std::lround(a + (b - a) * f));
    };
    return {mix(Ramp[i].r, Ramp[i + 1].r), mix(Ramp[i].g, Ramp[i + 1].g),
            mix(Ramp[i].b, Ramp[i + 1].b)};
}

TimeHistoryGraph::TimeHistoryGraph(Canvas& image) : image_(image) {
    layout();
}

int TimeHistoryGraph::scaled(int layoutPixels) const {
    const double ratio = image_.pixelRatio();
    return std::max(static_cast<int>(std::lround(layoutPixels * (ratio > 0 ? ratio : 1.0))), 1);
}

void TimeHistoryGraph::layout() {
    plotLeft_ = scaled(TimeLabelWidth);
    plotTop_ = scaled(TopMargin);
    plotBottom_ = std::max(image_.height(), plotTop_ + 1);
    rateLeft_ = std::max(image_.width() - scaled(RateStripWidth), plotLeft_ + 2);
    plotRight_ = std::max(rateLeft_ - scaled(Gap), plotLeft_ + 1);
}

int TimeHistoryGraph::rowTop(std::size_t r) const {
    const double height = plotBottom_ - plotTop_;
    return plotTop_ + static_cast<int>(std::lround(height * static_cast<double>(r) /
                                                   static_cast<double>(rowsShown_)));
}

void TimeHistoryGraph::draw(const WaterfallRows& history, std::uint32_t first, std::uint32_t last) {
    layout();
    image_.setBrush(Background);
    image_.fillRect(0, 0, image_.width(), image_.height());
    rowsShown_ = std::max(history.rows, MinimumRowsShown);
    last = std::min(last, history.channels > 0 ? history.channels - 1 : 0);
    first = std::min(first, last);
    if (history.counts && history.rows > 0)
        drawWaterfall(history, first, last);
    drawRates(history);
    drawTimeLabels(history);
}

void TimeHistoryGraph::drawWaterfall(const WaterfallRows& history, std::uint32_t first,
                                     std::uint32_t last) {
    const int width = plotRight_ - plotLeft_;
    const double channelsPerPixel = static_cast<double>(last - first + 1) / width;
    // The channels of each pixel column.
    std::vector<std::uint32_t> columnStart(static_cast<std::size_t>(width) + 1);
    for (int x = 0; x <= width; ++x)
        columnStart[static_cast<std::size_t>(x)] = std::min(
            last + 1, first + static_cast<std::uint32_t>(std::floor(x * channelsPerPixel)));
    std::uint32_t top = 0;
    for (std::size_t r = 0; r < history.rows; ++r) {
        const std::uint32_t* row = history.counts + r * history.channels;
        top = std::max(top, *std::max_element(row + first, row + last + 1));
    }
    std::vector<std::uint32_t> cells(static_cast<std::size_t>(width));
    for (std::size_t r = 0; r < history.rows; ++r) {
        const int y0 = rowTop(r);
        const int y1 = std::max(rowTop(r + 1), y0 + 1);
        const std::uint32_t* row = history.counts + r * history.channels;
        for (int x = 0; x < width; ++x) {
            // A column narrower than a channel shows the channel it lies in.
            const std::uint32_t c0 = std::min(columnStart[static_cast<std::size_t>(x)], last);
            const std::uint32_t c1 = std::max(columnStart[static_cast<std::size_t>(x) + 1], c0 + 1);
            cells[static_cast<std::size_t>(x)] = *std::max_element(row + c0, row + c1);
        }
        // Runs of one colour fill as one rectangle.
        int x = 0;
        while (x < width) {
            const Rgb colour = waterfallColour(cells[static_cast<std::size_t>(x)], top);
            int end = x + 1;
            while (end < width &&
                   waterfallColour(cells[static_cast<std::size_t>(end)], top) == colour)
                ++end;
            if (!(colour == Background)) {
                image_.setBrush(colour);
                image_.fillRect(plotLeft_ + x, y0, plotLeft_ + end, y1);
            }
            x = end;
        }
    }
}

void TimeHistoryGraph::drawRates(const WaterfallRows& history) {
    const int left = rateLeft_;
    const int right = image_.width() - 1;
    image_.setPen(Grid, PenStyle::Solid);
    image_.moveTo(left, plotTop_);
    image_.lineTo(left, plotBottom_);
    double top = 0.0;
    for (std::size_t r = 0; r < history.rows && r < history.rates.size(); ++r)
        top = std::max(top, history.rates[r]);
    image_.setFontColor(LabelText);
    image_.setBrush(Background);
    image_.textOut(left + scaled(2), 0, "rate 0.." + rateText(top));
    if (top <= 0.0)
        return;
    image_.setPen(Green, PenStyle::Solid);
    const double scale = (right - left - scaled(2)) / top;
    for (std::size_t r = 0; r < history.rows && r < history.rates.size(); ++r) {
        const int x = left + static_cast<int>(std::lround(history.rates[r] * scale));
        const int y = (rowTop(r) + rowTop(r + 1)) / 2;
        if (r == 0)
            image_.moveTo(x, y);
        else
            image_.lineTo(x, y);
    }
}

void TimeHistoryGraph::drawTimeLabels(const WaterfallRows& history) {
    image_.setFontColor(LabelText);
    image_.setBrush(Background);
    image_.setPen(Grid, PenStyle::Solid);
    const int textHeight = std::max(image_.textExtent("0").height, 1);
    // A label every few rows, at least two text lines apart.
    const int span = plotBottom_ - plotTop_;
    const std::size_t every = std::max<std::size_t>(
        1, static_cast<std::size_t>(std::ceil(2.0 * textHeight * rowsShown_ / std::max(span, 1))));
    for (std::size_t r = 0; r <= rowsShown_; r += every) {
        const int y = rowTop(r);
        if (y + textHeight > plotBottom_ && r > 0)
            break;
        image_.moveTo(plotLeft_ - scaled(4), y);
        image_.lineTo(plotLeft_, y);
        image_.textOut(0, std::max(y - textHeight / 2, 0), timeText(r * history.rowSeconds));
    }
    image_.textOut(plotLeft_, 0, "time downward, channels across");
}

} // namespace tarvio
