#pragma once
// The last digitised pulse as a waveform on a voltage grid, with the trigger threshold as a
// horizontal line.

#include "views/Canvas.h"
#include "records/PulseBuffer.h"

#include <cstdint>

namespace tarvio {

// One converter step: 4096 steps make 2.5 V.
inline constexpr double VoltsPerStep = 2.5 / 4096;

class PulseGraph {
public:
    explicit PulseGraph(Canvas& image) : image_(image) {}

    // Repaints the whole image; a pulse without samples leaves the previous picture standing.
    void draw(const PulseBuffer& pulse, double thresholdVolts, bool inverted, bool autoScale);

    std::uint32_t divisions = 5;
    double autoMargin = 1.5; // widening factor of the automatic vertical range

private:
    Canvas& image_;
};

} // namespace tarvio
