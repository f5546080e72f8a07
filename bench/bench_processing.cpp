// Pulse processing against the simulator's truth. First a table: for each estimator and
// noise level, the FWHM and centroid bias of the Am-241 lines at 13.9, 17.8 and 59.5 keV
// (clean pulses), and the pile-up rejection (10 % of records carry a second photon); then the
// pulses per second of each estimator on one core, at 450 samples.

#include "processing/FitProcessor.h"
#include "processing/ProcessingOptions.h"
#include "processing/TemplateLearner.h"
#include "sim/PulseSynth.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

namespace tarvio {
namespace {

constexpr std::size_t Samples = 450;
constexpr std::size_t HostSamples = 449; // what the host stores of each message
constexpr double Baseline = 100.0;
constexpr double CodesPerKeV = 5.0;
constexpr double ThresholdCodes = 50.0;
int LearnPulses = 1000;

struct Pulse {
    std::vector<std::uint16_t> samples;
    PulseTruth truth;
};

// Am-241 pulses as the simulated interface sends them, at full bias.
std::vector<Pulse> makePulses(double noise, bool pileUp, int count, std::uint64_t seed) {
    SimulatorConfig config;
    config.seed = seed;
    config.noiseCodes = noise;
    config.pileUp = pileUp;
    config.activity = 35000.0; // 10 % of records piled up (only used with pileUp)
    PulseSynth synth(config);
    SourceModel source(SimSource::Am241);
    SimRandom rng = SimRandom::stream(seed, 40);
    std::vector<Pulse> pulses;
    pulses.reserve(count);
    while (static_cast<int>(pulses.size()) < count) {
        Trigger trigger;
        trigger.time = pulses.size() / 2000.0;
        trigger.energyKeV = source.drawEnergy(rng);
        trigger.amplitude = detector::amplitudeCodes(trigger.energyKeV, 1, rng);
        trigger.phase = rng.uniform();
        if (trigger.amplitude < ThresholdCodes) {
            continue;
        }
        Pulse p;
        synth.make(trigger, 1, Samples, p.samples, p.truth);
        pulses.push_back(std::move(p));
    }
    return pulses;
}

// The channel a pulse is counted in: the largest stored sample without a processor.
double channelOf(PulseProcessor* processor, const Pulse& p, std::uint32_t& flags) {
    PulseEvent event;
    event.samples = p.samples.data();
    event.sampleCount = HostSamples;
    if (!processor) {
        flags = 0;
        return *std::max_element(p.samples.begin(), p.samples.begin() + HostSamples);
    }
    processor->process(event);
    flags = event.flags;
    return std::floor(event.height);
}

struct LineFigures {
    double fwhm = 0;
    double bias = 0;
};

// Mean and FWHM of a peak's estimates by a Gaussian's moments, tails beyond 4 sigma left
// out (iterated); the bias against the truth's mean.
LineFigures figures(const std::vector<double>& estimates, const std::vector<double>& truths) {
    double mean = 0, sigma = 1e9;
    for (int pass = 0; pass < 6; ++pass) {
        double s = 0, ss = 0, t = 0;
        int n = 0;
        for (std::size_t i = 0; i < estimates.size(); ++i) {
            if (std::abs(estimates[i] - mean) > 4 * sigma && pass > 0) {
                continue;
            }
            s += estimates[i];
            ss += estimates[i] * estimates[i];
            t += truths[i];
            ++n;
        }
        mean = s / n;
        sigma = std::sqrt(std::max(0.0, ss / n - mean * mean));
        if (pass == 5) {
            return {2.3548 * sigma, mean - t / n};
        }
    }
    return {};
}

const double Lines[] = {13.9, 17.8, 59.54};

struct Estimator {
    const char* name;
    std::unique_ptr<PulseProcessor> (*make)(const std::vector<Pulse>& training);
};

ProcessingOptions fitOptions(bool reject) {
    ProcessingOptions options;
    options.method = HeightMethod::Fit;
    options.rejectSaturated = options.rejectPileUp = options.rejectShape = reject;
    return options;
}

std::shared_ptr<const PulseTemplate> learnedShape(const std::vector<Pulse>& training) {
    TemplateLearner learner(LearnPulses);
    for (const Pulse& p : training) {
        if (learner.done()) {
            break;
        }
        learner.add(p.samples.data(), HostSamples);
    }
    return std::make_shared<PulseTemplate>(*learner.result());
}

void printTable() {
    std::printf("%-22s %5s | %-13s %-13s %-13s | %-9s %-9s\n", "estimator", "sigma", "13.9 keV",
                "17.8 keV", "59.5 keV", "pile-up", "clean");
    std::printf("%-22s %5s | %-13s %-13s %-13s | %-9s %-9s\n", "", "codes", "FWHM  bias",
                "FWHM  bias", "FWHM  bias", "rejected", "rejected");
    for (double noise : {2.0, 8.0}) {
        const std::vector<Pulse> clean = makePulses(noise, false, 40000, 11);
        const std::vector<Pulse> piled = makePulses(noise, true, 40000, 12);
        const std::vector<Pulse> training = makePulses(noise, false, 20000, 13);
        struct Row {
            const char* name;
            std::shared_ptr<const PulseTemplate> shape; // for fits
            bool fit;
            bool truth;
        };
        const Row rows[] = {
            {"truth (detector alone)", nullptr, false, true},
            {"largest sample", nullptr, false, false},
            {"fit, built-in shape", nullptr, true, false},
            {"fit, learned shape", learnedShape(training), true, false},
        };
        for (const Row& row : rows) {
            std::printf("%-22s %5.0f |", row.name, noise);
            std::unique_ptr<PulseProcessor> processor;
            if (row.fit) {
                ProcessingOptions options = fitOptions(false);
                options.shape = row.shape;
                processor = makePulseProcessor(options);
            }
            std::map<double, std::vector<double>> estimates, truths;
            for (const Pulse& p : clean) {
                std::uint32_t flags = 0;
                const double channel = row.truth ? 0 : channelOf(processor.get(), p, flags);
                const double trueKeV = p.truth.amplitude / CodesPerKeV;
                for (double line : Lines) {
                    if (std::abs(p.truth.energyKeV - line) < 0.05) {
                        estimates[line].push_back(row.truth ? trueKeV
                                                            : (channel - Baseline) / CodesPerKeV);
                        truths[line].push_back(trueKeV);
                    }
                }
            }
            for (double line : Lines) {
                const LineFigures f = figures(estimates[line], truths[line]);
                std::printf(" %5.2f %+6.3f", f.fwhm, f.bias);
            }
            if (row.truth) {
                std::printf(" |\n");
                continue;
            }
            // Rejection: the same estimator with every test on (for the largest sample the
            // fit judges, the height stays the largest sample).
            ProcessingOptions options = fitOptions(true);
            options.method = row.fit ? HeightMethod::Fit : HeightMethod::Largest;
            options.shape = row.shape;
            const auto judge = makePulseProcessor(options);
            int piledUp = 0, piledRejected = 0, cleanCount = 0, cleanRejected = 0;
            for (const Pulse& p : piled) {
                std::uint32_t flags = 0;
                channelOf(judge.get(), p, flags);
                const bool rejected = (flags & PulseRejectionMask) != 0;
                if (p.truth.pileUp) {
                    ++piledUp;
                    piledRejected += rejected;
                } else {
                    ++cleanCount;
                    cleanRejected += rejected;
                }
            }
            std::printf(" | %6.1f %%  %6.3f %%  (%d piled up)\n", 100.0 * piledRejected / piledUp,
                        100.0 * cleanRejected / cleanCount, piledUp);
        }
    }
    std::printf("FWHM and bias in keV; bias is the centroid of the counted channels against the "
                "true amplitudes' mean.\n\n");
}

// Throughput on one core: a ring of pulses at sigma 8 with 10 % piled up.
const std::vector<Pulse>& ring() {
    static const std::vector<Pulse> pulses = makePulses(8.0, true, 4096, 21);
    return pulses;
}

void runProcessor(benchmark::State& state, PulseProcessor* processor) {
    const auto& pulses = ring();
    std::size_t i = 0;
    for (auto _ : state) {
        const Pulse& p = pulses[i++ & 4095];
        PulseEvent event;
        event.samples = p.samples.data();
        event.sampleCount = Samples;
        if (processor) {
            processor->process(event);
        } else {
            event.height = *std::max_element(p.samples.begin(), p.samples.end());
        }
        benchmark::DoNotOptimize(event);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Largest(benchmark::State& state) {
    runProcessor(state, nullptr);
}
BENCHMARK(BM_Largest);

void BM_Fit(benchmark::State& state) {
    const auto processor = makePulseProcessor(fitOptions(false));
    runProcessor(state, processor.get());
}
BENCHMARK(BM_Fit);

void BM_FitRejecting(benchmark::State& state) {
    const auto processor = makePulseProcessor(fitOptions(true));
    runProcessor(state, processor.get());
}
BENCHMARK(BM_FitRejecting);

void BM_FitLearnedRejecting(benchmark::State& state) {
    ProcessingOptions options = fitOptions(true);
    options.shape = learnedShape(makePulses(8.0, false, 4000, 13));
    const auto processor = makePulseProcessor(options);
    runProcessor(state, processor.get());
}
BENCHMARK(BM_FitLearnedRejecting);

} // namespace
} // namespace tarvio

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (const char* n = std::getenv("LEARN_PULSES")) {
        tarvio::LearnPulses = std::atoi(n);
    }
    tarvio::printTable();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
