#include "views/PulseGraph.h"

#include "records/TextFormat.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tarvio {

using namespace graph_colours;

namespace {
constexpr double FullRange = FullScaleSteps; // axis value of the top of the converter range
}

void PulseGraph::draw(const PulseBuffer& pulse, double thresholdVolts, bool inverted,
                      bool autoScale, const std::vector<double>* fitted) {
    const std::uint32_t count = pulse.validCount();
    if (count == 0)
        return;
    const int W = image_.width();
    const int H = image_.height();
    const std::uint32_t div = divisions == 0 ? 1 : divisions;

    // Vertical range in converter steps.
    double low = std::trunc(pulse.minSample - pulse.minSample * autoMargin);
    if (low < 0 || !autoScale || !std::isfinite(low))
        low = 0;
    double high = std::trunc(pulse.maxSample + pulse.maxSample * autoMargin);
    if (high > FullRange || !autoScale || !std::isfinite(high))
        high = FullRange;
    if (inverted) {
        const double oldLow = low;
        low = FullRange - high;
        high = FullRange - oldLow;
    }
    if (readableAxes) {
        drawReadable(pulse, count, low, high, thresholdVolts, inverted);
        return;
    }
    const double range = high - low;
    const double yScale = H / (range == 0 ? 1.0 : range);
    const double xScale = static_cast<double>(W) / count;

    image_.setBrush(Background);
    image_.fillRect(0, 0, W, H);

    const int stepX = W / static_cast<int>(div);
    const int stepY = H / static_cast<int>(div);
    image_.setPen(Grid, PenStyle::Dotted);
    for (std::uint32_t i = 0; i < div; ++i) {
        const int x = static_cast<int>(i + 1) * stepX;
        image_.moveTo(x, 0);
        image_.lineTo(x, H);
        const int y = static_cast<int>(i) * stepY;
        image_.moveTo(0, y);
        image_.lineTo(W, y);
    }

    image_.setPen(Green, PenStyle::Solid);
    double level = thresholdVolts / VoltsPerStep;
    if (inverted)
        level = FullRange - level;
    const int ty = toPixel(H - (level - low) * yScale);
    image_.moveTo(0, ty);
    image_.lineTo(W, ty);

    // Only the slots the message filled: the one after them was never measured for this pulse
    // and would draw a drop to the bottom (or the top, inverted).
    const std::uint32_t delivered = std::min(pulse.deliveredCount, count);
    if (delivered > 0) {
        image_.setPen(Red, PenStyle::Solid);
        auto plotted = [&](std::uint32_t j) {
            const double s = inverted ? FullRange - pulse.samples[j] : pulse.samples[j];
            return toPixel(H - (s - low) * yScale);
        };
        image_.moveTo(0, plotted(0));
        for (std::uint32_t j = 0; j < delivered; ++j) {
            const int x = toPixel(j * xScale);
            const int y = plotted(j);
            image_.lineTo(x, y);
            image_.moveTo(x, y);
        }
    }

    if (fitted && !fitted->empty()) {
        image_.setPen(Fitted, PenStyle::Solid);
        const std::uint32_t n = std::min<std::uint32_t>(count, fitted->size());
        auto plotted = [&](std::uint32_t j) {
            const double s = inverted ? FullRange - (*fitted)[j] : (*fitted)[j];
            return toPixel(H - (s - low) * yScale);
        };
        image_.moveTo(0, plotted(0));
        for (std::uint32_t j = 0; j < n; ++j) {
            const int x = toPixel(j * xScale);
            const int y = plotted(j);
            image_.lineTo(x, y);
            image_.moveTo(x, y);
        }
    }

    // Labels last, on their own background, so that no trace runs through them.
    image_.setFontColor(LabelText);
    image_.setBrush(Background);
    std::string label;
    for (std::uint32_t i = 0; i < div; ++i) {
        const int x = static_cast<int>(i + 1) * stepX;
        label.clear();
        appendDecimal(label, static_cast<std::int64_t>(count / div) * (i + 1));
        const TextSize size = image_.textExtent(label);
        image_.textOut(x - 2 - size.width, H - size.height, label);

        const int y = static_cast<int>(i) * stepY;
        const double v = range / div * (div - i) + low;
        label = formatFixed(v * VoltsPerStep, 2);
        image_.textOut(0, y + 2, label);
    }
}

} // namespace tarvio
