#include "app/Anchors.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

int moved(int edge, double share, int extra) {
    return edge + static_cast<int>(std::lround(share * extra));
}

} // namespace

PixelRect anchoredRect(const PixelRect& original, const Anchors& anchors, int extraWidth,
                       int extraHeight) {
    const int left = moved(original.left, anchors.left, extraWidth);
    const int top = moved(original.top, anchors.top, extraHeight);
    const int right = moved(original.right(), anchors.right, extraWidth);
    const int bottom = moved(original.bottom(), anchors.bottom, extraHeight);
    return {left, top, std::max(right - left, 0), std::max(bottom - top, 0)};
}

std::vector<PixelRect> layOut(std::span<const AnchoredItem> items, PixelSize defaultClient,
                              PixelSize client) {
    const int clientExtraWidth = std::max(client.width - defaultClient.width, 0);
    const int clientExtraHeight = std::max(client.height - defaultClient.height, 0);
    std::vector<PixelRect> rects;
    rects.reserve(items.size());
    for (const AnchoredItem& item : items) {
        int extraWidth = 0;
        int extraHeight = 0;
        if (item.parent < 0) {
            extraWidth = clientExtraWidth;
            extraHeight = clientExtraHeight;
        } else if (static_cast<std::size_t>(item.parent) < rects.size()) {
            // Laid out already, so its growth is known; a later one's is not, and it counts
            // as none.
            const auto parent = static_cast<std::size_t>(item.parent);
            extraWidth = rects[parent].width - items[parent].original.width;
            extraHeight = rects[parent].height - items[parent].original.height;
        }
        rects.push_back(anchoredRect(item.original, item.anchors, extraWidth, extraHeight));
    }
    return rects;
}

} // namespace tarvio
