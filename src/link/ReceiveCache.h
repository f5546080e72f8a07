#pragma once
// Bytes read from the driver ahead of need. The protocol reads terminators and patterns one
// byte at a time, and asking the driver for its queue depth before each byte costs a driver
// call per byte: under a flood of short pulses that is most of the work. The transport
// instead reads everything queued in one go into this cache and serves the bytes from it.
// Part of an interface's description, used under the link lock only.

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace tarvio {

class ReceiveCache {
public:
    static constexpr std::uint32_t Capacity = 64 * 1024;

    std::uint32_t size() const { return end_ - begin_; }

    // Moves up to `count` cached bytes to `out`; returns how many.
    std::uint32_t take(std::uint8_t* out, std::uint32_t count) {
        const std::uint32_t n = std::min(count, size());
        std::memcpy(out, bytes_ + begin_, n);
        begin_ += n;
        if (begin_ == end_) {
            begin_ = end_ = 0;
        }
        return n;
    }

    // Where a refill goes (only an empty cache is refilled), and how much of it was filled.
    std::uint8_t* space() { return bytes_; }
    void filled(std::uint32_t count) {
        begin_ = 0;
        end_ = std::min(count, Capacity);
    }

    // Forgets the cached bytes (a purge, or a resynchronisation skipping stale input).
    void clear() { begin_ = end_ = 0; }

    // Bytes the driver last said it holds, less those read from it since: a refill of at
    // most this many never waits for the driver's read timeout.
    std::uint32_t driverQueued = 0;

private:
    std::uint32_t begin_ = 0;
    std::uint32_t end_ = 0;
    std::uint8_t bytes_[Capacity];
};

} // namespace tarvio
