#include "views/ReferenceOverlay.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

double sum(const std::vector<std::uint64_t>& counts) {
    double total = 0.0;
    for (const std::uint64_t c : counts)
        total += static_cast<double>(c);
    return total;
}

} // namespace

ReferenceScale referenceScale(const ReferenceSpectrum& reference, std::optional<double> liveSeconds,
                              std::uint64_t liveTotal) {
    if (liveSeconds && reference.liveSeconds && *liveSeconds > 0.0 && *reference.liveSeconds > 0.0)
        return {*liveSeconds / *reference.liveSeconds, ScaleBasis::LiveTime};
    const double referenceTotal = sum(reference.counts);
    if (liveTotal > 0 && referenceTotal > 0.0)
        return {static_cast<double>(liveTotal) / referenceTotal, ScaleBasis::Counts};
    return {};
}

std::vector<double> scaledReference(const ReferenceSpectrum& reference, double factor) {
    std::vector<double> scaled(SpectrumChannels, 0.0);
    const std::size_t n = std::min<std::size_t>(reference.counts.size(), SpectrumChannels);
    for (std::size_t i = 0; i < n; ++i)
        scaled[i] = static_cast<double>(reference.counts[i]) * factor;
    return scaled;
}

void subtractReference(Spectrum& shown, const std::vector<double>& scaled) {
    shown.maxCount = 0;
    const std::size_t n = std::min<std::size_t>(scaled.size(), shown.validChannels());
    for (std::size_t i = 0; i < shown.validChannels(); ++i) {
        if (i < n) {
            const double net = std::floor(static_cast<double>(shown.counts[i]) - scaled[i] + 0.5);
            shown.counts[i] = net > 0.0 ? static_cast<std::uint32_t>(net) : 0;
        }
        shown.maxCount = std::max(shown.maxCount, shown.counts[i]);
    }
}

std::uint64_t totalCounts(const Spectrum& spectrum) {
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < spectrum.validChannels(); ++i)
        total += spectrum.counts[i];
    return total;
}

} // namespace tarvio
