#include "app/ScreenPlacement.h"

#include <algorithm>

namespace tarvio {

namespace {

bool contains(const PixelRect& area, int x, int y) {
    return x >= area.left && x < area.right() && y >= area.top && y < area.bottom();
}

// Shrinks to the area (not below the minimum), then moves the least distance into it; a
// window larger than the area keeps its top left corner on it.
PixelRect fitInto(PixelRect window, const PixelRect& area, PixelSize minimum) {
    window.width = std::max(std::min(window.width, area.width), minimum.width);
    window.height = std::max(std::min(window.height, area.height), minimum.height);
    window.left = std::max(std::min(window.left, area.right() - window.width), area.left);
    window.top = std::max(std::min(window.top, area.bottom() - window.height), area.top);
    return window;
}

} // namespace

PixelRect restoredGeometry(const PixelRect& remembered, std::span<const PixelRect> screens,
                           PixelSize minimum) {
    if (screens.empty())
        return remembered;
    const int grabX = remembered.left + remembered.width / 2;
    const int grabY = remembered.top;
    for (const PixelRect& screen : screens)
        if (contains(screen, grabX, grabY))
            return fitInto(remembered, screen, minimum);

    const PixelRect& first = screens.front();
    PixelRect centred = fitInto(remembered, first, minimum);
    // A window larger than the screen keeps its title bar on it.
    centred.left = first.left + std::max((first.width - centred.width) / 2, 0);
    centred.top = first.top + std::max((first.height - centred.height) / 2, 0);
    return centred;
}

} // namespace tarvio
