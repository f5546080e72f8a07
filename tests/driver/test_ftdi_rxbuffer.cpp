#include "driver/RxBuffer.h"
#include "driver/TimeSource.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

using namespace tarvio;

namespace {

// A device whose bytes the test hands in; pulls return after a short real-time wait when
// nothing is pending, as a USB read with a poll timeout would.
class FakeDevice {
public:
    void feed(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard lock(mutex_);
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        changed_.notify_all();
    }
    void unplug() {
        std::lock_guard lock(mutex_);
        unplugged_ = true;
        changed_.notify_all();
    }
    // While held, a pull that finds bytes waits (inside the pull) until released.
    void holdPulls(bool hold) {
        std::lock_guard lock(mutex_);
        held_ = hold;
        changed_.notify_all();
    }
    std::size_t pending() {
        std::lock_guard lock(mutex_);
        return pending_.size();
    }
    bool pullWaitingOnHold() {
        std::lock_guard lock(mutex_);
        return waitingOnHold_;
    }
    RxBuffer::Source source() {
        return [this](std::uint8_t* chunk, std::size_t capacity) { return pull(chunk, capacity); };
    }

private:
    RxChunk pull(std::uint8_t* chunk, std::size_t capacity) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(2),
                          [&] { return !pending_.empty() || unplugged_; });
        if (!pending_.empty() && held_) {
            waitingOnHold_ = true;
            changed_.wait(lock, [&] { return !held_; });
            waitingOnHold_ = false;
        }
        if (pending_.empty()) {
            return {0, unplugged_};
        }
        const std::size_t n = std::min(capacity, pending_.size());
        std::copy_n(pending_.begin(), n, chunk);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(n));
        return {n, false};
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::uint8_t> pending_;
    bool unplugged_ = false;
    bool held_ = false;
    bool waitingOnHold_ = false;
};

// Waits in real time (bounded) for the reader thread to reach a state.
bool eventually(const std::function<bool()>& condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

std::uint32_t queuedOf(RxBuffer& rx) {
    std::uint32_t n = 0;
    rx.queued(n);
    return n;
}

std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t start = 0) {
    std::vector<std::uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

} // namespace

TEST(RxBuffer, bytesArrivingInPieces_areQueuedAndReadInOrder) {
    FakeDevice device;
    RxBuffer rx(device.source(), 4096, 64);
    const auto bytes = pattern(1000);
    for (std::size_t at = 0; at < bytes.size(); at += 300) {
        device.feed({bytes.begin() + static_cast<long>(at),
                     bytes.begin() + static_cast<long>(std::min(at + 300, bytes.size()))});
    }
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 1000; }));
    std::vector<std::uint8_t> got(1000);
    std::uint32_t n = 0;
    EXPECT_EQ(rx.read(got.data(), 400, n, 1.0), DRV_OK);
    EXPECT_EQ(n, 400u);
    EXPECT_EQ(queuedOf(rx), 600u);
    EXPECT_EQ(rx.read(got.data() + 400, 600, n, 1.0), DRV_OK);
    EXPECT_EQ(n, 600u);
    EXPECT_EQ(got, bytes);
    EXPECT_EQ(queuedOf(rx), 0u);
}

TEST(RxBuffer, fewerBytesThanAsked_readWaitsOutItsTimeoutAndReturnsThem) {
    ManualTimeSource clock;
    ScopedTimeSource scoped(clock);
    FakeDevice device;
    RxBuffer rx(device.source(), 4096, 64);
    device.feed({1, 2, 3});
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 3; }));
    std::uint8_t got[10] = {};
    std::uint32_t n = 99;
    const double start = clock.now();
    EXPECT_EQ(rx.read(got, 10, n, 1.0), DRV_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(got[2], 3);
    EXPECT_GE(clock.now() - start, 1.0);
    EXPECT_LT(clock.now() - start, 1.1);

    // Enough bytes waiting: no waiting at all.
    device.feed(pattern(10));
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 10; }));
    const double before = clock.now();
    EXPECT_EQ(rx.read(got, 10, n, 1.0), DRV_OK);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(clock.now(), before);
}

TEST(RxBuffer, deviceUnplugged_deliversWhatWasBufferedThenFailsAtOnce) {
    ManualTimeSource clock;
    ScopedTimeSource scoped(clock);
    FakeDevice device;
    RxBuffer rx(device.source(), 4096, 64);
    device.feed(pattern(5));
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 5; }));
    device.unplug();
    ASSERT_TRUE(eventually([&] { return rx.lost(); }));

    std::uint32_t queued = 0;
    EXPECT_EQ(rx.queued(queued), DRV_OK);
    EXPECT_EQ(queued, 5u);
    std::uint8_t got[10];
    std::uint32_t n = 0;
    const double start = clock.now();
    EXPECT_EQ(rx.read(got, 10, n, 1.0), DRV_OK);
    EXPECT_EQ(n, 5u);
    EXPECT_EQ(rx.read(got, 10, n, 1.0), DRV_IO_ERROR);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(clock.now(), start) << "a lost device must not make reads wait";
    EXPECT_EQ(rx.queued(queued), DRV_IO_ERROR);
    EXPECT_EQ(queued, 0u);
}

TEST(RxBuffer, purge_dropsQueuedBytesAndTheChunkBeingFetched) {
    FakeDevice device;
    RxBuffer rx(device.source(), 4096, 64);
    device.feed(pattern(20));
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 20; }));
    rx.purge();
    EXPECT_EQ(queuedOf(rx), 0u);

    // Stale bytes already inside a pull when the purge happens must not surface after it.
    device.holdPulls(true);
    device.feed({0xEE, 0xEE});
    ASSERT_TRUE(eventually([&] { return device.pullWaitingOnHold(); }));
    // The purge waits for the pull in progress to end; released a moment later.
    std::thread release([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        device.holdPulls(false);
    });
    rx.purge();
    release.join();
    ASSERT_TRUE(eventually([&] { return device.pending() == 0; }));
    device.feed({7, 8, 9});
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) >= 3; }));
    std::uint8_t got[8] = {};
    std::uint32_t n = 0;
    EXPECT_EQ(rx.read(got, 8, n, 0.0), DRV_OK);
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(got[0], 7);
    EXPECT_EQ(got[2], 9);
}

TEST(RxBuffer, deviceFasterThanReader_losesNothingAndStaysWithinCapacity) {
    FakeDevice device;
    RxBuffer rx(device.source(), 256, 64);
    std::vector<std::uint8_t> bytes(20000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    device.feed(bytes);
    std::vector<std::uint8_t> got;
    std::uint8_t piece[100];
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < bytes.size() && std::chrono::steady_clock::now() < end) {
        ASSERT_LE(queuedOf(rx), 256u);
        std::uint32_t n = 0;
        ASSERT_EQ(rx.read(piece, sizeof piece, n, 0.05), DRV_OK);
        got.insert(got.end(), piece, piece + n);
    }
    EXPECT_EQ(got, bytes);
}

TEST(RxBuffer, stopWhileTheBufferIsFull_returnsAndKeepsTheBufferedBytes) {
    FakeDevice device;
    RxBuffer rx(device.source(), 16, 16);
    device.feed(pattern(100));
    ASSERT_TRUE(eventually([&] { return queuedOf(rx) == 16; }));
    rx.stop(); // the reader is waiting for room; stop must still end it
    rx.stop();
    std::uint8_t got[16];
    std::uint32_t n = 0;
    EXPECT_EQ(rx.read(got, 16, n, 0.0), DRV_OK);
    EXPECT_EQ(n, 16u);
    EXPECT_EQ(got[15], 15);
}

namespace {

// A chip as the host meets it: a pull returns only at the chip's next latency tick, with
// whatever the chip holds by then.
class TickingDevice {
public:
    explicit TickingDevice(std::chrono::microseconds tick) : tick_(tick) {}
    void send(std::uint8_t byte) {
        std::lock_guard lock(mutex_);
        held_.push_back(byte);
    }
    void flush() {
        std::lock_guard lock(mutex_);
        held_.clear();
    }
    RxBuffer::Source source() {
        return [this](std::uint8_t* chunk, std::size_t capacity) {
            std::this_thread::sleep_for(tick_);
            std::lock_guard lock(mutex_);
            const std::size_t n = std::min(capacity, held_.size());
            std::copy_n(held_.begin(), n, chunk);
            held_.erase(held_.begin(), held_.begin() + static_cast<long>(n));
            return RxChunk{n, false};
        };
    }

private:
    std::chrono::microseconds tick_;
    std::mutex mutex_;
    std::deque<std::uint8_t> held_;
};

} // namespace

TEST(RxBuffer, replyRightAfterAPurge_isDeliveredAndNothingOlderIs) {
    TickingDevice device(std::chrono::microseconds(2000));
    RxBuffer rx(device.source(), 4096, 64);
    for (std::uint8_t round = 1; round <= 20; ++round) {
        SCOPED_TRACE(round);
        device.send(0xEE); // stale: sent before the purge
        rx.purge([&] { device.flush(); });
        device.send(round); // the reply, a moment after the purge, inside the next tick
        std::uint8_t got[2] = {};
        std::uint32_t n = 0;
        ASSERT_EQ(rx.read(got, 1, n, 0.5), DRV_OK);
        ASSERT_EQ(n, 1u);
        ASSERT_EQ(got[0], round);
        ASSERT_EQ(queuedOf(rx), 0u);
    }
}
