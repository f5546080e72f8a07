#pragma once
// One open interface. Large (about a megabyte of buffers), so it only ever lives on the heap.

#include "driver/Driver.h"
#include "link/CommandResponse.h"
#include "link/DeviceLink.h"
#include "link/ReceiveCache.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tarvio {

constexpr std::size_t RxBufferSize = 458984;     // a timed frame stream of four chips fits
constexpr std::size_t FrameBufferSize = 0x40000; // 4 chips x 65,536 pixels
constexpr std::size_t ChipIdTextSize = 65;       // 64 characters and the terminator

struct DeviceDescr {
    explicit DeviceDescr(DriverHandle handle);
    ~DeviceDescr() = default;
    DeviceDescr(const DeviceDescr&) = delete;
    DeviceDescr& operator=(const DeviceDescr&) = delete;

    // The buffers come zeroed from the allocator without being touched, so many open
    // descriptions cost address space rather than memory.
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    // Points idSource two characters past the first ':' of the description, or at the serial
    // number when there is none.
    void SetIdSource();

    DriverHandle handle;
    std::uint32_t deviceId = 0;
    std::uint32_t deviceType = 0;
    double wireBytesPerSecond = 0; // what the bridge carries to the host; 0: not known
    char description[DriverTextSize] = {};
    char serialNumber[DriverTextSize] = {};
    const char* idSource = serialNumber;
    char chipIdText[ChipIdTextSize] = {};
    std::uint8_t kind = 3;
    bool largeCounters = false;
    bool timepix = false;
    std::uint8_t chipCount = 0;
    std::uint8_t rxBuffer[RxBufferSize];
    std::int32_t rxCount = 0;
    ReceiveCache rxCache; // bytes read from the driver, not yet taken by the protocol
    DeviceLink configReport;
    std::uint32_t frameCounter = 0;
    QrxCommandResponse backgroundResponse;
    std::uint16_t frameBuffer[FrameBufferSize];
    double defaultTimeout = 0.5;
    std::int32_t defaultAttempts = 1;
    // Set once the driver has given the device up (link/InterfaceLoss.h); never cleared.
    std::atomic<bool> lost{false};
    // The queue of the lost device has failed once and been reported: it is not asked again.
    std::atomic<bool> lostQueueReported{false};
    // What the link has seen go wrong since opening: messages it could not take (damaged,
    // cut, unknown or answering another command), synchronisations, and the bytes those
    // skipped to find the pattern again. Read by a self-test; never reset.
    std::atomic<std::uint32_t> damagedMessages{0};
    std::atomic<std::uint32_t> syncCount{0};
    std::atomic<std::uint64_t> syncSkippedBytes{0};
};

// Pixels of all chips: chipCount x 65,536.
std::size_t PixelCount(const DeviceDescr& descr);
// Bytes of one frame stream of the interface's chips.
std::size_t StreamSize(const DeviceDescr& descr);

} // namespace tarvio
