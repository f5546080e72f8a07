#pragma once
// The peak analysis of a growing spectrum, rerun off the caller's thread so that a window's
// refresh never waits for it. The caller offers a copy of the counts as often as it likes;
// an offer is taken at most once every `intervalSeconds` (by the caller's clock), and while
// the worker is busy a newer offer replaces one still waiting, so the worker always
// analyses the latest spectrum and never falls behind. The caller collects the newest
// finished analysis when it polls.

#include "analysis/PeakAnalysis.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tarvio {

class PeakSearchWorker {
public:
    explicit PeakSearchWorker(double intervalSeconds);
    ~PeakSearchWorker(); // waits for a running analysis, drops a waiting offer
    PeakSearchWorker(const PeakSearchWorker&) = delete;
    PeakSearchWorker& operator=(const PeakSearchWorker&) = delete;

    // False (and nothing copied further) when the last offer taken is less than the interval
    // before `nowSeconds`. `options.library` must outlive the analysis.
    bool offer(double nowSeconds, std::vector<double> counts,
               std::optional<EnergyCalibration> calibration, PeakAnalysisOptions options);
    // Whether an offer at `nowSeconds` would be taken: ask first to spare the copy.
    bool due(double nowSeconds) const;
    // The newest analysis finished since the last call, once.
    std::optional<PeakAnalysis> take();
    // Whether an offer is waiting or being analysed.
    bool busy() const;
    std::uint64_t finishedCount() const;

private:
    struct Job {
        std::vector<double> counts;
        std::optional<EnergyCalibration> calibration;
        PeakAnalysisOptions options;
    };
    void run();

    const double interval_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Job> waiting_;
    std::optional<PeakAnalysis> finished_;
    std::optional<double> lastTaken_;
    bool running_ = false;
    bool stop_ = false;
    std::uint64_t finishedCount_ = 0;
    std::thread thread_; // last: starts once everything above exists
};

} // namespace tarvio
