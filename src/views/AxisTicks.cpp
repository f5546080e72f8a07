#include "views/AxisTicks.h"

#include "records/TextFormat.h"
#include "views/GraphColours.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

double roundStep(double span, int maxTicks, double minimumStep) {
    if (!(span > 0.0) || !std::isfinite(span))
        return minimumStep > 0.0 ? minimumStep : 1.0;
    const double raw = span / std::max(maxTicks, 1);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * decade;
    for (const double m : {1.0, 2.0, 5.0}) {
        // A little slack, so that 1000 / 5 gives 200 and not 500 from rounding.
        if (m * decade >= raw * (1.0 - 1e-9)) {
            step = m * decade;
            break;
        }
    }
    return std::max(step, minimumStep);
}

double nextRoundStep(double step) {
    const double decade = std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    const double m = step / decade;
    if (m < 1.5)
        return 2.0 * decade;
    if (m < 3.5)
        return 5.0 * decade;
    return 10.0 * decade;
}

std::vector<double> roundTicks(double low, double high, double step) {
    std::vector<double> ticks;
    if (!(step > 0.0) || !std::isfinite(low) || !std::isfinite(high) || high < low)
        return ticks;
    // Multiples by index, not by repeated addition, so that 0.1 steps stay exact enough to
    // print; the slack keeps an end that is a multiple.
    const double slack = step * 1e-9;
    const double firstIndex = std::ceil((low - slack) / step);
    const double lastIndex = std::floor((high + slack) / step);
    if (lastIndex - firstIndex > 10000.0)
        return ticks;
    for (double i = firstIndex; i <= lastIndex; ++i)
        ticks.push_back(i * step);
    return ticks;
}

int decimalsForStep(double step) {
    if (!(step > 0.0) || step >= 1.0 - 1e-9)
        return 0;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 9);
}

std::string tickLabel(double value, int decimals) {
    std::string text = formatFixed(value, decimals);
    if (text.find_first_not_of("-0.") == std::string::npos && !text.empty() && text[0] == '-')
        text.erase(0, 1);
    return text;
}

void drawLabelsUnder(Canvas& canvas, const std::vector<TickLabel>& labels, int top, int minX,
                     int maxX, int gap) {
    int previousRight = minX - gap;
    for (const TickLabel& label : labels) {
        const TextSize size = canvas.textExtent(label.text);
        int x = label.position - size.width / 2;
        x = std::max(std::min(x, maxX - size.width), minX);
        if (x < previousRight + gap)
            continue;
        canvas.textOut(x, top, label.text);
        previousRight = x + size.width;
    }
}

void drawLabelsBeside(Canvas& canvas, const std::vector<TickLabel>& labels, int right, int minY,
                      int maxY, int gap) {
    bool any = false;
    int previousTop = 0, previousBottom = 0;
    for (const TickLabel& label : labels) {
        const TextSize size = canvas.textExtent(label.text);
        int y = label.position - size.height / 2;
        y = std::max(std::min(y, maxY - size.height), minY);
        if (any && y + size.height + gap > previousTop && y < previousBottom + gap)
            continue;
        canvas.textOut(right - size.width, y, label.text);
        previousTop = y;
        previousBottom = y + size.height;
        any = true;
    }
}

void drawGridAndTicks(Canvas& canvas, const std::vector<TickLabel>& xLabels,
                      const std::vector<TickLabel>& yLabels, const PlotBox& plot, int tick) {
    canvas.setPen(graph_colours::Grid, PenStyle::Dotted);
    for (const TickLabel& label : xLabels) {
        canvas.moveTo(label.position, plot.top);
        canvas.lineTo(label.position, plot.bottom);
    }
    for (const TickLabel& label : yLabels) {
        canvas.moveTo(plot.left, label.position);
        canvas.lineTo(plot.right, label.position);
    }
    canvas.setPen(graph_colours::Grid, PenStyle::Solid);
    for (const TickLabel& label : xLabels) {
        canvas.moveTo(label.position, plot.bottom);
        canvas.lineTo(label.position, plot.bottom + tick);
    }
    for (const TickLabel& label : yLabels) {
        canvas.moveTo(plot.left - tick, label.position);
        canvas.lineTo(plot.left, label.position);
    }
}

bool labelsCrowd(Canvas& canvas, const std::vector<TickLabel>& labels, int gap) {
    for (std::size_t i = 1; i < labels.size(); ++i) {
        const int halfBefore = canvas.textExtent(labels[i - 1].text).width / 2;
        const int halfAfter = canvas.textExtent(labels[i].text).width / 2;
        if (std::abs(labels[i].position - labels[i - 1].position) < halfBefore + halfAfter + gap)
            return true;
    }
    return false;
}

} // namespace tarvio
