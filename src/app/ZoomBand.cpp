#include "app/ZoomBand.h"

#include <algorithm>

namespace tarvio {

BandRect normaliseToImage(BandRect band, int imageWidth, int imageHeight) {
    if (band.width < 0) {
        band.left += band.width;
        band.width = -band.width;
    }
    if (band.height < 0) {
        band.top += band.height;
        band.height = -band.height;
    }
    band.left = std::max(band.left, 0);
    band.top = std::max(band.top, 0);
    if (band.left + band.width > imageWidth)
        band.width = std::max(imageWidth - band.left, 0);
    if (band.top + band.height > imageHeight)
        band.height = std::max(imageHeight - band.top, 0);
    return band;
}

int channelScrollStep(std::uint32_t channelScrollMax, int imageWidth) {
    const std::uint32_t pixels = static_cast<std::uint32_t>(std::max(imageWidth / 10, 1));
    const std::uint32_t step = channelScrollMax / pixels;
    return step == 0 ? 1 : static_cast<int>(std::min<std::uint32_t>(step, 0x7fffffff));
}

} // namespace tarvio
