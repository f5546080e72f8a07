#include "driver/RxBuffer.h"

#include "driver/TimeSource.h"

#include <algorithm>
#include <cstring>

namespace tarvio {

namespace {
// How often a waiting read looks for new bytes; short against the pipe's 1 s timeout.
constexpr double PollInterval = 0.001;
} // namespace

RxBuffer::RxBuffer(Source source, std::size_t capacity, std::size_t chunk)
    : source_(std::move(source)), chunk_(std::max<std::size_t>(chunk, 1)),
      ring_(std::max(capacity, chunk_)) {
    reader_ = std::thread([this] { run(); });
}

RxBuffer::~RxBuffer() {
    stop();
}

void RxBuffer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    spaceFreed_.notify_all();
    if (reader_.joinable()) {
        reader_.join();
    }
}

void RxBuffer::run() {
    std::vector<std::uint8_t> chunk(chunk_);
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            // Back-pressure: leave the bytes in the device until there is room for a whole
            // chunk, rather than dropping any.
            spaceFreed_.wait(lock, [&] {
                return stopping_ || (parkRequests_ == 0 && ring_.size() - size_ >= chunk_);
            });
            if (stopping_) {
                return;
            }
            pulling_ = true;
        }
        const RxChunk got = source_(chunk.data(), chunk.size());
        {
            std::lock_guard lock(mutex_);
            pulling_ = false;
            // Kept even when a purge waits: they came before its flush, which drops them.
            // Only this thread adds bytes, so the room seen above is still there.
            const std::size_t n = std::min({got.bytes, chunk_, ring_.size() - size_});
            const std::size_t tail = (head_ + size_) % ring_.size();
            const std::size_t first = std::min(n, ring_.size() - tail);
            std::memcpy(ring_.data() + tail, chunk.data(), first);
            std::memcpy(ring_.data(), chunk.data() + first, n - first);
            size_ += n;
            lost_ = lost_ || got.lost;
        }
        pullEnded_.notify_all();
        if (got.lost) {
            return;
        }
    }
}

std::size_t RxBuffer::takeLocked(std::uint8_t* target, std::size_t count) {
    const std::size_t n = std::min(count, size_);
    const std::size_t first = std::min(n, ring_.size() - head_);
    std::memcpy(target, ring_.data() + head_, first);
    std::memcpy(target + first, ring_.data(), n - first);
    head_ = (head_ + n) % ring_.size();
    size_ -= n;
    return n;
}

DriverStatus RxBuffer::queued(std::uint32_t& bytes) {
    std::lock_guard lock(mutex_);
    bytes = static_cast<std::uint32_t>(std::min<std::size_t>(size_, UINT32_MAX));
    return (lost_ && size_ == 0) ? DRV_IO_ERROR : DRV_OK;
}

DriverStatus RxBuffer::read(std::uint8_t* buffer, std::uint32_t count, std::uint32_t& bytesRead,
                            double timeoutSeconds) {
    bytesRead = 0;
    if (count == 0) {
        return DRV_OK;
    }
    const double deadline = timeSource().now() + std::max(timeoutSeconds, 0.0);
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            const std::size_t got = takeLocked(buffer + bytesRead, count - bytesRead);
            bytesRead += static_cast<std::uint32_t>(got);
            if (got > 0) {
                spaceFreed_.notify_one();
            }
            if (bytesRead == count) {
                return DRV_OK;
            }
            if (lost_) {
                return bytesRead > 0 ? DRV_OK : DRV_IO_ERROR;
            }
        }
        if (timeSource().now() >= deadline) {
            return DRV_OK;
        }
        timeSource().sleepFor(PollInterval);
    }
}

void RxBuffer::purge(const std::function<void()>& flushDevice) {
    std::unique_lock lock(mutex_);
    ++parkRequests_;
    pullEnded_.wait(lock, [&] { return !pulling_; });
    lock.unlock();
    // The reader is parked: nothing is in flight between the device and this buffer.
    if (flushDevice) {
        flushDevice();
    }
    lock.lock();
    head_ = 0;
    size_ = 0;
    --parkRequests_;
    lock.unlock();
    spaceFreed_.notify_all();
}

bool RxBuffer::lost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

} // namespace tarvio
