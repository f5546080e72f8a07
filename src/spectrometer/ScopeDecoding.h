#pragma once
// Turning one scope data message into the last pulse and one count of the spectrum.

#include "records/PulseBuffer.h"
#include "records/Spectrum.h"

#include <cstddef>
#include <cstdint>

namespace tarvio {

// Monitor readings that travel inside scope data, tagged words of channels 2 and 3.
struct ScopeMonitorReadings {
    std::int32_t reading2 = 0;
    std::int32_t reading3 = 0;
};

// Decodes the body of a scope data message (`length` bytes: a little-endian word count
// minus one, then big-endian 16-bit words) into `pulse`; its height is pulse.maxSample.
// Only words that are actually in the body are read, so stale bytes behind a short body
// never become samples. Returns false, changing nothing, when the body is too short to hold
// its count.
bool DecodeScopeData(const std::uint8_t* body, std::size_t length, PulseBuffer& pulse,
                     ScopeMonitorReadings& readings);

// DecodeScopeData, then one count of the pulse's height into `spectrum`.
bool AccumulateScopeData(const std::uint8_t* body, std::size_t length, PulseBuffer& pulse,
                         Spectrum& spectrum, ScopeMonitorReadings& readings);

} // namespace tarvio
