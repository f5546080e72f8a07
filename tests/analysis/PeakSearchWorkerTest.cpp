// The background peak analysis: offers taken at most once per interval of the caller's
// clock, the newest offer analysed when several wait, nothing blocking the caller.

#include "analysis/PeakSearchWorker.h"
#include "sim/SpectrumSynthesis.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace tarvio;

namespace {

std::vector<double> am241(std::uint64_t seed) {
    SpectrumSynthesis request;
    request.liveSeconds = 5.0;
    request.seed = seed;
    const auto counts = synthesizeSpectrum(request);
    return std::vector<double>(counts.begin(), counts.end());
}

std::vector<double> flat(std::uint64_t seed) {
    const auto counts = flatSpectrum(0, 4095, 20000, seed);
    return std::vector<double>(counts.begin(), counts.end());
}

PeakAnalysis waitFor(PeakSearchWorker& worker) {
    for (int i = 0; i < 2000; ++i) {
        if (!worker.busy())
            if (auto a = worker.take())
                return *a;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ADD_FAILURE() << "no analysis within 10 s";
    return {};
}

} // namespace

TEST(PeakSearchWorker, offersWithinTheInterval_refusedUntilItHasPassed) {
    PeakSearchWorker worker(2.0);
    EXPECT_TRUE(worker.offer(10.0, am241(1), std::nullopt, {}));
    EXPECT_FALSE(worker.offer(11.0, am241(2), std::nullopt, {}));
    EXPECT_FALSE(worker.offer(11.999, am241(2), std::nullopt, {}));
    EXPECT_EQ(waitFor(worker).search.peaks.size(), 5u);
    EXPECT_TRUE(worker.offer(12.0, flat(3), std::nullopt, {}));
    EXPECT_TRUE(waitFor(worker).search.peaks.empty());
    EXPECT_FALSE(worker.take()) << "each analysis is taken once";
}

TEST(PeakSearchWorker, manyOffersWhileBusy_theNewestIsAnalysedLast) {
    std::vector<std::vector<double>> spectra;
    for (std::uint64_t i = 1; i <= 20; ++i)
        spectra.push_back(flat(i));
    spectra.push_back(am241(7));
    PeakSearchWorker worker(0.0);
    for (std::size_t i = 0; i < spectra.size(); ++i)
        worker.offer(static_cast<double>(i), std::move(spectra[i]), std::nullopt, {});
    const PeakAnalysis last = waitFor(worker);
    EXPECT_EQ(last.search.peaks.size(), 5u);
    EXPECT_LT(worker.finishedCount(), 21u) << "offers waiting were replaced, not queued";
}

TEST(PeakSearchWorker, destroyedWithAnOfferWaiting_returnsPromptly) {
    PeakSearchWorker worker(0.0);
    worker.offer(0.0, am241(1), std::nullopt, {});
    worker.offer(1.0, am241(2), std::nullopt, {});
}
