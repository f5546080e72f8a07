#include "driver/Driver.h"
#include "driver/Backend.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

namespace tarvio {

namespace {

struct InstalledBackend {
    std::shared_ptr<DriverBackend> backend;
    std::uint64_t order;
};

struct ListedDevice {
    std::shared_ptr<DriverBackend> backend;
    std::string description;
};

// Process-wide state of the driver layer. Devices are shared so that a blocking read on one
// thread never holds the table lock, and a close on another finds the device still alive.
struct DriverState {
    std::mutex mutex;
    std::vector<InstalledBackend> backends;
    std::uint64_t nextOrder = 0;
    std::vector<ListedDevice> snapshot;
    std::map<DriverHandle, std::shared_ptr<DriverDevice>> open;
    DriverHandle nextHandle = 1;
    std::deque<std::string> notices;
};

DriverState& state() {
    static DriverState s;
    return s;
}

std::shared_ptr<DriverDevice> deviceOf(DriverHandle handle) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    auto it = s.open.find(handle);
    return it == s.open.end() ? nullptr : it->second;
}

void copyText(char* target, const std::string& text) {
    if (!target) {
        return;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), DriverTextSize - 1);
    std::memcpy(target, text.data(), n);
    target[n] = 0;
}

// Every device of every backend, asked outside the table lock: a backend may talk to USB for
// a while (each USB string read can take a second), and the open devices' calls must not wait
// for that.
std::vector<ListedDevice> enumerateAll(const std::vector<InstalledBackend>& backends) {
    std::vector<ListedDevice> devices;
    for (const auto& b : backends) {
        std::vector<std::string> descriptions;
        if (b.backend->enumerate(descriptions) != DRV_OK) {
            continue; // a backend that cannot enumerate offers no devices
        }
        for (auto& d : descriptions) {
            devices.push_back({b.backend, std::move(d)});
        }
    }
    return devices;
}

std::vector<InstalledBackend> installedBackends() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.backends;
}

} // namespace

void PostDriverNotice(std::string text) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.notices.push_back(std::move(text));
    while (s.notices.size() > MaxDriverNotices) {
        s.notices.pop_front();
    }
}

std::vector<std::string> DriverTakeNotices() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<std::string> taken(std::make_move_iterator(s.notices.begin()),
                                   std::make_move_iterator(s.notices.end()));
    s.notices.clear();
    return taken;
}

void installBackend(std::shared_ptr<DriverBackend> backend) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.backends.push_back({std::move(backend), s.nextOrder++});
    std::stable_sort(s.backends.begin(), s.backends.end(), [](const auto& a, const auto& b) {
        return a.backend->rank() != b.backend->rank() ? a.backend->rank() < b.backend->rank()
                                                      : a.order < b.order;
    });
}

void removeBackend(const std::shared_ptr<DriverBackend>& backend) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::erase_if(s.backends, [&](const auto& b) { return b.backend == backend; });
    std::erase_if(s.snapshot, [&](const auto& d) { return d.backend == backend; });
}

void removeAllBackends() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.backends.clear();
    s.snapshot.clear();
}

DriverStatus DriverCreateDeviceInfoList(std::uint32_t* count) {
    if (!count) {
        return DRV_INVALID_PARAMETER;
    }
    std::vector<ListedDevice> snapshot = enumerateAll(installedBackends());
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.snapshot = std::move(snapshot);
    *count = static_cast<std::uint32_t>(s.snapshot.size());
    return DRV_OK;
}

DriverStatus DriverGetDeviceInfoDetail(std::uint32_t index, char* description) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (index >= s.snapshot.size()) {
        return DRV_DEVICE_NOT_FOUND;
    }
    copyText(description, s.snapshot[index].description);
    return DRV_OK;
}

DriverStatus DriverOpenByDescription(const char* description, DriverHandle* handle) {
    if (!description || !handle) {
        return DRV_INVALID_PARAMETER;
    }
    auto& s = state();
    std::vector<ListedDevice> candidates;
    {
        std::lock_guard lock(s.mutex);
        candidates = s.snapshot;
    }
    const bool listed = std::any_of(candidates.begin(), candidates.end(),
                                    [&](const auto& c) { return c.description == description; });
    if (!listed) {
        // Opening finds devices plugged in since the last listing, as a driver would.
        candidates = enumerateAll(installedBackends());
    }
    for (const auto& c : candidates) {
        if (c.description != description) {
            continue;
        }
        std::unique_ptr<DriverDevice> device;
        const DriverStatus status = c.backend->open(c.description, device);
        if (status != DRV_OK) {
            return status;
        }
        if (!device) {
            return DRV_OTHER_ERROR;
        }
        std::lock_guard lock(s.mutex);
        const DriverHandle h = s.nextHandle++;
        if (s.nextHandle == 0) {
            s.nextHandle = 1;
        }
        s.open.emplace(h, std::shared_ptr<DriverDevice>(std::move(device)));
        *handle = h;
        return DRV_OK;
    }
    return DRV_DEVICE_NOT_FOUND;
}

DriverStatus DriverPurge(DriverHandle handle, std::uint32_t mask) {
    auto d = deviceOf(handle);
    return d ? d->purge(mask) : DRV_INVALID_HANDLE;
}

DriverStatus DriverSetTimeouts(DriverHandle handle, std::uint32_t readMs, std::uint32_t writeMs) {
    auto d = deviceOf(handle);
    return d ? d->setTimeouts(readMs, writeMs) : DRV_INVALID_HANDLE;
}

DriverStatus DriverGetDeviceInfo(DriverHandle handle, std::uint32_t* type, std::uint32_t* id,
                                 char* serialNumber, char* description) {
    auto d = deviceOf(handle);
    if (!d) {
        return DRV_INVALID_HANDLE;
    }
    DriverDeviceInfo info;
    const DriverStatus status = d->deviceInfo(info);
    if (status != DRV_OK) {
        return status;
    }
    if (type) {
        *type = info.type;
    }
    if (id) {
        *id = info.id;
    }
    copyText(serialNumber, info.serialNumber);
    copyText(description, info.description);
    return DRV_OK;
}

DriverStatus DriverGetWireRate(DriverHandle handle, double* bytesPerSecond) {
    auto d = deviceOf(handle);
    if (!d) {
        return DRV_INVALID_HANDLE;
    }
    DriverDeviceInfo info;
    const DriverStatus status = d->deviceInfo(info);
    if (status == DRV_OK && bytesPerSecond) {
        *bytesPerSecond = info.wireBytesPerSecond;
    }
    return status;
}

DriverStatus DriverGetStatus(DriverHandle handle, std::uint32_t* rxQueue, std::uint32_t* txQueue,
                             std::uint32_t* events) {
    auto d = deviceOf(handle);
    if (!d) {
        return DRV_INVALID_HANDLE;
    }
    std::uint32_t rx = 0;
    const DriverStatus status = d->queueStatus(rx);
    if (rxQueue) {
        *rxQueue = status == DRV_OK ? rx : 0;
    }
    if (txQueue) {
        *txQueue = 0;
    }
    if (events) {
        *events = 0;
    }
    return status;
}

DriverStatus DriverRead(DriverHandle handle, void* buffer, std::uint32_t count,
                        std::uint32_t* bytesRead) {
    if (bytesRead) {
        *bytesRead = 0;
    }
    auto d = deviceOf(handle);
    if (!d) {
        return DRV_INVALID_HANDLE;
    }
    if (!buffer || !bytesRead) {
        return DRV_INVALID_PARAMETER;
    }
    return count == 0 ? DRV_OK : d->read(static_cast<std::uint8_t*>(buffer), count, *bytesRead);
}

DriverStatus DriverWrite(DriverHandle handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* bytesWritten) {
    if (bytesWritten) {
        *bytesWritten = 0;
    }
    auto d = deviceOf(handle);
    if (!d) {
        return DRV_INVALID_HANDLE;
    }
    if (!buffer || !bytesWritten) {
        return DRV_INVALID_PARAMETER;
    }
    return count == 0 ? DRV_OK
                      : d->write(static_cast<const std::uint8_t*>(buffer), count, *bytesWritten);
}

bool DriverDeviceLost(DriverHandle handle) {
    auto d = deviceOf(handle);
    return d && d->lost();
}

DriverStatus DriverClose(DriverHandle handle) {
    std::shared_ptr<DriverDevice> d;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        auto it = s.open.find(handle);
        if (it == s.open.end()) {
            return DRV_INVALID_HANDLE;
        }
        d = std::move(it->second);
        s.open.erase(it);
    }
    return d->close();
}

} // namespace tarvio
