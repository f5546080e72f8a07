#include "analysis/PeakSearchWorker.h"

namespace tarvio {

PeakSearchWorker::PeakSearchWorker(double intervalSeconds)
    : interval_(intervalSeconds), thread_([this] { run(); }) {}

PeakSearchWorker::~PeakSearchWorker() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        waiting_.reset();
    }
    wake_.notify_all();
    thread_.join();
}

bool PeakSearchWorker::offer(double nowSeconds, std::vector<double> counts,
                             std::optional<EnergyCalibration> calibration,
                             PeakAnalysisOptions options) {
    {
        std::lock_guard lock(mutex_);
        if (lastTaken_ && nowSeconds - *lastTaken_ < interval_)
            return false;
        lastTaken_ = nowSeconds;
        waiting_ = Job{std::move(counts), std::move(calibration), std::move(options)};
    }
    wake_.notify_one();
    return true;
}

bool PeakSearchWorker::due(double nowSeconds) const {
    std::lock_guard lock(mutex_);
    return !lastTaken_ || nowSeconds - *lastTaken_ >= interval_;
}

std::optional<PeakAnalysis> PeakSearchWorker::take() {
    std::lock_guard lock(mutex_);
    std::optional<PeakAnalysis> result = std::move(finished_);
    finished_.reset();
    return result;
}

bool PeakSearchWorker::busy() const {
    std::lock_guard lock(mutex_);
    return running_ || waiting_.has_value();
}

std::uint64_t PeakSearchWorker::finishedCount() const {
    std::lock_guard lock(mutex_);
    return finishedCount_;
}

void PeakSearchWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || waiting_.has_value(); });
        if (stop_)
            return;
        Job job = std::move(*waiting_);
        waiting_.reset();
        running_ = true;
        lock.unlock();
        PeakAnalysis analysis = analyzePeaks(job.counts, job.calibration, job.options);
        lock.lock();
        running_ = false;
        finished_ = std::move(analysis);
        ++finishedCount_;
    }
}

} // namespace tarvio
