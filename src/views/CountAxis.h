#pragma once
// The spectrum graph's count axis: which pixel row a count reaches, on a linear or a
// logarithmic scale, and back from a row to a count for the zoom rectangle.
//
// Logarithmic: rows are spaced by decades from the bottom of the window to its top. The
// bottom is the window's low count, or half a count when that is 0, so that a single count
// still shows as a short bar while a zero sits on the base line.

#include "views/Canvas.h"

#include <cstdint>
#include <vector>

namespace tarvio {

class CountAxis {
public:
    // yScale is pixels per count, as the linear graph has always computed it.
    static CountAxis linear(int baseRow, std::uint32_t low, double yScale);
    // An automatic top reaches at least ten counts (a decade above the bottom), so that an
    // empty or nearly empty spectrum still has an axis; a fixed one is taken as it is.
    static CountAxis logarithmic(int baseRow, int plotHeight, std::uint32_t low, std::uint32_t top,
                                 bool automaticTop);

    bool isLogarithmic() const { return logarithmic_; }

    // The row a bar of count v reaches up to; the caller skips counts below the window's low
    // count (except 0 on a logarithmic axis, which sits on the base line). A count below the
    // window gives a row far above the image, out of sight, as on the linear axis.
    int row(std::uint32_t v) const;
    // The row of a fractional count, such as a background line's; a count at or below the
    // bottom of the window gives the base line or a row below it.
    int rowOfCount(double count) const;
    // The count at a height in pixels above the base line (fractional, never negative).
    double countAt(double pixelsAboveBase) const;

    // Logarithmic only: the count at the base line, and pixels per decade.
    double bottomCount() const { return bottom_; }
    double topCount() const { return top_; }
    double pixelsPerDecade() const { return perDecade_; }

    // Dotted lines with labels at every power of ten in the window and short ticks at its
    // multiples 2 to 9 on the left axis; when no power of ten falls inside (a narrow zoom),
    // the base line is labelled with the window's low count. Pen and font as the caller set.
    // Labels sit labelGap below their lines; ticks are tickLength long.
    void drawLogGrid(Canvas& canvas, int leftMargin, std::uint32_t low, int labelGap,
                     int tickLength) const;
    // The counts the readable look labels on a logarithmic axis, from the bottom up: every
    // power of ten in the window, and 2 and 5 times them as well while fewer than two powers
    // of ten fall inside; the window's low count when nothing else does.
    std::vector<double> readableLogTicks() const;
    // The multiples 2 to 9 of the powers of ten within the window, for short ticks.
    std::vector<double> logMinorTicks() const;

private:
    bool logarithmic_ = false;
    int base_ = 0;
    std::uint32_t low_ = 0;
    double yScale_ = 1.0;
    double bottom_ = 1.0;
    double top_ = 10.0;
    double perDecade_ = 1.0;
};

} // namespace tarvio
