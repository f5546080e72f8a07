#pragma once
// Pure decoders for the binary payloads the interface sends: the chips' pseudo-random counter
// codes, frame streams (bit-plane serialised pixel matrices), the bit shift of chained chips,
// and the interface's 48-bit tick counts. No state beyond the code tables, which are built
// once on first use (thread-safe).
//
// Every function stays inside the buffers it is given, whatever lengths and capacities it is
// handed; a stream too short or an output too small makes the decoder fail, never overrun.

#include <cstddef>
#include <cstdint>

namespace tarvio {

// Counter geometry of the two chip kinds.
constexpr std::size_t PixelsPerChip = 65536;     // 256 x 256
constexpr std::size_t ChipBlockBytes = 114688;   // one chip's serialised matrix
constexpr std::size_t LargeChipStride = 114720;  // 14-bit block plus 32 trailing bytes
constexpr std::uint16_t SmallCounterMax = 8000;  // 13-bit chips count 0..8000
constexpr std::uint16_t LargeCounterMax = 11810; // 14-bit chips count 0..11810
constexpr std::uint16_t InvalidCounter = 0xFFFF; // marks a value that had no conversion

// Converts `count` values in place: direction 1 turns pseudo-random codes into counter values,
// direction 0 counter values into codes. A value outside the kind's range becomes 0xFFFF and
// makes the call return false; every other value is still converted.
bool ConvertPseudoCodes(bool largeCounters, std::uint16_t* values, std::size_t count,
                        int direction);

// Decodes a whole frame stream (prefix bytes, then one block per chip) into 65536 raw codes
// per chip, chip after chip, each row with its columns in reverse order. The number of chips
// follows from the length. Returns false when a chip's block does not fit in the stream or
// its 65536 values do not fit in `capacity`; the chips before it are decoded.
bool DeserializeFrameStream(bool largeCounters, const std::uint8_t* stream, std::size_t length,
                            std::uint16_t* target, std::size_t capacity);

// The inverse of DeserializeFrameStream for `chips` chips of raw codes (65536 values each):
// writes FrameStreamSize(largeCounters, chips) bytes. Returns false (writing nothing) when
// `length` is smaller than that. Multi-chip 13-bit streams carry the chained-chip bit offsets,
// which cost the first chip bit 12 of its first pixel of row 0 (the interface's own
// convention: that bit travels in the prefix).
bool SerializeFrameStream(bool largeCounters, const std::uint16_t* values, std::size_t chips,
                          std::uint8_t* stream, std::size_t length);

// Bytes of a frame stream of `chips` chips.
std::size_t FrameStreamSize(bool largeCounters, std::size_t chips);

// Shifts a block of bytes, read as one big-endian bit string, by `shift` bits: to the right
// (towards later bytes) for shift > 0, to the left for shift < 0. Zeros enter; bits pushed
// past either end are lost. Any shift is allowed, also one of more than 8 bits.
void ShiftBlockBits(std::uint8_t* bytes, std::size_t count, int shift);

// The byte with its bit order reversed (bit i becomes bit 7 - i).
std::uint8_t ReverseBits(std::uint8_t value);

// Tick rate of the interface clock for a device `kind`: 8 MHz for kind 2, 20 MHz otherwise.
double TickRate(std::uint8_t kind);

// Writes the 48-bit little-endian tick count for an interval of `seconds` (less the
// interface's 5.3 us overhead, at least 1 tick; a negative or NaN time counts as 1 s; a time
// beyond the 48-bit range is held at the largest count).
void SecondsToTicks(double seconds, std::uint8_t kind, std::uint8_t* ticks6);

// Reads a 48-bit little-endian tick count as seconds.
double TicksToSeconds(const std::uint8_t* ticks6, std::uint8_t kind);

} // namespace tarvio
