#include "listmode/EventRing.h"

#include <algorithm>
#include <cstring>

namespace tarvio {

EventRing::EventRing(std::size_t capacity, std::uint32_t sampleWidth)
    : capacity_(std::max<std::size_t>(capacity, 1)), sampleWidth_(sampleWidth),
      timeNs_(new std::int64_t[capacity_]), height_(new double[capacity_]),
      flags_(new std::uint32_t[capacity_]), sampleCount_(new std::uint16_t[capacity_]()) {
    if (sampleWidth_ > 0)
        samples_.reset(new std::uint16_t[capacity_ * sampleWidth_]());
}

bool EventRing::push(const PulseEvent& event) {
    const std::uint64_t w = written_.load(std::memory_order_relaxed);
    if (w - read_.load(std::memory_order_acquire) >= capacity_)
        return false;
    const std::size_t slot = static_cast<std::size_t>(w % capacity_);
    timeNs_[slot] = event.receiveNs;
    height_[slot] = event.height;
    flags_[slot] = event.flags;
    if (samples_) {
        const std::uint32_t n = event.samples ? std::min(event.sampleCount, sampleWidth_) : 0;
        std::uint16_t* row = samples_.get() + slot * sampleWidth_;
        if (n > 0)
            std::memcpy(row, event.samples, n * sizeof(std::uint16_t));
        // A shorter pulse must not show the samples of the one before it.
        if (n < sampleWidth_)
            std::memset(row + n, 0, (sampleWidth_ - n) * sizeof(std::uint16_t));
        sampleCount_[slot] = static_cast<std::uint16_t>(n);
    }
    written_.store(w + 1, std::memory_order_release);
    return true;
}

EventRing::Run EventRing::peek(std::size_t most) const {
    const std::uint64_t r = read_.load(std::memory_order_relaxed);
    const std::uint64_t w = written_.load(std::memory_order_acquire);
    const std::size_t slot = static_cast<std::size_t>(r % capacity_);
    Run run;
    run.count = std::min({static_cast<std::size_t>(w - r), capacity_ - slot, most});
    run.timeNs = timeNs_.get() + slot;
    run.height = height_.get() + slot;
    run.flags = flags_.get() + slot;
    run.sampleCount = sampleCount_.get() + slot;
    if (samples_) {
        run.samples = samples_.get() + slot * sampleWidth_;
        run.sampleStride = sampleWidth_;
    }
    return run;
}

void EventRing::release(std::size_t count) {
    read_.fetch_add(count, std::memory_order_release);
}

std::size_t EventRing::filled() const {
    return static_cast<std::size_t>(written_.load(std::memory_order_acquire) -
                                    read_.load(std::memory_order_acquire));
}

} // namespace tarvio
