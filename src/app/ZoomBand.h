#pragma once
// The rubber band of the spectrum zoom, as image pixels, and the arithmetic that turns a
// drag into a zoom rectangle and a zoomed view into scroll-bar steps.

#include <cstdint>

namespace tarvio {

// Left and top are the press point; width and height are negative while the drag goes left
// of or above it.
struct BandRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const BandRect&) const = default;
};

// Turns negative extents around, then clips the rectangle to the image: a negative left or
// top becomes 0 keeping the extent, and an extent past the right or bottom edge ends there.
BandRect normaliseToImage(BandRect band, int imageWidth, int imageHeight);

// Small and large step of the horizontal scroll bar: a tenth of the image width in pixels
// scrolls the whole range (at least 1).
int channelScrollStep(std::uint32_t channelScrollMax, int imageWidth);

} // namespace tarvio
