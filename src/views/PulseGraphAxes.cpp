// The pulse graph's readable look: the plot beside margins for round sample and voltage
// labels, so that neither the trace nor a grid line runs through a label, and the axes'
// titles with units.

#include "views/AxisTicks.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"
#include "views/PulseGraph.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace tarvio {

using namespace graph_colours;

namespace {

// In layout pixels: the least room per tick before the labels' own widths are considered.
constexpr int ColumnPixels = 50;
constexpr int RowPixels = 30;

} // namespace

void PulseGraph::drawReadable(const PulseBuffer& pulse, std::uint32_t count, double low,
                              double high, double thresholdVolts, bool inverted) {
    const int W = image_.width();
    const int H = image_.height();
    const double ratio = image_.pixelRatio() > 0 ? image_.pixelRatio() : 1.0;
    const auto scaled = [ratio](int pixels) {
        return std::max(static_cast<int>(std::lround(pixels * ratio)), 1);
    };
    const int gap = scaled(readable_axes::Gap);
    const int tick = scaled(readable_axes::TickLength);
    const int textHeight = image_.textExtent("0").height;

    const int plotTop = gap + textHeight + gap;
    const int base = std::max(H - (tick + gap + textHeight + gap + textHeight + gap), plotTop + 1);
    const int plotHeight = base - plotTop;
    const double range = high - low;
    const double yScale = plotHeight / (range == 0 ? 1.0 : range);

    // Volts first: their labels' width sets the left margin.
    const double voltStep =
        roundStep(range * VoltsPerStep,
                  std::max(plotHeight / std::max(scaled(RowPixels), 2 * textHeight), 1));
    const int decimals = std::max(decimalsForStep(voltStep), 1);
    std::vector<TickLabel> yLabels;
    int labelWidth = 0;
    for (const double volts : roundTicks(low * VoltsPerStep, high * VoltsPerStep, voltStep)) {
        yLabels.push_back(
            {toPixel(base - (volts / VoltsPerStep - low) * yScale), tickLabel(volts, decimals)});
        labelWidth = std::max(labelWidth, image_.textExtent(yLabels.back().text).width);
    }
    const int left = gap + labelWidth + gap + tick;
    const int plotWidth = std::max(W - left, 1);
    const double xScale = static_cast<double>(plotWidth) / count;

    // Samples: the smallest round step whose labels keep apart.
    std::vector<TickLabel> xLabels;
    double step = roundStep(count, std::max(plotWidth / scaled(ColumnPixels), 1), 1.0);
    for (int attempt = 0; attempt < 30; ++attempt, step = nextRoundStep(step)) {
        xLabels.clear();
        for (const double sample : roundTicks(0, count, step))
            xLabels.push_back({toPixel(left + sample * xScale), tickLabel(sample, 0)});
        if (!labelsCrowd(image_, xLabels, 2 * gap))
            break;
    }

    image_.setBrush(Background);
    image_.fillRect(0, 0, W, H);
    drawGridAndTicks(image_, xLabels, yLabels, PlotBox{left, plotTop, W, base}, tick);
    image_.moveTo(left, plotTop);
    image_.lineTo(left, base + 1);
    image_.moveTo(left, base);
    image_.lineTo(W, base);

    // Threshold and trace stay within the plot: the margins hold the labels.
    const auto row = [&](double steps) {
        return std::clamp(toPixel(base - (steps - low) * yScale), plotTop, base);
    };
    double level = thresholdVolts / VoltsPerStep;
    if (inverted)
        level = FullScaleSteps - level;
    if (level >= low && level <= high) {
        image_.setPen(Green, PenStyle::Solid);
        image_.moveTo(left, row(level));
        image_.lineTo(W, row(level));
    }
    const std::uint32_t delivered = std::min(pulse.deliveredCount, count);
    if (delivered > 0) {
        image_.setPen(Red, PenStyle::Solid);
        const auto plotted = [&](std::uint32_t j) {
            return row(inverted ? FullScaleSteps - pulse.samples[j] : pulse.samples[j]);
        };
        image_.moveTo(left, plotted(0));
        for (std::uint32_t j = 0; j < delivered; ++j) {
            const int x = toPixel(left + j * xScale);
            const int y = plotted(j);
            image_.lineTo(x, y);
            image_.moveTo(x, y);
        }
    }

    image_.setFontColor(LabelText);
    image_.setBrush(Background);
    drawLabelsUnder(image_, xLabels, base + tick + gap, left - gap, W, gap);
    drawLabelsBeside(image_, yLabels, left - tick - gap, 0, base + textHeight, 0);
    const TextSize xTitleSize = image_.textExtent(axis_titles::Sample);
    image_.textOut(left + (plotWidth - xTitleSize.width) / 2, base + tick + gap + textHeight + gap,
                   axis_titles::Sample);
    image_.textOut(left + gap, gap, axis_titles::Volts);
}

} // namespace tarvio
