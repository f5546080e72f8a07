#pragma once
// The pulse processor of a measurement: the height by the largest sample or by the template
// fit, and the rejection of saturated, piled-up and misshapen pulses, each switchable.
//
// A fitted height is the fitted amplitude above the measurement's mean baseline, plus half a
// channel: the spectrum counts channel floor(height), so a pulse lands in the channel nearest
// its height, where a largest sample of that size lands too. The channel scale, and with it
// every calibration, stays that of the largest sample; what goes is the noise's upward pull
// on the largest sample and the spread of the trigger's phase.
//
// The tests against the template take the noise from the samples before the pulses (its mean
// over the measurement) and allow for a small error of the template in proportion to the
// pulse: a second photon is seen as a run of ResidualRun samples that rises more than
// `tolerance` standard deviations above the fit; a misshapen pulse as a run that dips as far
// below it, or a chi-squared over the template's window that lies more than `tolerance`
// standard deviations of its distribution above the expected.

#include "processing/ProcessingOptions.h"
#include "processing/PulseFit.h"
#include "records/PulseEvent.h"

#include <cstdint>

namespace tarvio {

class FitProcessor : public PulseProcessor {
public:
    // Relative error of a template, in proportion to the pulse's amplitude.
    static constexpr double TemplateError = 0.003;

    explicit FitProcessor(const ProcessingOptions& options);

    void process(PulseEvent& event) override;

    // The fit of the last pulse processed (for drawing the template over it).
    const PulseFitResult& lastFit() const { return last_; }
    const PulseFit& fit() const { return fit_; }
    // What the tests take as the noise's variance and the baseline now.
    double noiseVariance() const;
    double meanBaseline() const;

private:
    std::uint32_t judge(const PulseFitResult& result) const;
    void learnNoise(const PulseFitResult& result);

    ProcessingOptions options_;
    PulseFit fit_;
    PulseFitResult last_;
    double baselineSum_ = 0;
    double varianceSum_ = 0;
    std::uint64_t learned_ = 0;
};

} // namespace tarvio
