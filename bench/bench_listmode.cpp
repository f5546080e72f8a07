// List-mode recording through the consumer interface to an HDF5 file on disk: pulses per
// second from the first offered to the file closed, without samples (the target is 1 M/s)
// and with 450 samples each (44,000/s, what a 40 MB/s wire carries). The feeder waits when
// the ring is full, so the figure is what the writer thread sustains with nothing dropped.

#include "listmode/ListModeRecorder.h"
#include "records/PulseBuffer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

using namespace tarvio;

namespace {

// Pulses as the converter delivers them: a baseline with noise, a rise and a decay.
std::vector<std::vector<std::uint16_t>> pulseShapes(std::uint32_t samples) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 3.0);
    std::vector<std::vector<std::uint16_t>> shapes(64);
    for (std::size_t k = 0; k < shapes.size(); ++k) {
        const double amplitude = 200.0 + 3000.0 * static_cast<double>(k) / shapes.size();
        for (std::uint32_t i = 0; i < samples; ++i) {
            const double t = static_cast<double>(i) - samples / 4.0;
            const double pulse =
                t < 0 ? 0.0 : amplitude * (1.0 - std::exp(-t / 3.0)) * std::exp(-t / 60.0);
            shapes[k].push_back(
                static_cast<std::uint16_t>(std::clamp(300.0 + pulse + noise(rng), 0.0, 4095.0)));
        }
    }
    return shapes;
}

void record(benchmark::State& state, bool withSamples, std::int64_t pulses) {
    const std::uint32_t width = withSamples ? MaxPulseSamples : 0;
    const auto shapes = pulseShapes(MaxPulseSamples);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("bench_listmode_" + std::to_string(::getpid()) + ".h5"))
                                 .string();
    std::mt19937 rng(11);
    std::vector<double> heights(4096);
    for (double& h : heights)
        h = static_cast<double>(rng() % 4096) + 0.5;
    std::uint64_t dropped = 0;
    for (auto _ : state) {
        ListModeOptions options;
        options.path = path;
        options.samples = withSamples;
        ListModeRecorder recorder(options);
        MeasurementInfo info;
        info.startUtcMs = 1714566896789;
        info.operatingPoint.samplesPerPulse = MaxPulseSamples;
        recorder.measurementStarted(info);
        PulseEvent event;
        std::int64_t ns = 0;
        for (std::int64_t i = 0; i < pulses; ++i) {
            ns += 500 + (i & 1023);
            event.receiveNs = ns;
            event.height = heights[static_cast<std::size_t>(i) & 4095];
            event.flags = (i % 50) == 0 ? std::uint32_t{PulseRejectedPileUp} : 0u;
            if (width > 0) {
                event.samples = shapes[static_cast<std::size_t>(i) & 63].data();
                event.sampleCount = width;
            }
            while (!recorder.offer(event))
                std::this_thread::yield();
        }
        info.realSeconds = ns * 1e-9;
        recorder.measurementEnded(info);
        recorder.close();
        dropped += recorder.status().droppedEvents;
        state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    }
    std::filesystem::remove(path);
    state.SetItemsProcessed(state.iterations() * pulses);
    state.counters["dropped"] = static_cast<double>(dropped);
    state.counters["pulses_per_s"] = benchmark::Counter(
        static_cast<double>(pulses), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RecordWithoutSamples(benchmark::State& state) {
    record(state, false, 4'000'000);
}
void BM_RecordWith450Samples(benchmark::State& state) {
    record(state, true, 200'000);
}

} // namespace

BENCHMARK(BM_RecordWithoutSamples)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_RecordWith450Samples)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
