#include "sim/PulseSynth.h"

#include "sim/PulseShape.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

PulseSynth::PulseSynth(const SimulatorConfig& config)
    : config_(sanitized(config)), source_(config_.source),
      noise_(SimRandom::stream(config_.seed, 2)), extras_(SimRandom::stream(config_.seed, 6)) {}

double PulseSynth::pileUpProbability() const {
    const double window =
        (PileUpLatestSamples - PileUpEarliestSamples) * pulse::SamplePeriodSeconds;
    return 1.0 - std::exp(-config_.activity * window);
}

double PulseSynth::baselineAt(double time) {
    if (config_.baselineWanderCodes <= 0) {
        return detector::BaselineCode;
    }
    // An Ornstein-Uhlenbeck walk: steady spread, forgets itself over WanderSeconds.
    const double sigma = config_.baselineWanderCodes;
    if (!wanderStarted_) {
        wander_ = sigma * extras_.normal();
        wanderStarted_ = true;
    } else {
        const double rho = std::exp(-std::max(0.0, time - wanderTime_) / WanderSeconds);
        wander_ = rho * wander_ + sigma * std::sqrt(1.0 - rho * rho) * extras_.normal();
    }
    wanderTime_ = time;
    return detector::BaselineCode + wander_;
}

void PulseSynth::make(const Trigger& trigger, std::uint8_t biasCode, std::size_t sampleCount,
                      std::vector<std::uint16_t>& samples, PulseTruth& truth) {
    pulse::PulseDrawing drawing;
    drawing.amplitude = trigger.amplitude;
    drawing.phase = trigger.phase;
    drawing.baseline = baselineAt(trigger.time);
    drawing.noiseCodes = config_.noiseCodes;

    truth = PulseTruth();
    if (config_.pileUp && trigger.amplitude > 0 && extras_.uniform() < pileUpProbability()) {
        truth.pileUp = true;
        truth.pileUpOffset = PileUpEarliestSamples +
                             (PileUpLatestSamples - PileUpEarliestSamples) * extras_.uniform();
        truth.pileUpEnergyKeV = source_.drawEnergy(extras_);
        truth.pileUpAmplitude = detector::amplitudeCodes(truth.pileUpEnergyKeV, biasCode, extras_);
        drawing.secondAmplitude = truth.pileUpAmplitude;
        drawing.secondOffset = truth.pileUpOffset;
    }
    pulse::shapeSamples(drawing, sampleCount, noise_, samples);

    truth.sequence = made_++;
    truth.time = trigger.time;
    truth.energyKeV = trigger.energyKeV;
    truth.amplitude = trigger.amplitude;
    truth.onset = pulse::onsetSample(sampleCount) + trigger.phase;
    truth.baseline = drawing.baseline;
    truth.saturated = std::find(samples.begin(), samples.end(), pulse::MaxCode) != samples.end();
}

} // namespace tarvio
