#pragma once
// A fixed ring between one producer (the monitoring thread) and one consumer (the writer
// thread): the producer copies an event in or drops it when the ring is full, never waits
// and never allocates; the consumer reads whole runs of slots straight from the arrays,
// which are laid out as the file's datasets are, so that a run goes to the file uncopied.

#include "records/PulseEvent.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvio {

class EventRing {
public:
    // capacity events; sampleWidth samples kept per event (0: none).
    EventRing(std::size_t capacity, std::uint32_t sampleWidth);

    std::size_t capacity() const { return capacity_; }
    std::uint32_t sampleWidth() const { return sampleWidth_; }

    // Producer side. False when the ring is full (the event is not taken).
    bool push(const PulseEvent& event);

    // Consumer side: the run of filled slots from the read position up to the ring's end
    // (the rest follows in the next run), and their release once written.
    struct Run {
        std::size_t count = 0;
        const std::int64_t* timeNs = nullptr;
        const double* height = nullptr;
        const std::uint32_t* flags = nullptr;
        const std::uint16_t* sampleCount = nullptr;
        const std::uint16_t* samples = nullptr; // count rows of sampleStride, or null
        std::uint32_t sampleStride = 0;
    };
    Run peek(std::size_t most) const;
    void release(std::size_t count);
    std::size_t filled() const;

private:
    std::size_t capacity_;
    std::uint32_t sampleWidth_;
    std::unique_ptr<std::int64_t[]> timeNs_;
    std::unique_ptr<double[]> height_;
    std::unique_ptr<std::uint32_t[]> flags_;
    std::unique_ptr<std::uint16_t[]> sampleCount_;
    std::unique_ptr<std::uint16_t[]> samples_;
    // Counters that only grow; a slot is counter % capacity. Apart, so that the two threads
    // do not share a cache line.
    alignas(64) std::atomic<std::uint64_t> written_{0};
    alignas(64) std::atomic<std::uint64_t> read_{0};
};

} // namespace tarvio
