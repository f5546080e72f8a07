// The template fit and the rejections against the simulator's truth: heights without bias
// and narrower than the largest sample's, and each rejection on its own kind of pulse.

#include "processing/FitProcessor.h"
#include "processing/ProcessingOptions.h"
#include "sim/PulseSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvio {
namespace {

constexpr std::uint32_t HostSamples = 449;

ProcessingOptions fitOptions(bool reject) {
    ProcessingOptions options;
    options.method = HeightMethod::Fit;
    options.rejectSaturated = options.rejectPileUp = options.rejectShape = reject;
    return options;
}

struct Spread {
    double mean = 0;
    double sigma = 0;
};

Spread spread(const std::vector<double>& errors) {
    double s = 0, ss = 0;
    for (double e : errors) {
        s += e;
        ss += e * e;
    }
    const double mean = s / errors.size();
    return {mean, std::sqrt(ss / errors.size() - mean * mean)};
}

TEST(FitProcessor, simulatedLines_fitUnbiasedAndNarrowerThanLargestSample) {
    // 1500 pulses per case: the fit's height less the true amplitude and baseline, against
    // the largest sample's. Noise 8 codes, and noise 2 with a wandering baseline.
    struct Case {
        const char* name;
        double noise;
        double wander;
        double amplitude;
        double narrowerBy; // the fit's spread at most this share of the largest sample's
    };
    const Case cases[] = {
        {"59.5 keV, noise 8", 8.0, 0.0, 297.7, 0.7},
        {"13.9 keV, noise 8", 8.0, 0.0, 69.5, 0.8},
        {"59.5 keV, noise 2, wandering baseline", 2.0, 6.0, 297.7, 0.3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorConfig config;
        config.noiseCodes = c.noise;
        config.baselineWanderCodes = c.wander;
        PulseSynth synth(config);
        SimRandom rng(5);
        FitProcessor processor(fitOptions(true));
        std::vector<double> fitErrors, largestErrors;
        std::vector<std::uint16_t> samples;
        PulseTruth truth;
        for (int i = 0; i < 1500; ++i) {
            synth.make(Trigger{i * 0.01, 0, c.amplitude, rng.uniform()}, 1, 450, samples, truth);
            PulseEvent event;
            event.samples = samples.data();
            event.sampleCount = HostSamples;
            processor.process(event);
            EXPECT_EQ(event.flags, 0u) << i;
            // The spectrum counts floor(height): half a channel above the fitted peak, over
            // the measurement's mean baseline.
            fitErrors.push_back(event.height - 0.5 - processor.meanBaseline() - truth.amplitude);
            const double largest = *std::max_element(samples.begin(), samples.end());
            largestErrors.push_back(largest - 100.0 - truth.amplitude);
        }
        const Spread fit = spread(fitErrors), largest = spread(largestErrors);
        EXPECT_NEAR(fit.mean, 0.0, 4 * fit.sigma / std::sqrt(1500.0) + 0.05);
        EXPECT_LT(fit.sigma, c.narrowerBy * largest.sigma);
    }
}

// A pulse made by hand: the built-in shape at `onset` with `amplitude`, plus extras.
std::vector<std::uint16_t> handPulse(double amplitude, double onset, double shaping,
                                     double secondAmplitude = 0, double secondOnset = 0,
                                     std::uint32_t count = 450) {
    SimRandom noise(9);
    std::vector<std::uint16_t> samples(count);
    for (std::uint32_t k = 0; k < count; ++k) {
        auto crrc = [&](double a, double t0) {
            const double x = (k - t0) / shaping;
            return x > 0 ? a * x * std::exp(1 - x) : 0.0;
        };
        const double v = 100.0 + 2.0 * noise.normal() + crrc(amplitude, onset) +
                         crrc(secondAmplitude, secondOnset);
        samples[k] = static_cast<std::uint16_t>(std::clamp(std::round(v), 0.0, 4095.0));
    }
    return samples;
}

TEST(FitProcessor, eachRejection_takesItsKindOfPulseOnlyWhenSwitchedOn) {
    // Flags with the pile-up test alone, the shape test alone, and both; a clipped pulse is
    // rejected by the saturation switch and by nothing else.
    struct Case {
        const char* name;
        std::vector<std::uint16_t> samples;
        bool saturated;
        std::uint32_t pileUpOnly, shapeOnly, both;
    };
    constexpr std::uint32_t P = PulseRejectedPileUp, S = PulseRejectedShape;
    const Case cases[] = {
        {"clean", handPulse(300, 40.3, 5), false, 0, 0, 0},
        {"clipped", handPulse(5000, 40.3, 5), true, 0, 0, 0},
        {"second photon 20 samples later", handPulse(300, 40.3, 5, 60, 60.3), false, P, S, P},
        {"second photon 120 samples later", handPulse(300, 40.3, 5, 40, 160.0), false, P, 0, P},
        {"second photon 3 samples before", handPulse(300, 40.3, 5, 100, 37.3), false, P, S, P},
        {"slower shaping", handPulse(300, 40.3, 6.5), false, P, S, P},
        {"pulse at the record's end", handPulse(300, 430.0, 5), false, 0, S, S},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int switches = 0; switches < 8; ++switches) {
            ProcessingOptions options = fitOptions(false);
            options.rejectSaturated = switches & 1;
            options.rejectPileUp = switches & 2;
            options.rejectShape = switches & 4;
            FitProcessor processor(options);
            // A clean pulse first, so the noise is known as in a running measurement.
            const auto clean = handPulse(300, 40.6, 5);
            PulseEvent first{0, clean.data(), HostSamples, 0.0, 0};
            processor.process(first);
            PulseEvent event{0, c.samples.data(), HostSamples, 0.0, 0};
            processor.process(event);
            std::uint32_t expected = options.rejectPileUp
                                         ? (options.rejectShape ? c.both : c.pileUpOnly)
                                         : (options.rejectShape ? c.shapeOnly : 0u);
            if (c.saturated && options.rejectSaturated) {
                expected |= PulseRejectedSaturated;
            }
            EXPECT_EQ(event.flags, expected) << "switches " << switches;
        }
    }
}

TEST(PulseFit, curve_followsTheFittedPulseOrIsEmpty) {
    const PulseFit fit(PulseTemplate::builtIn());
    const auto samples = handPulse(300, 40.3, 5);
    std::vector<double> curve;
    fit.curve(samples.data(), HostSamples, curve);
    ASSERT_EQ(curve.size(), HostSamples);
    for (std::uint32_t k = 0; k < HostSamples; ++k) {
        EXPECT_NEAR(curve[k], samples[k], 8.0) << k; // within 4 sigma of the noise
    }
    const auto late = handPulse(300, 430.0, 5);
    fit.curve(late.data(), HostSamples, curve);
    EXPECT_TRUE(curve.empty());
}

TEST(FitProcessor, largestWithRejections_keepsTheLargestSampleAsHeight) {
    ProcessingOptions options;
    options.rejectPileUp = true;
    FitProcessor processor(options);
    const auto samples = handPulse(300, 40.3, 5);
    PulseEvent event{0, samples.data(), HostSamples, 0.0, 0};
    processor.process(event);
    EXPECT_EQ(event.height, *std::max_element(samples.begin(), samples.begin() + HostSamples));
    EXPECT_EQ(event.flags, 0u);
    // Nothing to fit: no samples, or a record of one sample.
    for (std::uint32_t count : {0u, 1u}) {
        PulseEvent empty{0, samples.data(), count, 0.0, 0};
        processor.process(empty);
        EXPECT_EQ(empty.flags, 0u);
    }
}

} // namespace
} // namespace tarvio
