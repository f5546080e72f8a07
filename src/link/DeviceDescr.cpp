#include "link/DeviceDescr.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace tarvio {

DeviceDescr::DeviceDescr(DriverHandle driverHandle)
    : handle(driverHandle), backgroundResponse(frameBuffer, FrameBufferSize, false) {}

void* DeviceDescr::operator new(std::size_t size) {
    // calloc hands large blocks out as fresh zero pages, untouched until used.
    if (void* p = std::calloc(1, size)) {
        return p;
    }
    throw std::bad_alloc();
}

void DeviceDescr::operator delete(void* p) noexcept {
    std::free(p);
}

void DeviceDescr::SetIdSource() {
    const char* colon = static_cast<const char*>(
        std::memchr(description, ':', strnlen(description, sizeof description)));
    if (!colon) {
        idSource = serialNumber;
        return;
    }
    // Skip the ':' and the character after it, but never past the terminator.
    const char* p = colon + 1;
    if (*p != 0) {
        ++p;
    }
    idSource = p;
}

std::size_t PixelCount(const DeviceDescr& descr) {
    return static_cast<std::size_t>(descr.chipCount) * 65536;
}

std::size_t StreamSize(const DeviceDescr& descr) {
    const std::size_t chips = descr.chipCount;
    if (descr.largeCounters) {
        return chips * 114721;
    }
    // One extra byte for every started group of eight chips after the first.
    return chips * 114689 + (chips + 6) / 8;
}

} // namespace tarvio
