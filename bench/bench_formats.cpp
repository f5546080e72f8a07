// Spectrum files of 4096 channels with every field: writing and reading each format, and the
// autosave as the window makes it (N42 through a temporary file, flushed to disk, renamed).

#include "autosave/AutosaveStore.h"
#include "formats/SpectrumFiles.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

using namespace tarvio;

namespace {

MeasuredSpectrum realisticSpectrum() {
    std::mt19937 rng(42);
    MeasuredSpectrum s;
    s.counts.resize(4096);
    for (std::size_t c = 0; c < s.counts.size(); ++c) {
        const double mean = 2000.0 * std::exp(-c / 600.0) +
                            30000.0 * std::exp(-std::pow((c - 1200.0) / 40.0, 2)) + 5.0;
        s.counts[c] = std::poisson_distribution<std::uint64_t>(mean)(rng);
    }
    s.measurement.startUtcMs = 1714566896789;
    s.measurement.realSeconds = 604800.123;
    s.measurement.liveSeconds = 598123.456;
    s.measurement.operatingPoint = {
        "Medipix2 ver 2.0 simulated: SIM0001", "Timepix J05-W0087", 52.5, 0.4565, 0.2, 450};
    s.calibration = EnergyCalibration{{-2.5, 0.62, 0.0}};
    return s;
}

void write(benchmark::State& state, FileFormat format) {
    const MeasuredSpectrum spectrum = realisticSpectrum();
    for (auto _ : state)
        benchmark::DoNotOptimize(spectrumFileText(spectrum, format));
}

void read(benchmark::State& state, FileFormat format) {
    const std::string text = spectrumFileText(realisticSpectrum(), format);
    for (auto _ : state)
        benchmark::DoNotOptimize(readSpectrumText(text, format, "bench"));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_WriteN42(benchmark::State& state) {
    write(state, FileFormat::N42);
}
void BM_WriteSpe(benchmark::State& state) {
    write(state, FileFormat::Spe);
}
void BM_WriteCsv(benchmark::State& state) {
    write(state, FileFormat::Csv);
}
void BM_ReadN42(benchmark::State& state) {
    read(state, FileFormat::N42);
}
void BM_ReadSpe(benchmark::State& state) {
    read(state, FileFormat::Spe);
}
void BM_ReadCsv(benchmark::State& state) {
    read(state, FileFormat::Csv);
}
void BM_ReadTabText(benchmark::State& state) {
    read(state, FileFormat::TabText);
}

void BM_AutosaveToDisk(benchmark::State& state) {
    const MeasuredSpectrum spectrum = realisticSpectrum();
    std::string folder = (std::filesystem::temp_directory_path() / "tarvio-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    AutosaveStore store(folder);
    const std::string path = store.fileFor(1714566896789);
    for (auto _ : state)
        benchmark::DoNotOptimize(store.write(path, spectrum));
    std::filesystem::remove_all(folder);
}

} // namespace

BENCHMARK(BM_WriteN42)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteSpe)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WriteCsv)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadN42)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadSpe)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadCsv)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadTabText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AutosaveToDisk)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
