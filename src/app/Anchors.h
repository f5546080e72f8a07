#pragma once
// How the main window's controls follow the window when it grows beyond its default size.
// Every control keeps the rectangle of the default layout; each of its four edges moves by a
// share of its parent's growth: the left and right edges by a share of the extra width, the
// top and bottom edges by a share of the extra height. Edges that move by the same share keep
// the control's size; a far edge that moves more makes it grow. Toolkit-free, so the whole
// window's geometry can be worked out and tested without widgets.

#include <span>
#include <vector>

namespace tarvio {

struct PixelRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int right() const { return left + width; }  // exclusive
    int bottom() const { return top + height; } // exclusive
    bool operator==(const PixelRect&) const = default;
};

struct PixelSize {
    int width = 0;
    int height = 0;
    bool operator==(const PixelSize&) const = default;
};

// Shares (0 to 1) of the parent's growth by which each edge moves.
struct Anchors {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
};

namespace anchor {
inline constexpr Anchors Fixed{0, 0, 0, 0};        // stays at its place and size
inline constexpr Anchors Fill{0, 0, 1, 1};         // takes all the growth
inline constexpr Anchors Down{0, 1, 0, 1};         // moves down with the bottom edge
inline constexpr Anchors DownRight{1, 1, 1, 1};    // moves with the bottom right corner
inline constexpr Anchors DownAndWider{0, 1, 1, 1}; // moves down, takes the extra width
inline constexpr Anchors Taller{0, 0, 0, 1};       // takes the extra height
} // namespace anchor

struct AnchoredItem {
    int parent = -1;    // index of an earlier item, or -1 for the client area
    PixelRect original; // in the default layout, relative to the parent
    Anchors anchors;
};

// The rectangle of one control whose parent has grown by (extraWidth, extraHeight). Each edge
// is rounded on its own, so neighbours whose facing edges move by the same share keep their
// gap to the pixel.
PixelRect anchoredRect(const PixelRect& original, const Anchors& anchors, int extraWidth,
                       int extraHeight);

// The rectangles of all items, in their order, for a client area of the given size. A client
// area smaller than the default counts as the default: controls never shrink below their
// size, nor overlap.
std::vector<PixelRect> layOut(std::span<const AnchoredItem> items, PixelSize defaultClient,
                              PixelSize client);

} // namespace tarvio
