#include "listmode/TimeHistory.h"

#include "listmode/Replay.h"

#include <algorithm>

namespace tarvio {

TimeHistory::TimeHistory(std::size_t rows, std::int64_t rowNs)
    : capacity_(std::max<std::size_t>(rows, 2)), rowNs_(std::max<std::int64_t>(rowNs, 1)),
      counts_(capacity_ * Channels, 0), counted_(capacity_, 0), pulses_(capacity_, 0) {}

void TimeHistory::clear() {
    std::fill(counts_.begin(), counts_.end(), 0);
    std::fill(counted_.begin(), counted_.end(), 0);
    std::fill(pulses_.begin(), pulses_.end(), 0);
    used_ = 0;
    endNs_ = 0;
}

void TimeHistory::coarsen() {
    // Rows 2k and 2k+1 become row k.
    for (std::size_t k = 0; k < capacity_ / 2; ++k) {
        std::uint32_t* to = counts_.data() + k * Channels;
        const std::uint32_t* a = counts_.data() + 2 * k * Channels;
        const std::uint32_t* b = a + Channels;
        for (std::uint32_t c = 0; c < Channels; ++c)
            to[c] = a[c] + b[c];
        counted_[k] = counted_[2 * k] + counted_[2 * k + 1];
        pulses_[k] = pulses_[2 * k] + pulses_[2 * k + 1];
    }
    const std::size_t half = capacity_ / 2;
    std::fill(counts_.begin() + static_cast<std::ptrdiff_t>(half * Channels), counts_.end(), 0);
    std::fill(counted_.begin() + static_cast<std::ptrdiff_t>(half), counted_.end(), 0);
    std::fill(pulses_.begin() + static_cast<std::ptrdiff_t>(half), pulses_.end(), 0);
    rowNs_ *= 2;
}

void TimeHistory::advanceTo(std::int64_t ns) {
    if (ns < 0)
        return;
    while (ns / rowNs_ >= static_cast<std::int64_t>(capacity_))
        coarsen();
    endNs_ = std::max(endNs_, ns);
    used_ = std::max(used_, static_cast<std::size_t>(endNs_ / rowNs_) + 1);
}

void TimeHistory::add(std::int64_t ns, double height, std::uint32_t flags) {
    if (ns < 0)
        return;
    advanceTo(ns);
    const auto r = static_cast<std::size_t>(ns / rowNs_);
    ++pulses_[r];
    if (!countedInSpectrum(flags) || !(height >= 0.0) || height >= Channels)
        return;
    std::uint32_t& count = counts_[r * Channels + static_cast<std::uint32_t>(height)];
    if (count < UINT32_MAX)
        ++count;
    ++counted_[r];
}

double TimeHistory::rate(std::size_t r) const {
    if (r >= used_)
        return 0.0;
    const std::int64_t start = static_cast<std::int64_t>(r) * rowNs_;
    const std::int64_t length = std::min(rowNs_, std::max<std::int64_t>(endNs_ - start, 1));
    return static_cast<double>(pulses_[r]) / (static_cast<double>(length) * 1e-9);
}

TimeHistory timeHistoryOf(ListFileReader& reader, std::size_t rows) {
    const ListFileInfo& info = reader.info();
    // Rows of whole seconds (or finer for a short recording) that cover it at once.
    const std::int64_t length = std::max<std::int64_t>(info.recordedUntilNs, 1);
    std::int64_t rowNs = 1'000'000;
    while (rowNs * static_cast<std::int64_t>(rows) <= length)
        rowNs *= 2;
    TimeHistory history(rows, rowNs);
    reader.forEach(TimeRange{}, [&](const ListEvents& events) {
        for (std::size_t i = 0; i < events.count; ++i)
            history.add(events.timeNs[i], events.height[i], events.flags[i]);
    });
    history.advanceTo(info.recordedUntilNs);
    return history;
}

LiveTimeHistory::LiveTimeHistory(std::size_t queue) : queue_(queue, 0) {}

void LiveTimeHistory::measurementStarted(const MeasurementInfo& /*info*/) {
    generation_.fetch_add(1, std::memory_order_release);
}

void LiveTimeHistory::pulse(const PulseEvent& event) {
    if (!queue_.push(event))
        dropped_.fetch_add(1, std::memory_order_relaxed);
}

const TimeHistory& LiveTimeHistory::update(std::int64_t nowNs) {
    const std::uint64_t generation = generation_.load(std::memory_order_acquire);
    if (generation != seenGeneration_) {
        seenGeneration_ = generation;
        history_.clear();
    }
    for (;;) {
        const EventRing::Run run = queue_.peek(queue_.capacity());
        if (run.count == 0)
            break;
        for (std::size_t i = 0; i < run.count; ++i)
            history_.add(run.timeNs[i], run.height[i], run.flags[i]);
        queue_.release(run.count);
    }
    history_.advanceTo(nowNs);
    return history_;
}

} // namespace tarvio
