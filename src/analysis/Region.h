#pragma once
// A region of interest: a run of whole channels, both ends included, always within the
// spectrum. Regions are what the operator marks around a peak; every figure of a peak is
// computed over one.

#include "records/Spectrum.h"

#include <algorithm>
#include <cstdint>

namespace tarvio {

struct Region {
    std::uint32_t first = 0;
    std::uint32_t last = 0; // included

    // The region between two channels in either order, held within the spectrum.
    static Region between(std::int64_t a, std::int64_t b) {
        constexpr std::int64_t top = SpectrumChannels - 1;
        const std::int64_t lo = std::clamp<std::int64_t>(std::min(a, b), 0, top);
        const std::int64_t hi = std::clamp<std::int64_t>(std::max(a, b), 0, top);
        return Region{static_cast<std::uint32_t>(lo), static_cast<std::uint32_t>(hi)};
    }

    std::uint32_t width() const { return last - first + 1; }
    bool contains(std::uint32_t channel) const { return channel >= first && channel <= last; }
    bool isValid() const { return first <= last && last < SpectrumChannels; }

    friend bool operator==(const Region&, const Region&) = default;
};

} // namespace tarvio
