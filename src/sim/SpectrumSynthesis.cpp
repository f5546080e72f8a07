#include "sim/SpectrumSynthesis.h"

#include "sim/PulseShape.h"
#include "sim/SimRandom.h"
#include "sim/SourcePhysics.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

constexpr std::size_t Channels = 4096;
// Enough samples for the pulse's summit (onset at sample 2, summit five samples later), where
// the host takes the height.
constexpr std::size_t Samples = 24;

std::uint64_t poisson(double mean, SimRandom& rng) {
    if (mean < 50.0) {
        // Knuth: multiply uniforms until they fall below e^-mean.
        const double limit = std::exp(-mean);
        std::uint64_t k = 0;
        for (double p = rng.uniform(); p > limit; p *= rng.uniform())
            ++k;
        return k;
    }
    return static_cast<std::uint64_t>(
        std::max(0.0, std::round(mean + std::sqrt(mean) * rng.normal())));
}

} // namespace

std::vector<std::uint32_t> synthesizeSpectrum(const SpectrumSynthesis& request) {
    std::vector<std::uint32_t> histogram(Channels, 0);
    const SourceModel source(request.source);
    SimRandom photons = SimRandom::stream(request.seed, 11);
    SimRandom noise = SimRandom::stream(request.seed, 12);
    const double threshold = detector::thresholdCodes(request.thresholdDac);
    const std::uint64_t n = poisson(request.photonRate * request.liveSeconds, photons);
    std::vector<std::uint16_t> samples;
    for (std::uint64_t i = 0; i < n; ++i) {
        const double energy = source.drawEnergy(photons);
        const double amplitude = detector::amplitudeCodes(energy, request.biasCode, photons);
        const double phase = photons.uniform();
        if (amplitude < threshold)
            continue;
        pulse::shapeSamples(amplitude, Samples, phase, noise, samples);
        ++histogram[std::min<std::size_t>(pulse::hostPulseHeight(samples), Channels - 1)];
    }
    return histogram;
}

std::vector<std::uint32_t> flatSpectrum(std::uint32_t first, std::uint32_t last,
                                        std::uint64_t counts, std::uint64_t seed) {
    std::vector<std::uint32_t> histogram(Channels, 0);
    last = std::min<std::uint32_t>(last, Channels - 1);
    if (first > last)
        return histogram;
    SimRandom rng = SimRandom::stream(seed, 13);
    for (std::uint64_t i = 0; i < counts; ++i)
        ++histogram[first + rng.below(last - first + 1)];
    return histogram;
}

} // namespace tarvio
