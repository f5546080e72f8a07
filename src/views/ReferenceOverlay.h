#pragma once
// A spectrum opened from a file, shown with the live one: drawn over it in a second colour
// for comparison, or taken off it as background. Either way it is first scaled to the live
// measurement: by live time when both have one, else by their total counts.

#include "records/Spectrum.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace tarvio {

struct ReferenceSpectrum {
    std::vector<std::uint64_t> counts; // channel by channel as the file holds them
    std::optional<double> liveSeconds;
};

enum class ScaleBasis { LiveTime, Counts, None };

struct ReferenceScale {
    double factor = 1.0;
    ScaleBasis basis = ScaleBasis::None; // None: shown as the file holds it
};

// What brings the reference to the live measurement. Live time when both times are above
// zero; total counts when both have some; otherwise the reference as it is.
ReferenceScale referenceScale(const ReferenceSpectrum& reference, std::optional<double> liveSeconds,
                              std::uint64_t liveTotal);

// The reference times factor, over the live histogram's channels (a longer file is cut,
// a shorter one leaves the rest at zero).
std::vector<double> scaledReference(const ReferenceSpectrum& reference, double factor);

// The live counts less the scaled reference, to the nearest count and never below zero: what
// the graph shows when subtracting. The live record itself is never touched.
void subtractReference(Spectrum& shown, const std::vector<double>& scaled);

std::uint64_t totalCounts(const Spectrum& spectrum);

} // namespace tarvio
