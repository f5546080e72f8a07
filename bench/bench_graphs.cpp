// Drawing the graphs through the Qt canvas: a full 4096-channel spectrum on the linear and
// the logarithmic count axis (per column and per channel, for comparison) on the default image
// and on a maximised window's, and a 450-sample pulse. The refresh draws both ten times a
// second.

#include "views/PulseGraph.h"
#include "views/ReferenceOverlay.h"
#include "views/SpectrumGraph.h"
#include "views/qt/QtCanvas.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

using namespace tarvio;

namespace {

Spectrum realisticSpectrum() {
    std::mt19937 rng(42);
    Spectrum s;
    s.clear();
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c) {
        const double mean = 2000.0 * std::exp(-static_cast<double>(c) / 600.0) +
                            30000.0 * std::exp(-std::pow((c - 1200.0) / 40.0, 2)) +
                            12000.0 * std::exp(-std::pow((c - 2900.0) / 90.0, 2)) + 5.0;
        std::poisson_distribution<std::uint32_t> noise(mean);
        s.counts[c] = noise(rng);
        s.maxCount = std::max(s.maxCount, s.counts[c]);
    }
    return s;
}

std::vector<std::uint64_t> measured(const Spectrum& s) {
    return {s.counts.begin(), s.counts.end()};
}

void drawSpectrum(benchmark::State& state, BarDrawing mode, bool log = false, int width = 321,
                  int height = 273) {
    const Spectrum spectrum = realisticSpectrum();
    QtCanvas canvas(width, height);
    SpectrumGraph graph(canvas);
    graph.setBarDrawing(mode);
    graph.setLogScale(log);
    graph.setCursorVisible(true);
    graph.setCursorChannel(1200);
    for (auto _ : state) {
        graph.draw(spectrum);
        benchmark::DoNotOptimize(canvas.image().constBits());
    }
}

void BM_SpectrumFullView_TallestPerColumn(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::TallestPerColumn);
}
void BM_SpectrumFullView_EveryChannel(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::EveryChannel);
}

// The whole of a 1920 x 1080 screen: more columns than channels, and the long bars of a
// tall image.
void BM_SpectrumFullView_TallestPerColumn_1920x1080(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::TallestPerColumn, false, 1920, 1080);
}

void BM_SpectrumFullViewLog_TallestPerColumn_1920x1080(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::TallestPerColumn, true, 1920, 1080);
}

void BM_SpectrumFullViewLog_TallestPerColumn(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::TallestPerColumn, true);
}
void BM_SpectrumFullViewLog_EveryChannel(benchmark::State& state) {
    drawSpectrum(state, BarDrawing::EveryChannel, true);
}

// The refresh with an opened reference: scaled anew at every tick, then drawn over the bars
// or taken off them.
void drawWithReference(benchmark::State& state, bool subtract) {
    const Spectrum spectrum = realisticSpectrum();
    const Spectrum background = realisticSpectrum();
    const ReferenceSpectrum reference{measured(background), 600.0};
    QtCanvas canvas(321, 273);
    SpectrumGraph graph(canvas);
    for (auto _ : state) {
        const ReferenceScale scale = referenceScale(reference, 300.0, totalCounts(spectrum));
        graph.setReference(scaledReference(reference, scale.factor), subtract);
        graph.draw(spectrum);
        benchmark::DoNotOptimize(canvas.image().constBits());
    }
}

void BM_SpectrumWithReference_Overlay(benchmark::State& state) {
    drawWithReference(state, false);
}
void BM_SpectrumWithReference_Subtracted(benchmark::State& state) {
    drawWithReference(state, true);
}

void BM_Pulse450Samples(benchmark::State& state) {
    PulseBuffer pulse;
    for (std::uint16_t i = 0; i < MaxPulseSamples; ++i)
        pulse.setSample(
            i, static_cast<std::uint16_t>(300 + 2500 * std::exp(-std::pow((i - 150.0) / 30.0, 2))));
    pulse.sampleCount = MaxPulseSamples;
    QtCanvas canvas(225, 200);
    PulseGraph graph(canvas);
    for (auto _ : state) {
        graph.draw(pulse, 1.0, false, true);
        benchmark::DoNotOptimize(canvas.image().constBits());
    }
}

} // namespace

BENCHMARK(BM_SpectrumFullView_TallestPerColumn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFullView_EveryChannel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFullView_TallestPerColumn_1920x1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFullViewLog_TallestPerColumn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFullViewLog_EveryChannel)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumFullViewLog_TallestPerColumn_1920x1080)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumWithReference_Overlay)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpectrumWithReference_Subtracted)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Pulse450Samples)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
