#include "views/SpectrumGraph.h"

#include "records/TextFormat.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

namespace tarvio {

using namespace graph_colours;

namespace {

// In the window's layout pixels; the canvas's pixel ratio turns them into image pixels.
constexpr int Margin = 15;
constexpr int GridColumnPixels = 50; // at least this far apart: vertical grid lines
constexpr int GridRowPixels = 30;    // and horizontal ones
constexpr int LabelGap = 2;
constexpr int CursorMarkRadius = 2;
constexpr int MinorTickLength = 4; // of the logarithmic axis, into the plot

} // namespace

SpectrumGraph::SpectrumGraph(Canvas& image) : image_(image) {
    adoptPixelRatio();
    // The frame of a full view of an empty spectrum, so that a zoom or scroll that comes
    // before the first draw works in a sensible frame.
    xScale_ = static_cast<double>(plotWidth()) / SpectrumChannels;
    yScale_ = plotHeight();
    countAxis_ = CountAxis::linear(plotHeight(), 0, yScale_);
}

double SpectrumGraph::channelAt(int x) const {
    return drawnFirst_ + (x - static_cast<double>(leftMargin_)) / xScale_;
}

int SpectrumGraph::scaled(int layoutPixels) const {
    const double ratio = image_.pixelRatio();
    return std::max(static_cast<int>(std::lround(layoutPixels * (ratio > 0 ? ratio : 1.0))), 1);
}

void SpectrumGraph::adoptPixelRatio() {
    leftMargin_ = static_cast<std::uint32_t>(scaled(Margin));
    bottomMargin_ = leftMargin_;
    topMargin_ = 0;
}

int SpectrumGraph::plotWidth() const {
    return std::max(image_.width() - static_cast<int>(leftMargin_), 1);
}

int SpectrumGraph::plotHeight() const {
    return std::max(image_.height() - static_cast<int>(bottomMargin_ + topMargin_), 1);
}

void SpectrumGraph::setCursorChannel(int channel) {
    cursorChannel_ = std::clamp(channel, 0, static_cast<int>(SpectrumChannels) - 1);
}

void SpectrumGraph::draw(const Spectrum& spectrum) {
    drawRange(spectrum, firstChannel_, lastChannel_, lowCount_, highCount_);
}

void SpectrumGraph::drawRange(const Spectrum& live, std::uint32_t first, std::uint32_t last,
                              std::uint32_t low, std::uint32_t high) {
    Spectrum net;
    const Spectrum& spectrum = shownSpectrum(live, net);
    // The channel window always lies within the histogram.
    last = std::min(last, SpectrumChannels);
    first = std::min(first, last);
    firstChannel_ = first;
    lastChannel_ = last;
    drawnFirst_ = first;
    drawnLast_ = last;
    lowCount_ = low;
    highCount_ = high;
    spectrumMax_ = autoTop(spectrum);
    const std::uint32_t top = high == AutoCount ? spectrumMax_ : high;
    adoptPixelRatio();
    if (readableAxes_)
        fitReadableMargins(low, top);

    const int W = image_.width();
    const int H = image_.height();
    const int PW = plotWidth();
    const int PH = plotHeight();
    const int left = static_cast<int>(leftMargin_);
    const int base = H - static_cast<int>(bottomMargin_);

    image_.setBrush(Background);
    image_.fillRect(0, 0, W, H);

    const std::uint32_t channels = last - first;
    // A count window upside down (low above an automatic top) is taken as empty.
    const std::uint32_t countRange = top >= low ? top - low : 0;
    xScale_ = static_cast<double>(PW) / (channels == 0 ? 1 : channels);
    yScale_ = static_cast<double>(PH) / (countRange == 0 ? 1 : countRange);
    countAxis_ = logScale_ ? CountAxis::logarithmic(base, PH, low, top, high == AutoCount)
                           : CountAxis::linear(base, low, yScale_);
    const ChannelColumns columns{left, first, last, xScale_};
    drawRegionBands(image_, bands_, columns, base, static_cast<int>(topMargin_));

    image_.setPen(Grid, PenStyle::Dotted);
    image_.setFontColor(LabelText);
    image_.setBrush(Background);

    const std::uint32_t xDiv =
        static_cast<std::uint32_t>(std::max(PW / scaled(GridColumnPixels), 1));
    const int gap = scaled(LabelGap);
    const std::uint64_t channelStep = std::max<std::uint32_t>(channels / xDiv, 1);

    // Without a defined calibration the axis keeps channel numbers rather than showing
    // nonsense.
    const std::optional<EnergyCalibration>& energy = calibration_;
    const bool energyLabels = calibrated_ && energy.has_value();

    if (readableAxes_) {
        drawReadableAxes(first, last, low, countRange,
                         energyLabels ? energy : std::optional<EnergyCalibration>());
    } else {
        // Loop counters are 64-bit: a step added to a value near the top of the 32-bit range
        // must end the loop, not wrap around and start it again.
        std::string label;
        for (std::uint64_t k = channelStep; k <= channels; k += channelStep) {
            const int x = toPixel(left + k * xScale_);
            image_.moveTo(x, 0);
            image_.lineTo(x, H);
            label.clear();
            if (energyLabels)
                appendFixed(label, energy->energy(static_cast<double>(first + k)), 1);
            else
                appendDecimal(label, static_cast<std::int64_t>(first + k));
            const TextSize size = image_.textExtent(label);
            image_.textOut(x - gap - size.width, H - size.height, label);
        }
        if (logScale_)
            countAxis_.drawLogGrid(image_, left, low, gap, scaled(MinorTickLength));
        else
            drawLinearCountGrid(countRange, low);

        image_.setPen(Grid, PenStyle::Solid);
        image_.moveTo(left, 0);
        image_.lineTo(left, H);
        image_.moveTo(0, base);
        image_.lineTo(W, base);
    }

    image_.setPen(Green, PenStyle::Solid);
    drawBars(spectrum, first, channels, low);
    drawReference(first, channels, low);
    drawRegionBackgrounds(image_, bands_, columns, countAxis_, base);
    drawPeakOverlay(spectrum, first, last, low);
    drawDifferenceMark();

    image_.setPen(Red, PenStyle::Solid);
    cursorValue_ = spectrum.counts[static_cast<std::size_t>(cursorChannel_)];
    const auto cursor = static_cast<std::uint32_t>(cursorChannel_);
    if (cursorVisible_ && cursor >= first && cursor < last) {
        const int xc = toPixel(left + (cursor - first) * xScale_);
        // A count below the window puts the marker far above the image, out of sight.
        const int yc = countAxis_.row(cursorValue_);
        image_.moveTo(xc, static_cast<int>(topMargin_));
        image_.lineTo(xc, base);
        const int r = scaled(CursorMarkRadius);
        image_.ellipse(xc - r, yc - r, xc + r, yc + r);
    }
}

void SpectrumGraph::drawLinearCountGrid(std::uint32_t countRange, std::uint32_t low) {
    const int W = image_.width();
    const int base = image_.height() - static_cast<int>(bottomMargin_);
    const std::uint32_t yDiv =
        static_cast<std::uint32_t>(std::max(plotHeight() / scaled(GridRowPixels), 1));
    const std::uint64_t countStep = std::max<std::uint32_t>(countRange / yDiv, 1);
    const int gap = scaled(LabelGap);
    std::string label;
    // 64-bit, as the channel loop: a step near the top of the 32-bit range must end it.
    for (std::uint64_t m = 0; m <= countRange; m += countStep) {
        const int y = toPixel(base - m * yScale_);
        image_.moveTo(0, y);
        image_.lineTo(W, y);
        label.clear();
        appendDecimal(label, static_cast<std::int64_t>(low + m));
        image_.textOut(0, y + gap, label);
    }
}

void SpectrumGraph::drawBars(const Spectrum& spectrum, std::uint32_t first, std::uint32_t width,
                             std::uint32_t low) {
    const int left = static_cast<int>(leftMargin_);
    const int base = image_.height() - static_cast<int>(bottomMargin_);
    bars_.clear();
    auto bar = [&](int x, std::uint32_t v) { bars_.push_back({x, countAxis_.row(v)}); };

    if (barDrawing_ == BarDrawing::EveryChannel) {
        for (std::uint32_t i = 0; i < width; ++i) {
            const std::uint32_t v = spectrum.counts[first + i];
            if (v >= low)
                bar(toPixel(left + i * xScale_), v);
        }
    } else {
        // Channels map to columns in ascending order; keep the tallest bar of each column.
        int column = 0;
        bool pending = false;
        std::uint32_t tallest = 0;
        for (std::uint32_t i = 0; i < width; ++i) {
            const std::uint32_t v = spectrum.counts[first + i];
            if (v < low)
                continue;
            const int x = toPixel(left + i * xScale_);
            if (pending && x == column) {
                tallest = std::max(tallest, v);
                continue;
            }
            if (pending)
                bar(column, tallest);
            column = x;
            tallest = v;
            pending = true;
        }
        if (pending)
            bar(column, tallest);
    }
    // All at once: the canvas may paint a screenful of tall bars faster together.
    if (!bars_.empty())
        image_.bars(bars_.data(), bars_.size(), base);
}

void SpectrumGraph::zoomToRect(int left, int top, int width, int height) {
    if (left == -1 || top == -1 || width == -1 || height == -1) {
        firstChannel_ = 0;
        lastChannel_ = SpectrumChannels;
        lowCount_ = 0;
        highCount_ = AutoCount;
        return;
    }
    const double margin = leftMargin_;
    const int H = image_.height();
    width = std::max(width, 0);
    height = std::max(height, 0);

    // Channels: the left edge goes to the nearest channel, the right edge is truncated.
    std::int64_t newFirst = nearestAwayFromZero((left - margin) / xScale_) + firstChannel_;
    newFirst = std::clamp<std::int64_t>(newFirst, 0, SpectrumChannels);
    std::int64_t newLast = static_cast<std::int64_t>(
                               std::trunc((static_cast<double>(left) + width - margin) / xScale_)) +
                           firstChannel_;
    newLast = std::min<std::int64_t>(newLast, SpectrumChannels);
    if (newLast - newFirst > 0) {
        firstChannel_ = static_cast<std::uint32_t>(newFirst);
        lastChannel_ = static_cast<std::uint32_t>(newLast);
    }

    // Counts: a fixed window from now on, kept below the automatic marker.
    constexpr std::int64_t maxFixed = AutoCount - 1;
    const double b = bottomMargin_;
    const double bottomPixels = static_cast<double>(H) - top - height - b;
    const double topPixels = static_cast<double>(H) - top - b;
    std::int64_t newLow, newHigh;
    if (countAxis_.isLogarithmic()) {
        // A rectangle down to the base line keeps the empty channels in the window.
        const double lowCount = countAxis_.countAt(bottomPixels);
        newLow = lowCount < 1.0 ? 0 : nearestAwayFromZero(lowCount);
        newHigh = nearestAwayFromZero(countAxis_.countAt(topPixels));
    } else {
        newLow = nearestAwayFromZero(bottomPixels / yScale_) + lowCount_;
        newHigh = nearestAwayFromZero(topPixels / yScale_) + lowCount_;
    }
    newLow = std::clamp<std::int64_t>(newLow, 0, maxFixed);
    newHigh = std::min(newHigh, maxFixed);
    if (newHigh - newLow > 0) {
        lowCount_ = static_cast<std::uint32_t>(newLow);
        highCount_ = static_cast<std::uint32_t>(newHigh);
    }
}

void SpectrumGraph::scrollTo(int firstChannel, int lowCount) {
    if (firstChannel >= 0) {
        const std::uint32_t width = lastChannel_ - firstChannel_;
        const auto a = static_cast<std::uint32_t>(firstChannel);
        if (a > SpectrumChannels - width) {
            firstChannel_ = SpectrumChannels - width;
            lastChannel_ = SpectrumChannels;
        } else {
            firstChannel_ = a;
            lastChannel_ = a + width;
        }
    }
    // An automatic count axis has no height to keep; scrolling it would wrap the window.
    if (lowCount >= 0 && highCount_ != AutoCount) {
        const std::uint32_t height = highCount_ - lowCount_;
        const auto b = static_cast<std::uint32_t>(lowCount);
        if (spectrumMax_ >= height && b > spectrumMax_ - height) {
            lowCount_ = spectrumMax_ - height;
            highCount_ = spectrumMax_;
        } else {
            const std::uint64_t newHigh = static_cast<std::uint64_t>(b) + height;
            if (newHigh < AutoCount) {
                lowCount_ = b;
                highCount_ = static_cast<std::uint32_t>(newHigh);
            }
        }
    }
}

ScrollInfo SpectrumGraph::getScrollInfo() const {
    ScrollInfo info;
    info.firstChannel = firstChannel_;
    info.lowCount = lowCount_;
    info.channelScrollMax = SpectrumChannels - (lastChannel_ - firstChannel_);
    if (highCount_ != AutoCount) {
        const std::uint32_t height = highCount_ - lowCount_;
        info.countScrollMax = spectrumMax_ > height ? spectrumMax_ - height : 0;
    }
    return info;
}

} // namespace tarvio
