// The spectrum graph's readable look: round ticks on the channel or energy axis and on the
// count axis, labels in margins sized to their text so that no line runs through them, and
// the axes' titles with units.

#include "views/AxisTicks.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"
#include "views/SpectrumGraph.h"

#include <algorithm>
#include <string>
#include <vector>

namespace tarvio {

using namespace graph_colours;

namespace {

// In layout pixels: the least room per tick before the labels' own widths are considered.
constexpr int ColumnPixels = 60;
constexpr int RowPixels = 30;

std::string countText(double count) {
    return tickLabel(count, 0);
}

// The channel where the energy axis reaches `energy` within [first, last], by bisection: a
// calibration rises (or falls) steadily over the channels of one window.
double channelOfEnergy(const EnergyCalibration& calibration, double energy, double first,
                       double last) {
    const bool rising = calibration.energy(last) >= calibration.energy(first);
    double low = first;
    double high = last;
    for (int i = 0; i < 60; ++i) {
        const double middle = 0.5 * (low + high);
        if ((calibration.energy(middle) < energy) == rising)
            low = middle;
        else
            high = middle;
    }
    return 0.5 * (low + high);
}

} // namespace

void SpectrumGraph::fitReadableMargins(std::uint32_t low, std::uint32_t top) {
    const int gap = scaled(readable_axes::Gap);
    const int tick = scaled(readable_axes::TickLength);
    const int textHeight = image_.textExtent("0").height;
    // Every count label lies between low and top, and a logarithmic axis reaches 10 at least.
    const double highest = std::max({static_cast<double>(top), static_cast<double>(low), 10.0});
    const int labelWidth = std::max(image_.textExtent(countText(highest)).width,
                                    image_.textExtent(countText(low)).width);
    leftMargin_ = static_cast<std::uint32_t>(gap + labelWidth + gap + tick);
    // A row of labels and a row for the title under the axis; the count axis's title above.
    bottomMargin_ = static_cast<std::uint32_t>(tick + gap + textHeight + gap + textHeight + gap);
    topMargin_ = static_cast<std::uint32_t>(gap + textHeight + gap);
}

void SpectrumGraph::drawReadableAxes(std::uint32_t first, std::uint32_t last, std::uint32_t low,
                                     std::uint32_t countRange,
                                     const std::optional<EnergyCalibration>& energy) {
    const int W = image_.width();
    const int left = static_cast<int>(leftMargin_);
    const int plotTop = static_cast<int>(topMargin_);
    const int base = image_.height() - static_cast<int>(bottomMargin_);
    const int gap = scaled(readable_axes::Gap);
    const int tick = scaled(readable_axes::TickLength);
    const int textHeight = image_.textExtent("0").height;
    image_.setFontColor(LabelText);
    image_.setBrush(Background);

    // Channels or keV: the smallest round step whose labels keep apart.
    const double from = energy ? energy->energy(first) : first;
    const double to = energy ? energy->energy(last) : last;
    const double lowValue = std::min(from, to);
    const double highValue = std::max(from, to);
    std::vector<TickLabel> xLabels;
    double step = roundStep(highValue - lowValue, std::max(plotWidth() / scaled(ColumnPixels), 1),
                            energy ? 0.0 : 1.0);
    for (int attempt = 0; attempt < 30; ++attempt, step = nextRoundStep(step)) {
        xLabels.clear();
        const int decimals = energy ? decimalsForStep(step) : 0;
        for (const double value : roundTicks(lowValue, highValue, step)) {
            const double channel = energy ? channelOfEnergy(*energy, value, first, last) : value;
            xLabels.push_back(
                {toPixel(left + (channel - first) * xScale_), tickLabel(value, decimals)});
        }
        std::sort(xLabels.begin(), xLabels.end(),
                  [](const TickLabel& a, const TickLabel& b) { return a.position < b.position; });
        if (!labelsCrowd(image_, xLabels, 2 * gap))
            break;
    }

    // The counts: round steps on a linear axis, decades (and 2 and 5 in a narrow window) on a
    // logarithmic one.
    std::vector<TickLabel> yLabels;
    if (logScale_) {
        for (const double count : countAxis_.readableLogTicks())
            yLabels.push_back({countAxis_.rowOfCount(count), countText(count)});
    } else {
        const int rows = std::max(plotHeight() / std::max(scaled(RowPixels), 2 * textHeight), 1);
        const double countStep = roundStep(countRange, rows, 1.0);
        for (const double count : roundTicks(low, static_cast<double>(low) + countRange, countStep))
            yLabels.push_back({toPixel(base - (count - low) * yScale_), countText(count)});
    }

    // Grid lines within the plot, ticks in the margins.
    drawGridAndTicks(image_, xLabels, yLabels, PlotBox{left, plotTop, W, base}, tick);
    if (logScale_) {
        for (const double count : countAxis_.logMinorTicks()) {
            const int y = countAxis_.rowOfCount(count);
            image_.moveTo(left, y);
            image_.lineTo(left + tick, y);
        }
    }
    image_.moveTo(left, plotTop);
    image_.lineTo(left, base + 1);
    image_.moveTo(left, base);
    image_.lineTo(W, base);

    // Labels: under the axis from just left of it (the count labels end a tick and a gap
    // before it), beside the count axis over the whole height.
    drawLabelsUnder(image_, xLabels, base + tick + gap, left - gap, W, gap);
    drawLabelsBeside(image_, yLabels, left - tick - gap, 0, base + textHeight, 0);

    const char* xTitle = energy ? axis_titles::Energy : axis_titles::Channel;
    const TextSize xTitleSize = image_.textExtent(xTitle);
    image_.textOut(left + (plotWidth() - xTitleSize.width) / 2,
                   base + tick + gap + textHeight + gap, xTitle);
    image_.textOut(left + gap, gap, axis_titles::Counts);
}

} // namespace tarvio
