// The peak analysis's speed on a full 4096-channel spectrum, and its statistics over many
// seeded simulator spectra, which are too slow for the tests:
//   BM_PeakSearch*            one search with every peak fitted (the live rerun's cost)
//   BM_AnalysisWithLibrary    search, energies, identification against the whole library
//   BM_FalsePeaks             peaks found in flat spectra without any (counter: per spectrum)
//   BM_LinesFound             share of each simulated source's lines found
//   BM_ActivityCoverage       share of activities within one and two of their sigma
//   BM_CalibrationWithSource  share of lines where a calibration with Am-241 from 20 000
//                             photons is within 0.1 keV of the truth, and the worst error
// Run: build/bench/bench_peaks [--benchmark_filter=...]

#include "analysis/Activity.h"
#include "analysis/PeakAnalysis.h"
#include "analysis/SourceCalibration.h"
#include "sim/SourcePhysics.h"
#include "sim/SpectrumSynthesis.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace tarvio {
namespace {

std::vector<double> spectrumOf(SimSource source, double liveSeconds, std::uint64_t seed,
                               double photonRate = 2000.0) {
    SpectrumSynthesis request;
    request.source = source;
    request.liveSeconds = liveSeconds;
    request.seed = seed;
    request.photonRate = photonRate;
    const auto counts = synthesizeSpectrum(request);
    return std::vector<double>(counts.begin(), counts.end());
}

void searchBenchmark(benchmark::State& state, SimSource source, bool givenWidth) {
    const auto counts = spectrumOf(source, 60.0, 1); // 120 000 photons
    PeakSearchOptions options;
    if (givenWidth)
        options.fwhm = FwhmModel{47.0, 0.215};
    std::size_t peaks = 0;
    for (auto _ : state) {
        const PeakSearchResult r = searchPeaks(counts, options);
        peaks = r.peaks.size();
        benchmark::DoNotOptimize(peaks);
    }
    state.counters["peaks"] = static_cast<double>(peaks);
}

void BM_PeakSearchAm241(benchmark::State& state) {
    searchBenchmark(state, SimSource::Am241, false);
}
void BM_PeakSearchCs137(benchmark::State& state) {
    searchBenchmark(state, SimSource::Cs137, false);
}
void BM_PeakSearchGivenWidth(benchmark::State& state) {
    searchBenchmark(state, SimSource::Am241, true);
}

const Nuclide& am241() {
    return *NuclideLibrary::builtIn().find("Am-241");
}

EnergyCalibration am241Axis() {
    const auto counts = spectrumOf(SimSource::Am241, 30.0, 77);
    return calibrateWithSource(searchPeaks(counts, {}), am241(), counts.size())
        .calibration->fit.calibration;
}

void BM_AnalysisWithLibrary(benchmark::State& state) {
    const auto counts = spectrumOf(SimSource::Am241, 60.0, 1);
    const EnergyCalibration axis = am241Axis();
    PeakAnalysisOptions options;
    options.library = &NuclideLibrary::builtIn();
    for (auto _ : state)
        benchmark::DoNotOptimize(analyzePeaks(counts, axis, options).candidates.size());
}

void BM_FalsePeaks(benchmark::State& state) {
    const auto counts = static_cast<std::uint64_t>(state.range(0));
    const int seeds = 500;
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
            const auto flat = flatSpectrum(0, 4095, counts, static_cast<std::uint64_t>(seed));
            found += static_cast<int>(
                searchPeaks(std::vector<double>(flat.begin(), flat.end()), {}).peaks.size());
        }
    }
    state.counters["spectra"] = seeds;
    state.counters["false_peaks"] = found;
    state.counters["per_spectrum"] = static_cast<double>(found) / seeds;
}

void BM_LinesFound(benchmark::State& state) {
    const auto source = static_cast<SimSource>(state.range(0));
    const SourceModel model(source);
    const int seeds = 200;
    int lines = 0, found = 0, extra = 0;
    for (auto _ : state) {
        lines = found = extra = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
            const auto r =
                searchPeaks(spectrumOf(source, 5.0, static_cast<std::uint64_t>(seed)), {});
            for (const GammaLine& line : model.lines()) {
                ++lines;
                const double channel = detector::BaselineCode + line.energyKeV *
                                                                    detector::CodesPerKeV *
                                                                    detector::chargeCollection(1);
                for (const FoundPeak& p : r.peaks)
                    if (std::abs(p.centroid.value - channel) < 0.75 * p.fwhm.value) {
                        ++found;
                        break;
                    }
            }
            extra += static_cast<int>(r.peaks.size()) - static_cast<int>(model.lines().size());
        }
    }
    state.counters["lines_found_share"] = static_cast<double>(found) / lines;
    state.counters["peaks_beyond_lines"] = extra;
}

void BM_ActivityCoverage(benchmark::State& state) {
    const SourceModel truth(SimSource::Am241);
    const auto known = spectrumOf(SimSource::Am241, 30.0, 500);
    const EnergyCalibration axis = am241Axis();
    PeakAnalysisOptions options;
    options.library = &NuclideLibrary::builtIn();
    const PeakAnalysis reference = analyzePeaks(known, axis, options);
    const auto curve = fitEfficiency(
        efficiencyPoints(reference.energyPeaks, reference.candidates.front(),
                         KnownSource{&am241(), truth.activityBq(2000.0), 0.0}, 30.0, {}));
    options.efficiency = curve;
    options.liveSeconds = 20.0;
    const int seeds = 200;
    int one = 0, two = 0, named = 0;
    for (auto _ : state) {
        one = two = named = 0;
        for (int seed = 1; seed <= seeds; ++seed) {
            const PeakAnalysis a = analyzePeaks(
                spectrumOf(SimSource::Am241, 20.0, static_cast<std::uint64_t>(seed), 700.0), axis,
                options);
            if (a.activities.empty())
                continue;
            ++named;
            const double miss = std::abs(a.activities.front().activityBq - truth.activityBq(700.0));
            one += miss <= a.activities.front().uncertaintyBq;
            two += miss <= 2.0 * a.activities.front().uncertaintyBq;
        }
    }
    state.counters["seeds"] = seeds;
    state.counters["within_1_sigma"] = one;
    state.counters["within_2_sigma"] = two;
    state.counters["with_activity"] = named;
}

void BM_CalibrationWithSource(benchmark::State& state) {
    const auto reference = searchPeaks(spectrumOf(SimSource::Am241, 200.0, 1000), {});
    double worst = 0.0;
    int failed = 0, lines = 0, within = 0;
    for (auto _ : state) {
        worst = 0.0;
        failed = lines = within = 0;
        for (int seed = 1; seed <= 100; ++seed) {
            const auto counts =
                spectrumOf(SimSource::Am241, 10.0, static_cast<std::uint64_t>(seed));
            const auto r = calibrateWithSource(searchPeaks(counts, {}), am241(), counts.size());
            if (!r.calibration) {
                ++failed;
                continue;
            }
            for (const SourceLineMatch& m : r.calibration->matches)
                for (const FoundPeak& p : reference.peaks)
                    if (std::abs(p.centroid.value - m.channel) < 2.0) {
                        const double error = std::abs(
                            r.calibration->fit.calibration.energy(p.centroid.value) - m.energyKeV);
                        worst = std::max(worst, error);
                        ++lines;
                        within += error <= 0.1;
                    }
        }
    }
    state.counters["worst_keV"] = worst;
    state.counters["within_0.1_keV_share"] = lines ? static_cast<double>(within) / lines : 0.0;
    state.counters["failed"] = failed;
}

BENCHMARK(BM_PeakSearchAm241)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakSearchCs137)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakSearchGivenWidth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AnalysisWithLibrary)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FalsePeaks)->Arg(5000)->Arg(120000)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_LinesFound)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_ActivityCoverage)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_CalibrationWithSource)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
} // namespace tarvio

BENCHMARK_MAIN();
