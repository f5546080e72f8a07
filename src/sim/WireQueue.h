#pragma once
// The interface's side of the USB pipe: messages wait here until the host reads them, and
// reach the host's receive queue one byte after another at the wire rate, each message no
// earlier than the moment it was sent. A rate of 0 delivers every byte at once (fast mode).
//
// A message may carry a pulse; when the host has read its last byte, the pulse counts as
// delivered, so the counts match what the host can have seen.
//
// The depth of the receive queue costs O(1) however long the backlog: a host that has fallen
// behind asks for it most often, and a walk over every queued message would only push it
// further behind.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <vector>

namespace tarvio {

class WireQueue {
public:
    static constexpr double Never = std::numeric_limits<double>::infinity();
    static constexpr std::int32_t NoPulse = -1;

    explicit WireQueue(double bytesPerSecond = 0) : rate_(bytesPerSecond) {}

    // Queues a message that may start on the wire at `readyAt` (after the previous one).
    // `pulseHeight` is the height of a whole pulse the message carries, or NoPulse.
    void push(std::vector<std::uint8_t> bytes, double readyAt, std::int32_t pulseHeight = NoPulse);

    // Bytes that have reached the host's receive queue by `now` and are not yet read. Bytes
    // that have arrived stay arrived, also for an earlier `now`.
    std::size_t available(double now);
    // Moment at which `count` unread bytes will have arrived; Never when fewer are queued.
    double arrivalOf(std::size_t count) const;
    // Moment at which the wire has carried everything queued (now when nothing is).
    double idleAt(double now) const;
    // Queued bytes not yet read, arrived or not.
    std::size_t pending() const { return pending_; }

    // Reads up to `count` arrived bytes; `delivered` is called with the height of every pulse
    // whose last byte was read.
    std::size_t read(std::uint8_t* out, std::size_t count, double now,
                     const std::function<void(std::uint16_t)>& delivered);

    // Forgets everything queued (a purge of the receive buffer); pulses in it are not delivered.
    void clear();

private:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        double start = 0; // moment its first byte starts on the wire
        std::size_t offset = 0;
        std::int32_t pulseHeight = NoPulse;
    };
    // Bytes of a chunk that have arrived by now, counted from its start.
    std::size_t arrivedOf(const Chunk& chunk, double now) const;

    double rate_;
    std::deque<Chunk> chunks_;
    std::size_t pending_ = 0;
    // The first `arrived_` chunks have reached the receive queue whole; `arrivedUnread_` is
    // what of them the host has not read yet.
    std::size_t arrived_ = 0;
    std::size_t arrivedUnread_ = 0;
};

} // namespace tarvio
