#pragma once
// Floating-point coordinates to whole pixels for the graphs.

#include <cmath>
#include <cstdint>

namespace tarvio {

// Far outside any image, yet small enough that sums of two stay within int.
inline constexpr int PixelLimit = 1 << 24;

// Truncates toward zero. Values far off the image (huge counts times the scale, a NaN from
// an operator's threshold) are held at PixelLimit: the canvas clips them just the same, and
// the conversion never overflows.
inline int toPixel(double v) {
    if (!(v > -PixelLimit))
        return -PixelLimit;
    if (v > PixelLimit)
        return PixelLimit;
    return static_cast<int>(v);
}

// v + 0.5 truncated toward zero for v > 0, v - 0.5 truncated toward zero otherwise.
inline std::int64_t nearestAwayFromZero(double v) {
    const double r = v > 0 ? std::trunc(v + 0.5) : std::trunc(v - 0.5);
    constexpr double limit = 9.0e15;
    if (!(r > -limit))
        return -static_cast<std::int64_t>(limit);
    if (r > limit)
        return static_cast<std::int64_t>(limit);
    return static_cast<std::int64_t>(r);
}

} // namespace tarvio
