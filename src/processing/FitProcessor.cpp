#include "processing/FitProcessor.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// A pulse's own baseline variance may count at most this many times the mean so far, so one
// pulse with a photon before its onset does not make the tests lenient.
constexpr double VarianceClip = 4.0;
// The converter's rounding alone.
constexpr double MinVariance = 1.0 / 12.0;

} // namespace

FitProcessor::FitProcessor(const ProcessingOptions& options)
    : options_(options), fit_(options.shape ? *options.shape : PulseTemplate::builtIn()) {
    options_.tolerance = std::clamp(options_.tolerance, ProcessingOptions::MinTolerance,
                                    ProcessingOptions::MaxTolerance);
}

double FitProcessor::noiseVariance() const {
    if (learned_ == 0) {
        return std::max(MinVariance, last_.baselineVariance);
    }
    return std::max(MinVariance, varianceSum_ / static_cast<double>(learned_));
}

double FitProcessor::meanBaseline() const {
    return learned_ == 0 ? last_.baseline : baselineSum_ / static_cast<double>(learned_);
}

void FitProcessor::learnNoise(const PulseFitResult& result) {
    const double variance = learned_ == 0
                                ? result.baselineVariance
                                : std::min(result.baselineVariance, VarianceClip * noiseVariance());
    baselineSum_ += result.baseline;
    varianceSum_ += variance;
    ++learned_;
}

std::uint32_t FitProcessor::judge(const PulseFitResult& result) const {
    std::uint32_t flags = 0;
    if (options_.rejectSaturated && result.saturated) {
        flags |= PulseRejectedSaturated;
    }
    if (result.saturated || (!options_.rejectPileUp && !options_.rejectShape)) {
        // A clipped pulse is misshapen by the clipping alone: whether it counts is the
        // saturation switch's to say.
        return flags;
    }
    if (!result.fitted) {
        // Too close to an end of the record to be judged: not a shape to trust.
        return options_.rejectShape ? flags | PulseRejectedShape : flags;
    }
    const double templateError = TemplateError * std::abs(result.amplitude);
    const double variance = noiseVariance() + templateError * templateError;
    const double tolerance = options_.tolerance;
    // A run of residuals carries the noise of its samples and, in full, the error of the
    // baseline it is measured from.
    constexpr double run = PulseFit::ResidualRun;
    const double runVariance =
        variance * run + noiseVariance() * run * run / std::max(1, result.baselineSamples);
    const double runLimit = tolerance * std::sqrt(runVariance);
    if (options_.rejectPileUp && result.largestRun > runLimit) {
        flags |= PulseRejectedPileUp;
    } else if (options_.rejectShape) {
        const double n = result.windowSamples;
        const double chi2 = result.residualSquares / variance;
        if (result.smallestRun < -runLimit || chi2 > n + tolerance * std::sqrt(2.0 * n)) {
            flags |= PulseRejectedShape;
        }
    }
    return flags;
}

void FitProcessor::process(PulseEvent& event) {
    last_ = fit_.fit(event.samples, event.sampleCount);
    const bool usable = last_.fitted && !last_.saturated;
    // The first usable pulse sets the noise and baseline it is judged by; later ones add to
    // them once they pass.
    const bool first = usable && learned_ == 0;
    if (first) {
        learnNoise(last_);
    }
    const std::uint32_t flags = judge(last_);
    event.flags |= flags;
    if (usable && !first && flags == 0) {
        learnNoise(last_);
    }
    if (options_.method == HeightMethod::Largest || !last_.fitted) {
        event.height = last_.largest;
    } else {
        event.height = std::max(0.0, meanBaseline() + last_.amplitude + 0.5);
    }
}

} // namespace tarvio
