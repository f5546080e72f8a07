#pragma once
// The pulse-height histogram: 4096 channel counters, a fixed-size value without heap storage.

#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "records/SaveResult.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

namespace tarvio {

constexpr std::uint32_t SpectrumChannels = 4096;

struct Spectrum {
    // Zeroed at construction although every owner clears or copies first: a read of a
    // fresh record must never see stack garbage.
    std::array<std::uint32_t, SpectrumChannels> counts{};
    std::uint16_t channelCount = SpectrumChannels;
    std::uint32_t maxCount = 0;

    void clear() {
        counts.fill(0);
        maxCount = 0;
    }

    // A channel beyond the histogram is ignored; a full counter stays full rather than
    // wrapping to zero.
    void addCount(std::uint32_t channel) {
        if (channel >= SpectrumChannels)
            return;
        std::uint32_t& c = counts[channel];
        if (c == std::numeric_limits<std::uint32_t>::max())
            return;
        ++c;
        if (c > maxCount)
            maxCount = c;
    }

    std::uint32_t validChannels() const {
        return std::min<std::uint32_t>(channelCount, SpectrumChannels);
    }

    void copyFrom(const Spectrum& source) {
        const std::uint32_t n = source.validChannels();
        std::copy_n(source.counts.begin(), n, counts.begin());
        channelCount = static_cast<std::uint16_t>(n);
        maxCount = source.maxCount;
    }

    // Channel/count text file; see SpectrumExport.h.
    SaveResult saveText(const std::string& path) const;
    // Energy/count text file with the line of the two points; nothing is written when the
    // line is undefined.
    SaveResult saveCalibratedText(const std::string& path, const CalibrationPoint& point1,
                                  const CalibrationPoint& point2) const;
    // The same with a polynomial calibration (from peaks).
    SaveResult saveCalibratedText(const std::string& path,
                                  const EnergyCalibration& calibration) const;
};

} // namespace tarvio
