#pragma once
// The last digitised pulse as a waveform on a voltage grid, with the trigger threshold as a
// horizontal line and, when the processing fitted it, the fitted template over it.

#include "records/PulseBuffer.h"
#include "views/Canvas.h"

#include <cstdint>
#include <vector>

namespace tarvio {

// One converter step: 4096 steps make 2.5 V.
inline constexpr double FullScaleSteps = 4096;
inline constexpr double VoltsPerStep = 2.5 / FullScaleSteps;

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
    // The readable look (PulseGraphAxes.cpp): round ticks in samples and volts, labels in
    // margins beside the plot, axis titles with units. Off: the look it has always had.
    bool readableAxes = false;

private:
    // The vertical range runs from low to high converter steps (inverted already applied).
    void drawReadable(const PulseBuffer& pulse, std::uint32_t count, double low, double high,
                      double thresholdVolts, bool inverted);

    Canvas& image_;
};

} // namespace tarvio
