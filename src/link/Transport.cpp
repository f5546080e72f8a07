#include "link/Transport.h"

#include "driver/TimeSource.h"
#include "link/DeviceDescr.h"
#include "link/InterfaceLoss.h"
#include "link/Interfaces.h"
#include "link/Locks.h"
#include "link/PrecisionClock.h"
#include "link/Report.h"
#include "link/TransportLimits.h"

#include <algorithm>
#include <cstring>

namespace tarvio {

namespace {

constexpr double DefaultWaitTimeout = 1.5;

// The driver handle of the link's interface. A link whose interface is gone is reported and
// never touched: its description may already be freed.
bool linkedHandle(DeviceLink& link, DriverHandle& handle) {
    if (!IsRegistered(link.device)) {
        Report(link, ErrorCode::BadDeviceHandle, "Invalid device handle.");
        return false;
    }
    handle = link.device->handle;
    return true;
}

// The deadlines and poll interval shared by the three waits.
struct WaitClock {
    double deadline;
    double gap;
    double gapDeadline;
    double pollInterval;
    double hardLimit; // ends a wait on a stream that never stops flowing

    WaitClock(double timeout, double gapSeconds) {
        const double start = PrecisionClock::instance().Now();
        const double effective = timeout > 0 ? timeout : DefaultWaitTimeout;
        deadline = start + effective;
        gap = gapSeconds;
        gapDeadline = start + gapSeconds;
        pollInterval = gapSeconds > 0 && gapSeconds < 0.03 ? 0.0 : 0.01;
        hardLimit = deadline + FlowingStreamGrace;
    }

    // Called while the queue is empty: false when a time limit has passed or nothing more can
    // come (the interface is lost), else sleeps.
    bool idle(const DeviceLink& link) const {
        if (InterfaceLost(link)) {
            return false;
        }
        const double now = PrecisionClock::instance().Now();
        if (now > deadline || (gap > 0 && now > gapDeadline)) {
            return false;
        }
        timeSource().sleepFor(pollInterval);
        return true;
    }

    // Called for each received byte: false when bytes have kept flowing far past the deadline.
    bool flowing() const { return PrecisionClock::instance().Now() <= hardLimit; }

    void restartGap() {
        if (gap > 0) {
            gapDeadline = PrecisionClock::instance().Now() + gap;
        }
    }
};

} // namespace

std::uint32_t QueueDepth(DeviceLink& link) {
    QrxStatLeveler level(link);
    DriverHandle handle = 0;
    if (!linkedHandle(link, handle)) {
        return 0;
    }
    DeviceDescr& descr = *link.device;
    ReceiveCache& cache = descr.rxCache;
    // Bytes read ahead are waiting too; the driver is asked again once they are used up.
    if (const std::uint32_t cached = cache.size()) {
        return cached;
    }
    if (descr.lostQueueReported.load(std::memory_order_acquire)) {
        return 0; // reported once; polling a lost device again would flood the log
    }
    std::uint32_t rx = 0;
    const DriverStatus status = DriverGetStatus(handle, &rx, nullptr, nullptr);
    if (status != DRV_OK) {
        Report(link, ErrorCode::DeviceNotResponding, "Can't determine queue depth - %s",
               StatusText(status));
        cache.driverQueued = 0;
        if (NoteDriverFailure(link)) {
            descr.lostQueueReported.store(true, std::memory_order_release);
        }
        return 0;
    }
    cache.driverQueued = rx;
    return rx;
}

namespace {

// One driver read; false (reported) on a failing status.
bool driverRead(DeviceLink& link, DriverHandle handle, std::uint8_t* out, std::uint32_t count,
                std::uint32_t& read) {
    read = 0;
    const DriverStatus status = DriverRead(handle, out, count, &read);
    if (status != DRV_OK) {
        Report(link, ErrorCode::DeviceNotResponding, "Can't receive - %s", StatusText(status));
        NoteDriverFailure(link);
        read = 0;
        return false;
    }
    read = std::min(read, count); // a driver never returns more than asked; hold the bound
    ReceiveCache& cache = link.device->rxCache;
    cache.driverQueued -= std::min(cache.driverQueued, read);
    return true;
}

} // namespace

std::uint32_t Receive(DeviceLink& link, void* buffer, std::uint32_t count, std::uint32_t size) {
    if (!buffer) {
        return 0;
    }
    // The common case under a flood, taken first: the bytes were read ahead, and nothing can
    // fail or be reported.
    if (count > 0 && IsRegistered(link.device)) {
        const std::uint32_t wanted = size > 0 ? std::min(count, size) : count;
        ReceiveCache& cache = link.device->rxCache;
        if (cache.size() >= wanted) {
            auto* out = static_cast<std::uint8_t*>(buffer);
            cache.take(out, wanted);
            if (size == 0 || wanted < size) {
                out[wanted] = 0;
            }
            return wanted;
        }
    }
    QrxStatLeveler level(link);
    if (count == 0) {
        count = QueueDepth(link);
    }
    if (size == 0) {
        size = count + 1;
    } else if (count > size) {
        count = size;
    }
    if (count == 0) {
        return 0;
    }
    DriverHandle handle = 0;
    if (!linkedHandle(link, handle)) {
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(buffer);
    ReceiveCache& cache = link.device->rxCache;
    std::uint32_t got = cache.take(out, count);
    bool failed = false;
    if (got < count && cache.driverQueued >= count - got && count - got < ReceiveCache::Capacity) {
        // What is still wanted is already queued: take everything queued in one read.
        std::uint32_t read = 0;
        const std::uint32_t all = std::min(cache.driverQueued, ReceiveCache::Capacity);
        failed = !driverRead(link, handle, cache.space(), all, read);
        cache.filled(read);
        got += cache.take(out + got, count - got);
    }
    if (got < count && !failed) {
        // The rest straight from the driver, which waits for it up to its read timeout.
        std::uint32_t read = 0;
        failed = !driverRead(link, handle, out + got, count - got, read);
        got += read;
    }
    if (failed && got == 0) {
        return 0;
    }
    if (got < size) {
        out[got] = 0;
    }
    return got;
}

std::uint32_t Transmit(DeviceLink& link, const void* bytes, std::uint32_t length) {
    QrxStatLeveler level(link);
    if (!bytes) {
        return 0;
    }
    if (length == 0) {
        length = static_cast<std::uint32_t>(std::strlen(static_cast<const char*>(bytes)));
    }
    DriverHandle handle = 0;
    if (!linkedHandle(link, handle)) {
        return 0;
    }
    std::uint32_t written = 0;
    const DriverStatus status = DriverWrite(handle, bytes, length, &written);
    if (status != DRV_OK) {
        Report(link, ErrorCode::TransmissionFailed, "Can't transmit - %s", StatusText(status));
        NoteDriverFailure(link);
        return 0;
    }
    return written > length ? length : written;
}

std::int32_t WaitForByte(DeviceLink& link, std::uint8_t byte, double timeout, double gap) {
    QrxStatLeveler level(link);
    const WaitClock clock(timeout, gap);
    std::int32_t skipped = 0;
    for (;;) {
        if (QueueDepth(link) == 0) {
            if (!clock.idle(link)) {
                return -skipped;
            }
            continue;
        }
        std::uint8_t received = 0;
        if (Receive(link, &received, 1, 1) == 0) {
            return -skipped;
        }
        if (received == byte) {
            return skipped + 1;
        }
        ++skipped;
        if (!clock.flowing()) {
            return -skipped;
        }
    }
}

std::int32_t WaitForString(DeviceLink& link, const char* text, std::int32_t length, double timeout,
                           double gap) {
    QrxStatLeveler level(link);
    if (!text) {
        return 0;
    }
    if (length <= 0) {
        length = static_cast<std::int32_t>(std::strlen(text));
    }
    if (length == 0) {
        return 0;
    }
    const WaitClock clock(timeout, gap);
    std::int32_t total = 0;
    for (;;) {
        // Start of a match: skip to the first character.
        const double left = clock.deadline - PrecisionClock::instance().Now();
        const std::int32_t first = WaitForByte(link, static_cast<std::uint8_t>(text[0]), left, gap);
        if (first <= 0) {
            Report(link, ErrorCode::DeviceNotResponding, "Searched string not detected.");
            return -total;
        }
        total += first;
        if (!clock.flowing()) {
            return -total;
        }
        std::int32_t matched = 1;
        bool restart = false;
        while (matched < length && !restart) {
            if (QueueDepth(link) == 0) {
                if (!clock.idle(link)) {
                    return -total;
                }
                continue;
            }
            std::uint8_t received = 0;
            if (Receive(link, &received, 1, 1) == 0) {
                Report(link, ErrorCode::DeviceNotResponding, "Searched string not detected.");
                return -total;
            }
            ++total;
            if (received == static_cast<std::uint8_t>(text[matched])) {
                ++matched;
            } else {
                // The mismatching byte is not looked at again as a first character.
                restart = true;
            }
        }
        if (!restart) {
            return total;
        }
    }
}

std::int32_t ReceiveUntil(DeviceLink& link, void* buffer, std::int32_t size,
                          std::uint8_t terminator, double timeout, double gap) {
    QrxStatLeveler level(link);
    if (!buffer || size <= 0) {
        return 0;
    }
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    WaitClock clock(timeout, gap);
    std::int32_t count = 0;
    for (;;) {
        if (QueueDepth(link) == 0) {
            if (!clock.idle(link)) {
                break;
            }
            continue;
        }
        if (Receive(link, bytes + count, 1, 1) == 0) {
            break;
        }
        clock.restartGap();
        if (bytes[count] == terminator) {
            if (count + 1 < size) {
                bytes[count + 1] = 0;
            }
            return count;
        }
        ++count;
        if (count >= size) {
            return -size;
        }
        if (!clock.flowing()) {
            break;
        }
    }
    bytes[count] = 0;
    return -count;
}

bool Synchronize(DeviceLink& link) {
    QrxStatLeveler level(link);
    // Bytes read ahead came before the blank: the pattern is searched for after them anyway.
    if (IsRegistered(link.device)) {
        link.device->rxCache.clear();
    }
    if (Transmit(link, " ", 1) != 1) {
        Report(link, ErrorCode::TransmissionFailed, "Can't synchronize");
        return false;
    }
    const std::int32_t consumed =
        WaitForString(link, SyncPattern, SyncPatternLength, DefaultWaitTimeout, 0);
    if (IsRegistered(link.device)) {
        // Beyond the echoed blank and the pattern, every byte consumed was skipped.
        link.device->syncCount.fetch_add(1, std::memory_order_relaxed);
        const std::int32_t skipped = (consumed < 0 ? -consumed : consumed - SyncPatternLength - 1);
        link.device->syncSkippedBytes.fetch_add(static_cast<std::uint64_t>(std::max(skipped, 0)),
                                                std::memory_order_relaxed);
    }
    if (consumed <= 0) {
        Report(link, ErrorCode::TimeoutError, "Synchronization failed");
        return false;
    }
    return true;
}

} // namespace tarvio
