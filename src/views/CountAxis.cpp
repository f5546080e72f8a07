#include "views/CountAxis.h"

#include "records/TextFormat.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace tarvio {

CountAxis CountAxis::linear(int baseRow, std::uint32_t low, double yScale) {
    CountAxis a;
    a.base_ = baseRow;
    a.low_ = low;
    a.yScale_ = yScale;
    return a;
}

CountAxis CountAxis::logarithmic(int baseRow, int plotHeight, std::uint32_t low, std::uint32_t top,
                                 bool automaticTop) {
    CountAxis a;
    a.logarithmic_ = true;
    a.base_ = baseRow;
    a.low_ = low;
    a.bottom_ = low == 0 ? 0.5 : static_cast<double>(low);
    a.top_ = top;
    if (automaticTop)
        a.top_ = std::max(a.top_, 10.0 * std::max(a.bottom_, 1.0));
    // A window upside down or of no height still spans something.
    if (!(a.top_ > a.bottom_))
        a.top_ = a.bottom_ * 10.0;
    a.perDecade_ = std::max(plotHeight, 1) / std::log10(a.top_ / a.bottom_);
    return a;
}

int CountAxis::row(std::uint32_t v) const {
    if (!logarithmic_)
        // Unsigned like every difference of window values.
        return toPixel(base_ - static_cast<std::uint32_t>(v - low_) * yScale_);
    if (v == 0)
        return base_;
    if (v < low_)
        return -PixelLimit;
    return toPixel(base_ - std::log10(v / bottom_) * perDecade_);
}

int CountAxis::rowOfCount(double count) const {
    if (!logarithmic_)
        return toPixel(base_ - (count - low_) * yScale_);
    if (!(count > bottom_))
        return base_;
    return toPixel(base_ - std::log10(count / bottom_) * perDecade_);
}

double CountAxis::countAt(double pixelsAboveBase) const {
    if (!logarithmic_)
        return std::max(0.0, low_ + pixelsAboveBase / yScale_);
    return bottom_ * std::pow(10.0, pixelsAboveBase / perDecade_);
}

void CountAxis::drawLogGrid(Canvas& canvas, int leftMargin, std::uint32_t low, int labelGap,
                            int tickLength) const {
    const int width = canvas.width();
    // Decades as whole exponents from a single count up; counts are 32-bit, so 10^9 is the
    // highest there can be.
    const int lowest = std::max(static_cast<int>(std::floor(std::log10(bottom_))), 0);
    const int highest = std::min(static_cast<int>(std::floor(std::log10(top_))), 9);
    const auto inWindow = [&](double v) { return v >= bottom_ && v <= top_; };
    const auto rowOf = [&](double v) {
        return toPixel(base_ - std::log10(v / bottom_) * perDecade_);
    };

    std::string label;
    bool labelled = false;
    canvas.setPen(graph_colours::Grid, PenStyle::Dotted);
    for (int k = lowest; k <= highest; ++k) {
        const double decade = std::pow(10.0, k);
        if (!inWindow(decade))
            continue;
        const int y = rowOf(decade);
        canvas.moveTo(0, y);
        canvas.lineTo(width, y);
        label.clear();
        appendDecimal(label, static_cast<std::int64_t>(std::llround(decade)));
        canvas.textOut(0, y + labelGap, label);
        labelled = true;
    }
    if (!labelled) {
        label.clear();
        appendDecimal(label, low);
        canvas.moveTo(0, base_);
        canvas.lineTo(width, base_);
        canvas.textOut(0, base_ + labelGap, label);
    }

    canvas.setPen(graph_colours::Grid, PenStyle::Solid);
    for (int k = lowest; k <= highest; ++k) {
        for (int m = 2; m <= 9; ++m) {
            const double v = m * std::pow(10.0, k);
            if (!inWindow(v))
                continue;
            const int y = rowOf(v);
            canvas.moveTo(leftMargin, y);
            canvas.lineTo(leftMargin + tickLength, y);
        }
    }
}

std::vector<double> CountAxis::readableLogTicks() const {
    std::vector<double> ticks;
    const auto inWindow = [&](double v) { return v >= bottom_ && v <= top_; };
    const int lowest = std::max(static_cast<int>(std::floor(std::log10(bottom_))), 0);
    const int highest = std::min(static_cast<int>(std::floor(std::log10(top_))), 9);
    int decades = 0;
    for (int k = lowest; k <= highest; ++k)
        decades += inWindow(std::pow(10.0, k)) ? 1 : 0;
    for (int k = lowest; k <= highest; ++k) {
        for (const double m : {1.0, 2.0, 5.0}) {
            const double v = m * std::pow(10.0, k);
            if (inWindow(v) && (m == 1.0 || decades < 2))
                ticks.push_back(v);
        }
    }
    if (ticks.empty())
        ticks.push_back(static_cast<double>(low_));
    return ticks;
}

std::vector<double> CountAxis::logMinorTicks() const {
    std::vector<double> ticks;
    const int lowest = std::max(static_cast<int>(std::floor(std::log10(bottom_))), 0);
    const int highest = std::min(static_cast<int>(std::floor(std::log10(top_))), 9);
    for (int k = lowest; k <= highest; ++k) {
        for (int m = 2; m <= 9; ++m) {
            const double v = m * std::pow(10.0, k);
            if (v >= bottom_ && v <= top_)
                ticks.push_back(v);
        }
    }
    return ticks;
}

} // namespace tarvio
