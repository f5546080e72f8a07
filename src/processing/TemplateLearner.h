#pragma once
// Learns the pulse shape from the user's own pulses: each clean pulse (not saturated, no
// second photon, its shape within the tolerance of the template it starts from, well above
// the noise) is aligned on its fitted onset, scaled to its fitted amplitude and added on a
// grid of quarter samples; the shape is the mean of the first N taken. Memory is taken once,
// at the start; adding a pulse allocates nothing.

#include "processing/FitProcessor.h"
#include "processing/PulseTemplate.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tarvio {

class TemplateLearner {
public:
    // Pulses whose amplitude is below this many noise sigmas are passed over: they would
    // add more noise than shape.
    static constexpr double MinSignalToNoise = 20.0;
    static constexpr int MaxPulses = 1000000;

    // `pulses` clean pulses are wanted (at least 1); the fit aligns them with `start` (the
    // built-in shape when empty).
    explicit TemplateLearner(int pulses, std::shared_ptr<const PulseTemplate> start = nullptr,
                             double tolerance = ProcessingOptions::DefaultTolerance);

    // Looks at one pulse and takes it when it is clean. True when it was taken.
    bool add(const std::uint16_t* samples, std::uint32_t count);
    int taken() const { return taken_; }
    int wanted() const { return wanted_; }
    bool done() const { return taken_ >= wanted_; }
    // The mean shape of the pulses taken so far; nothing before the first.
    std::optional<PulseTemplate> result() const;

private:
    int wanted_;
    int taken_ = 0;
    FitProcessor judge_;
    std::vector<double> sum_;
    std::vector<double> weight_;
};

} // namespace tarvio
