#pragma once
// The last digitised pulse as a waveform on a voltage grid, with the trigger threshold as a
// horizontal line and, when the processing fitted it, the fitted template over it.

#include "records/PulseBuffer.h"
#include "views/Canvas.h"

#include <cstdint>
#include <vector>

namespace tarvio {

// One converter step: 4096 steps make 2.5 V.
inline constexpr double VoltsPerStep = 2.5 / 4096;

class PulseGraph {
public:
    explicit PulseGraph(Canvas& image) : image_(image) {}

    // Repaints the whole image; a pulse without samples leaves the previous picture standing.
    // `fitted`, when given and not empty: the fitted pulse in converter steps, one value per
    // sample from the first, drawn over the waveform.
    void draw(const PulseBuffer& pulse, double thresholdVolts, bool inverted, bool autoScale,
              const std::vector<double>* fitted = nullptr);

    std::uint32_t divisions = 5;
    double autoMargin = 1.5; // widening factor of the automatic vertical range

private:
    Canvas& image_;
};

} // namespace tarvio
