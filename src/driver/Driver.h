#pragma once
// The driver layer: the ten operations through which the link layer reaches a USB readout
// interface, each returning a 32-bit status (0 = success, 1..18 the published failures).
// Behind them sit backends (real interfaces over libftdi1, the simulated interface, the
// scripted test pipe); all their devices are presented as one list.

#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

using DriverStatus = std::uint32_t;
using DriverHandle = std::uint32_t; // 0 is never a valid handle

// The published status codes, in their published order.
enum : DriverStatus {
    DRV_OK = 0,
    DRV_INVALID_HANDLE = 1,
    DRV_DEVICE_NOT_FOUND = 2,
    DRV_DEVICE_NOT_OPENED = 3,
    DRV_IO_ERROR = 4,
    DRV_INSUFFICIENT_RESOURCES = 5,
    DRV_INVALID_PARAMETER = 6,
    DRV_INVALID_BAUD_RATE = 7,
    DRV_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    DRV_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    DRV_FAILED_TO_WRITE_DEVICE = 10,
    DRV_EEPROM_READ_FAILED = 11,
    DRV_EEPROM_WRITE_FAILED = 12,
    DRV_EEPROM_ERASE_FAILED = 13,
    DRV_EEPROM_NOT_PRESENT = 14,
    DRV_EEPROM_NOT_PROGRAMMED = 15,
    DRV_INVALID_ARGS = 16,
    DRV_NOT_SUPPORTED = 17,
    DRV_OTHER_ERROR = 18,
};

constexpr std::uint32_t DRV_PURGE_RX = 1;
constexpr std::uint32_t DRV_PURGE_TX = 2;
// Size of every text buffer the driver fills (description, serial number), NUL included.
constexpr std::uint32_t DriverTextSize = 64;

// Takes a snapshot of every backend's devices; `count` receives their number.
DriverStatus DriverCreateDeviceInfoList(std::uint32_t* count);
// Description of device `index` (from 0) of the last snapshot, into 64 bytes.
DriverStatus DriverGetDeviceInfoDetail(std::uint32_t index, char* description);
// Opens the first listed device whose description equals `description`.
DriverStatus DriverOpenByDescription(const char* description, DriverHandle* handle);
DriverStatus DriverPurge(DriverHandle handle, std::uint32_t mask);
DriverStatus DriverSetTimeouts(DriverHandle handle, std::uint32_t readMs, std::uint32_t writeMs);
// Any pointer may be null; the texts are 64-byte buffers.
DriverStatus DriverGetDeviceInfo(DriverHandle handle, std::uint32_t* type, std::uint32_t* id,
                                 char* serialNumber, char* description);
// The nominal rate at which the device's bytes reach the host; 0 when it does not say.
DriverStatus DriverGetWireRate(DriverHandle handle, double* bytesPerSecond);
// Bytes waiting in the receive queue; the transmit count and event status are always 0.
DriverStatus DriverGetStatus(DriverHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                             std::uint32_t* events);
// Returns when `count` bytes have arrived or the read timeout has run out (then with fewer).
DriverStatus DriverRead(DriverHandle handle, void* buffer, std::uint32_t count,
                        std::uint32_t* bytesRead);
// Returns the bytes written, fewer when the write timeout ends the write.
DriverStatus DriverWrite(DriverHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* bytesWritten);
DriverStatus DriverClose(DriverHandle handle);

// Whether the device behind an open handle is gone for good (see DriverDevice::lost); false
// for a handle that is not open.
bool DriverDeviceLost(DriverHandle handle);
// The notices backends posted since the last call, oldest first (see PostDriverNotice).
std::vector<std::string> DriverTakeNotices();

} // namespace tarvio
