#include "link/Interfaces.h"

#include "link/InterfaceDetection.h"
#include "link/Locks.h"
#include "link/Report.h"

#include <atomic>
#include <cstring>

namespace tarvio {

namespace {

// Entries are written before the count is raised (release), and the monitoring thread reads
// the count with acquire, so it never sees a counted entry that is not yet written. Changes
// are made under the link lock, which also serialises them with Report.
std::atomic<DeviceDescr*> registry[MaxOpenInterfaces];
std::atomic<int> registryCount{0};

const char* filterPrefix(std::int32_t filter) {
    static constexpr const char* prefixes[] = {"", "Medipix2 ver ", "Medipix2 3V ver ",
                                               "Medipix2 "};
    return prefixes[filter & 3];
}

void copyText(char* target, std::size_t size, const char* source) {
    const std::size_t n = strnlen(source, size - 1);
    std::memcpy(target, source, n);
    target[n] = 0;
}

} // namespace

std::int32_t ListInterfaces(std::int32_t filter, char* out, std::int32_t outSize) {
    DeviceLink link;
    std::uint32_t count = 0;
    const DriverStatus status = DriverCreateDeviceInfoList(&count);
    if (status != DRV_OK) {
        Report(link, ErrorCode::DeviceNotResponding, "Can't create device info list: %s",
               StatusText(status));
        count = 0;
    }
    if (count == 0) {
        Report(link, ErrorCode::Message, "No compatible device connected.");
        return 0;
    }
    Report(link, ErrorCode::Message,
           "Connected devices (Number of all FTDI devices = %d):", static_cast<int>(count));

    bool storing = out != nullptr && outSize > 0;
    std::int64_t remaining = storing ? outSize : 0;
    char* next = out;
    if (storing) {
        out[0] = 0;
    }
    const char* prefix = filterPrefix(filter);
    const std::size_t prefixLength = std::strlen(prefix);
    std::int32_t compatible = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        char description[DriverTextSize] = {};
        const DriverStatus detail = DriverGetDeviceInfoDetail(i, description);
        if (detail != DRV_OK) {
            Report(link, ErrorCode::DeviceNotResponding,
                   "No device information details for %d-th device: %s", static_cast<int>(i),
                   StatusText(detail));
            continue;
        }
        description[DriverTextSize - 1] = 0;
        if (std::strncmp(description, prefix, prefixLength) != 0) {
            Report(link, ErrorCode::Message, "??: %s - Not Medipix", description);
            continue;
        }
        if (storing) {
            const std::size_t length = std::strlen(description) + 1;
            remaining -= static_cast<std::int64_t>(length);
            if (remaining >= 0) {
                std::memcpy(next, description, length);
                next += length;
            } else {
                storing = false; // this one and every later one are not stored
            }
        }
        ++compatible;
        Report(link, ErrorCode::Message, "%02d: %s", static_cast<int>(compatible), description);
    }
    return compatible;
}

DeviceDescr* OpenInterface(const char* description, bool detect, bool largeCounters) {
    DeviceLink link;
    DriverHandle handle = 0;
    const DriverStatus status = DriverOpenByDescription(description ? description : "", &handle);
    if (status != DRV_OK) {
        Report(link, ErrorCode::DeviceNotResponding, "%s", StatusText(status));
        return nullptr;
    }
    Report(link, ErrorCode::Message, "Device was opened succesfully");

    DeviceDescr* descr = nullptr;
    {
        QrxCriticalSection lock;
        const int count = registryCount.load(std::memory_order_relaxed);
        if (count >= MaxOpenInterfaces) {
            DriverClose(handle);
            Report(link, ErrorCode::GeneralError,
                   "Too many open interfaces (%d); \"%s\" was closed again.", MaxOpenInterfaces,
                   description);
            return nullptr;
        }
        descr = new DeviceDescr(handle);
        registry[count].store(descr, std::memory_order_relaxed);
        registryCount.store(count + 1, std::memory_order_release);
    }

    // The interface stays open even when detection fails; that has been reported.
    ConfigureInterface(*descr, detect, largeCounters, 1);
    return descr;
}

bool ConfigureInterface(DeviceDescr& descr, bool detect, bool largeCounters,
                        std::uint8_t chipCount) {
    DeviceLink& report = descr.configReport;
    DriverStatus status = DriverPurge(descr.handle, DRV_PURGE_RX | DRV_PURGE_TX);
    descr.rxCache.clear(); // whatever was read ahead is purged as well
    descr.rxCache.driverQueued = 0;
    if (status != DRV_OK) {
        Report(report, ErrorCode::DeviceNotResponding, "%s", StatusText(status));
    }
    status = DriverSetTimeouts(descr.handle, 1000, 1000);
    if (status != DRV_OK) {
        Report(report, ErrorCode::DeviceNotResponding, "%s", StatusText(status));
    }
    char serial[DriverTextSize] = {};
    char description[DriverTextSize] = {};
    status =
        DriverGetDeviceInfo(descr.handle, &descr.deviceType, &descr.deviceId, serial, description);
    if (status != DRV_OK) {
        Report(report, ErrorCode::DeviceNotResponding, "%s", StatusText(status));
    } else {
        copyText(descr.serialNumber, sizeof descr.serialNumber, serial);
        copyText(descr.description, sizeof descr.description, description);
        Report(report, ErrorCode::Message, "Device information acquired succesfully");
        descr.SetIdSource();
        // Only the dead-time estimate uses it; a device that does not say keeps 0.
        DriverGetWireRate(descr.handle, &descr.wireBytesPerSecond);
    }

    if (!detect) {
        descr.largeCounters = largeCounters;
        descr.chipCount = chipCount;
        return true;
    }

    // The one place where the open path reaches the reset and chip detection.
    const InterfaceDetection detection = CurrentInterfaceDetection();
    DeviceLink link(&descr);
    if (!detection.resetInterface) {
        Report(link, ErrorCode::FatalError,
               "Interface reset is not available; chips were not detected.");
        return false;
    }
    if (!detection.resetInterface(link)) {
        return false;
    }
    if (descr.largeCounters) {
        if (!detection.readChipboardId) {
            Report(link, ErrorCode::FatalError,
                   "Chipboard ID reading is not available; chips were not identified.");
            return false;
        }
        return detection.readChipboardId(link, descr.chipIdText, 0);
    }
    copyText(descr.chipIdText, sizeof descr.chipIdText, descr.idSource);
    return true;
}

bool CloseInterface(DeviceLink& link, bool quiet) {
    QrxStatLeveler level(link);
    QrxCriticalSection lock;
    int position = 0;
    if (!IsRegistered(link.device, &position)) {
        if (!quiet) {
            Report(link, ErrorCode::BadDeviceHandle, "Invalid device handle");
        }
        return false;
    }
    DeviceDescr* descr = link.device;
    const DriverStatus status = DriverClose(descr->handle);
    if (!quiet) {
        if (status != DRV_OK) {
            Report(link, ErrorCode::DeviceNotResponding, "%s", StatusText(status));
        } else {
            Report(link, ErrorCode::Message, "Device closed succesfully");
        }
    }
    const int count = registryCount.load(std::memory_order_relaxed);
    for (int i = position; i + 1 < count; ++i) {
        registry[i].store(registry[i + 1].load(std::memory_order_relaxed),
                          std::memory_order_relaxed);
    }
    registry[count - 1].store(nullptr, std::memory_order_relaxed);
    registryCount.store(count - 1, std::memory_order_release);
    link.device = nullptr;
    delete descr;
    return true;
}

bool IsRegistered(const DeviceDescr* descr, int* position) {
    if (!descr) {
        return false;
    }
    const int count = registryCount.load(std::memory_order_acquire);
    for (int i = 0; i < count; ++i) {
        if (registry[i].load(std::memory_order_relaxed) == descr) {
            if (position) {
                *position = i;
            }
            return true;
        }
    }
    return false;
}

DeviceDescr* FindInterface(DeviceLink& link) {
    QrxStatLeveler level(link);
    if (IsRegistered(link.device)) {
        return link.device;
    }
    Report(link, ErrorCode::BadDeviceHandle, "Invalid device handle.");
    return nullptr;
}

int RegisteredCount() {
    return registryCount.load(std::memory_order_acquire);
}

DeviceDescr* RegisteredInterface(int index) {
    if (index < 0 || index >= RegisteredCount()) {
        return nullptr;
    }
    return registry[index].load(std::memory_order_relaxed);
}

} // namespace tarvio
