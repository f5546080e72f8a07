#pragma once
// Decoding of the chipboard identifier records (4 bytes per chip) into the short text shown
// for an interface, such as "C10-W0123 C11-W0123", and the chip-family flags they imply.

#include <cstddef>
#include <cstdint>

namespace tarvio {

// Capacity of an interface's chip identifier text, terminator excluded.
constexpr std::size_t ChipIdTextCapacity = 64;

struct ChipIdentifiers {
    char text[ChipIdTextCapacity + 1] = {};
    bool largeCounters = false; // some chip reported a non-zero identifier
    bool timepix = false;       // some chip carries the Timepix mark
};

// Decodes the records of `chipCount` chips from `data` (`length` bytes). Only records that
// arrived whole are decoded, and the text keeps to its capacity: an entry that would not fit
// is left out together with every later one, so the text ends with the last whole entry.
ChipIdentifiers DecodeChipIdentifiers(const std::uint8_t* data, std::size_t length,
                                      unsigned chipCount);

} // namespace tarvio
