#pragma once
// Discovery, opening and closing of interfaces, and the registry of open ones.

#include "link/DeviceDescr.h"
#include "link/DeviceLink.h"

#include <cstdint>

namespace tarvio {

constexpr int MaxOpenInterfaces = 512;

// Description prefixes of compatible interfaces, by filter (two low bits count).
enum InterfaceFilter : std::int32_t {
    AnyDevice = 0,         // ""
    Medipix2Ver = 1,       // "Medipix2 ver "
    Medipix2ThreeVolt = 2, // "Medipix2 3V ver "
    Medipix2Any = 3,       // "Medipix2 "
};

// Number of compatible interfaces; their descriptions, each NUL-terminated, one after another
// into out as long as they fit in outSize bytes (out may be null, outSize 0).
std::int32_t ListInterfaces(std::int32_t filter, char* out, std::int32_t outSize);

// Opens by description and configures (with chip detection when detect is set). None when
// the driver cannot open it or the registry is full; otherwise the new registered interface,
// even when its configuration failed.
DeviceDescr* OpenInterface(const char* description, bool detect, bool largeCounters);

// Driver settings, device information and, with detect, reset and chip detection.
bool ConfigureInterface(DeviceDescr& descr, bool detect, bool largeCounters,
                        std::uint8_t chipCount);

// Closes the link's interface and forgets it; quiet suppresses every report.
bool CloseInterface(DeviceLink& link, bool quiet);

// Whether descr is a registered open interface, and its position.
bool IsRegistered(const DeviceDescr* descr, int* position = nullptr);

// The link's interface if registered; otherwise reports and returns none.
DeviceDescr* FindInterface(DeviceLink& link);

// For the monitoring thread: the count (published with release, read with acquire) and
// the entries below it.
int RegisteredCount();
DeviceDescr* RegisteredInterface(int index);

} // namespace tarvio
