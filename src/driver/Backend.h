#pragma once
// What a backend of the driver layer implements. A backend is one class: install it with
// installBackend() and its devices join the list; nothing else changes.

#include "driver/Driver.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarvio {

struct DriverDeviceInfo {
    std::uint32_t type = 0;
    std::uint32_t id = 0; // vendor id << 16 | product id
    std::string serialNumber;
    std::string description;
    double wireBytesPerSecond = 0; // nominal rate towards the host; 0: not known
};

// One open device. Calls come from one thread at a time per device (the link lock), except
// that close() may follow the last call of another thread.
class DriverDevice {
public:
    virtual ~DriverDevice() = default;
    virtual DriverStatus purge(std::uint32_t mask) = 0;
    virtual DriverStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    virtual DriverStatus deviceInfo(DriverDeviceInfo& info) = 0;
    virtual DriverStatus queueStatus(std::uint32_t& rxBytes) = 0;
    virtual DriverStatus read(std::uint8_t* buffer, std::uint32_t count,
                              std::uint32_t& bytesRead) = 0;
    virtual DriverStatus write(const std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t& bytesWritten) = 0;
    virtual DriverStatus close() = 0;
    // Whether the device is gone for good (unplugged, or failing past every retry): its
    // failures will not heal, and only a close is worth making.
    virtual bool lost() const { return false; }
};

class DriverBackend {
public:
    virtual ~DriverBackend() = default;
    // Lower ranks are listed first: real hardware before the simulated interface.
    virtual int rank() const = 0;
    // Descriptions of the devices this backend offers now, in a stable order.
    virtual DriverStatus enumerate(std::vector<std::string>& descriptions) = 0;
    virtual DriverStatus open(const std::string& description,
                              std::unique_ptr<DriverDevice>& device) = 0;
};

// Notices of backends that the driver statuses cannot carry: devices present but not usable
// (no access, unreadable), settings that could not be made. Any thread may post; the owner of
// the log takes them. Bounded: beyond MaxDriverNotices the oldest go.
constexpr std::size_t MaxDriverNotices = 64;
void PostDriverNotice(std::string text);

// Adds a backend to the list (kept in rank order, then order of installation).
void installBackend(std::shared_ptr<DriverBackend> backend);
// Removes one backend; its open devices stay usable until closed.
void removeBackend(const std::shared_ptr<DriverBackend>& backend);
// Removes every backend (tests).
void removeAllBackends();

} // namespace tarvio
