#pragma once
// The spectrum over time: one row of channel counts per interval from the start, and how
// many pulses each row saw, for a waterfall and a count-rate history. A fixed number of rows
// holds any length of measurement: when time runs past the last row, neighbouring rows are
// added together and each row covers twice as long. Single-threaded; LiveTimeHistory feeds
// one from the pulse seam.

#include "listmode/EventRing.h"
#include "listmode/ListFileReader.h"
#include "records/PulseEvent.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace tarvio {

class TimeHistory {
public:
    static constexpr std::size_t DefaultRows = 256;
    static constexpr std::int64_t DefaultRowNs = 1'000'000'000;

    explicit TimeHistory(std::size_t rows = DefaultRows, std::int64_t rowNs = DefaultRowNs);

    void clear();
    // A pulse as the live spectrum saw it: counted unless rejected or after a preset.
    void add(std::int64_t ns, double height, std::uint32_t flags);
    // Time has passed up to ns even without pulses (the rate falls to 0).
    void advanceTo(std::int64_t ns);

    std::size_t capacity() const { return capacity_; }
    // Rows with any time in them so far.
    std::size_t rows() const { return used_; }
    std::int64_t rowNs() const { return rowNs_; }
    std::int64_t endNs() const { return endNs_; }
    std::uint32_t channels() const { return Channels; }
    const std::uint32_t* row(std::size_t r) const { return counts_.data() + r * Channels; }
    std::uint64_t counted(std::size_t r) const { return counted_[r]; }
    // All pulses of the row, rejected ones too, per second of the row's time (the last row's
    // time so far).
    double rate(std::size_t r) const;

private:
    static constexpr std::uint32_t Channels = 4096;
    void coarsen();
    std::size_t capacity_;
    std::int64_t rowNs_;
    std::size_t used_ = 0;
    std::int64_t endNs_ = 0;
    std::vector<std::uint32_t> counts_;
    std::vector<std::uint64_t> counted_;
    std::vector<std::uint64_t> pulses_;
};

// The time history of a recording, over its whole length.
TimeHistory timeHistoryOf(ListFileReader& reader, std::size_t rows = TimeHistory::DefaultRows);

// The time history of the running measurement: a consumer on the pulse seam that only
// queues each pulse (lock-free, dropped when the queue is full); update() moves the queue
// into the history on the thread that draws it.
class LiveTimeHistory : public PulseConsumer {
public:
    explicit LiveTimeHistory(std::size_t queue = std::size_t{1} << 18);

    void measurementStarted(const MeasurementInfo& info) override;
    void pulse(const PulseEvent& event) override;

    // On the drawing thread: takes up the queued pulses; nowNs: the measurement's time now.
    const TimeHistory& update(std::int64_t nowNs);
    const TimeHistory& history() const { return history_; }
    std::uint64_t dropped() const { return dropped_.load(std::memory_order_relaxed); }

private:
    EventRing queue_;
    TimeHistory history_;
    std::atomic<std::uint64_t> generation_{0}; // bumped at every start
    std::uint64_t seenGeneration_ = 0;
    std::atomic<std::uint64_t> dropped_{0};
};

} // namespace tarvio
