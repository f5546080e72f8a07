#include "formats/MeasuredSpectrum.h"

#include <algorithm>
#include <limits>

namespace tarvio {

std::uint64_t MeasuredSpectrum::totalCounts() const {
    std::uint64_t total = 0;
    for (const std::uint64_t c : counts) {
        // Saturates: a sum beyond 2^64 only ever serves as a scale.
        total = c > std::numeric_limits<std::uint64_t>::max() - total
                    ? std::numeric_limits<std::uint64_t>::max()
                    : total + c;
    }
    return total;
}

std::optional<EnergyCalibration> calibrationFromFile(std::vector<double> c) {
    if (c.size() < 2 || c.size() >= MaxCoefficients)
        return std::nullopt;
    for (std::size_t i = 3; i < c.size(); ++i) {
        if (c[i] != 0.0)
            return std::nullopt;
    }
    c.resize(3, 0.0);
    if (c[1] == 0.0 && c[2] == 0.0)
        return std::nullopt;
    return EnergyCalibration::fromCoefficients(c[0], c[1], c[2]);
}

MeasuredSpectrum measuredSpectrum(const Spectrum& spectrum) {
    MeasuredSpectrum result;
    result.counts.assign(spectrum.counts.begin(),
                         spectrum.counts.begin() + spectrum.validChannels());
    return result;
}

std::optional<Spectrum> toSpectrum(const MeasuredSpectrum& spectrum) {
    if (spectrum.counts.size() > SpectrumChannels)
        return std::nullopt;
    Spectrum result;
    result.clear();
    for (std::size_t i = 0; i < spectrum.counts.size(); ++i) {
        if (spectrum.counts[i] > std::numeric_limits<std::uint32_t>::max())
            return std::nullopt;
        result.counts[i] = static_cast<std::uint32_t>(spectrum.counts[i]);
        result.maxCount = std::max(result.maxCount, result.counts[i]);
    }
    return result;
}

} // namespace tarvio
