#pragma once
// The receive side of a USB byte pipe: a reader thread pulls chunks from the device into a
// bounded ring buffer, so that asking how many bytes are waiting is a cheap, truthful look at
// memory, and reads are served from memory while honouring the pipe's read timeout.
//
// Independent of any USB library: the device is reached through a Source callable, which
// lets tests drive the buffer with a fake device.

#include "driver/Driver.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvio {

// What one pull from the device gave: bytes placed in the chunk, or that the device is gone.
struct RxChunk {
    std::size_t bytes = 0;
    bool lost = false;
};

class RxBuffer {
public:
    // Fills up to `capacity` bytes of `chunk`. Must return within a short bounded time even
    // when nothing arrives (stop() waits for it); returns lost = true once the device is gone.
    using Source = std::function<RxChunk(std::uint8_t* chunk, std::size_t capacity)>;

    static constexpr std::size_t DefaultCapacity = std::size_t{1} << 21; // 2 MiB
    static constexpr std::size_t DefaultChunk = 16384;

    // Starts the reader thread at once.
    explicit RxBuffer(Source source, std::size_t capacity = DefaultCapacity,
                      std::size_t chunk = DefaultChunk);
    ~RxBuffer();
    RxBuffer(const RxBuffer&) = delete;
    RxBuffer& operator=(const RxBuffer&) = delete;

    // Stops and joins the reader thread; bytes already buffered can still be read. Idempotent.
    void stop();

    // Bytes waiting. Fails with DRV_IO_ERROR only once the device is gone and nothing is left.
    DriverStatus queued(std::uint32_t& bytes);

    // Returns when `count` bytes were copied or `timeoutSeconds` (measured on timeSource())
    // ran out, then with fewer bytes and DRV_OK. A lost device ends the wait at once: the
    // bytes still buffered are delivered first, DRV_IO_ERROR follows when there are none.
    DriverStatus read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                      double timeoutSeconds);

    // Drops every byte the device sent before the purge and none it sends after: parks the
    // reader (a pull in progress returns first), runs `flushDevice` to empty the device's own
    // buffer, empties this one and lets the reader go on. Waits at most one pull.
    void purge(const std::function<void()>& flushDevice = {});

    bool lost() const;

private:
    void run();
    std::size_t takeLocked(std::uint8_t* target, std::size_t count);

    Source source_;
    std::size_t chunk_;
    mutable std::mutex mutex_;
    std::condition_variable spaceFreed_; // wakes the reader: room, a purge done, a stop
    std::condition_variable pullEnded_;  // wakes a purge waiting for the reader to park
    std::vector<std::uint8_t> ring_;
    std::size_t head_ = 0; // oldest byte
    std::size_t size_ = 0;
    int parkRequests_ = 0; // purges in progress: the reader starts no pull meanwhile
    bool pulling_ = false;
    bool lost_ = false;
    bool stopping_ = false;
    std::thread reader_;
};

} // namespace tarvio
