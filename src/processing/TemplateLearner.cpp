#include "processing/TemplateLearner.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

ProcessingOptions judgeOptions(std::shared_ptr<const PulseTemplate> start, double tolerance) {
    ProcessingOptions options;
    options.method = HeightMethod::Fit;
    options.rejectSaturated = options.rejectPileUp = options.rejectShape = true;
    options.tolerance = tolerance;
    options.shape = std::move(start);
    return options;
}

} // namespace

TemplateLearner::TemplateLearner(int pulses, std::shared_ptr<const PulseTemplate> start,
                                 double tolerance)
    : wanted_(std::clamp(pulses, 1, MaxPulses)), judge_(judgeOptions(std::move(start), tolerance)),
      sum_(PulseTemplate::GridNodes, 0.0), weight_(PulseTemplate::GridNodes, 0.0) {}

bool TemplateLearner::add(const std::uint16_t* samples, std::uint32_t count) {
    if (done()) {
        return false;
    }
    PulseEvent event;
    event.samples = samples;
    event.sampleCount = count;
    judge_.process(event);
    const PulseFitResult& fit = judge_.lastFit();
    if (event.rejected() || !fit.fitted ||
        fit.amplitude < MinSignalToNoise * std::sqrt(judge_.noiseVariance())) {
        return false;
    }
    constexpr int Lead = PulseTemplate::LeadSamples;
    constexpr int Grid = PulseTemplate::GridPerSample;
    const int first = std::max(0, static_cast<int>(std::ceil(fit.onset - Lead)));
    const int last = std::min(static_cast<int>(count) - 1,
                              static_cast<int>(std::floor(fit.onset + PulseTemplate::TailSamples)));
    for (int k = first; k <= last; ++k) {
        // Each sample to its nearest node: the least smoothing of the shape's peak.
        const int i = static_cast<int>(std::lround((k - fit.onset + Lead) * Grid));
        if (i < 0 || i >= PulseTemplate::GridNodes) {
            continue;
        }
        sum_[i] += (samples[k] - fit.baseline) / fit.amplitude;
        weight_[i] += 1;
    }
    ++taken_;
    return true;
}

std::optional<PulseTemplate> TemplateLearner::result() const {
    if (taken_ == 0) {
        return std::nullopt;
    }
    const int n = PulseTemplate::GridNodes;
    std::vector<double> values(n, 0.0);
    std::vector<int> filled;
    for (int i = 0; i < n; ++i) {
        if (weight_[i] > 0) {
            values[i] = sum_[i] / weight_[i];
            filled.push_back(i);
        }
    }
    if (filled.empty()) {
        return std::nullopt;
    }
    // Nodes no sample came near (few pulses, all of one phase) lie on the line between
    // their filled neighbours.
    for (int i = 0; i < n; ++i) {
        if (weight_[i] > 0) {
            continue;
        }
        const auto after = std::lower_bound(filled.begin(), filled.end(), i);
        if (after == filled.begin()) {
            values[i] = values[*after];
        } else if (after == filled.end()) {
            values[i] = values[filled.back()];
        } else {
            const int a = *(after - 1), b = *after;
            values[i] = values[a] + (values[b] - values[a]) * (i - a) / (b - a);
        }
    }
    return PulseTemplate::learned(values, taken_);
}

} // namespace tarvio
