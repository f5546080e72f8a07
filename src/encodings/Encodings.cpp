#include "encodings/Encodings.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace tarvio {

namespace {

constexpr std::size_t SmallTableSize = 8192;  // 13-bit codes
constexpr std::size_t LargeTableSize = 16384; // 14-bit codes
constexpr std::size_t SmallRowBytes = 416;    // 13 planes of 32 bytes
constexpr std::size_t LargeRowBytes = 448;    // 14 planes of 32 bytes
constexpr std::size_t Rows = 256;
constexpr std::size_t PlaneBytes = 32;
constexpr std::size_t SmallStreamStride = 114689; // block plus one prefix byte per chip
constexpr std::size_t LargeStreamStride = 114721; // stride plus one prefix byte per chip

struct CodeTables {
    std::array<std::uint16_t, LargeTableSize> decode{};
    std::array<std::uint16_t, LargeTableSize> encode{};
    std::size_t size = 0;
    std::uint16_t maxCounter = 0;
};

// The chips' counters are linear feedback shift registers; walking the register from its
// all-ones reset state gives the code of every count in order.
CodeTables buildSmallTables() {
    CodeTables t;
    t.size = SmallTableSize;
    t.maxCounter = SmallCounterMax;
    // Code 0 is never reached by the register: it decodes to the invalid marker.
    t.decode[0] = InvalidCounter;
    t.encode[0] = InvalidCounter;
    std::uint16_t a = 0x1FFF;
    for (std::uint16_t i = 0; i <= SmallCounterMax; ++i) {
        t.decode[a] = i;
        t.encode[i] = a;
        const std::uint16_t feedback = ((a >> 12) ^ (a >> 9)) & 1u;
        a = static_cast<std::uint16_t>(((a & 0x0FFFu) << 1) | feedback);
    }
    return t;
}

CodeTables buildLargeTables() {
    CodeTables t;
    t.size = LargeTableSize;
    t.maxCounter = LargeCounterMax;
    std::uint16_t a = 0x3FFF;
    for (std::uint16_t i = 0; i <= LargeCounterMax; ++i) {
        t.decode[a] = i;
        t.encode[i] = a;
        const std::uint16_t feedback = ((a >> 13) ^ a) & 1u;
        a = static_cast<std::uint16_t>(((a & 0x1FFFu) << 1) | feedback);
    }
    return t;
}

const CodeTables& tablesFor(bool largeCounters) {
    // Function-local statics: built once, on first use, safely across threads.
    static const CodeTables small = buildSmallTables();
    static const CodeTables large = buildLargeTables();
    return largeCounters ? large : small;
}

// spread[x] has bit L of x in the lowest bit of byte lane L: eight columns of one plane byte
// land in eight lanes at once, so a row's planes are transposed with one lookup per byte.
struct SpreadTable {
    std::array<std::uint64_t, 256> lane{};
    SpreadTable() {
        for (unsigned x = 0; x < 256; ++x) {
            std::uint64_t v = 0;
            for (unsigned bit = 0; bit < 8; ++bit) {
                v |= static_cast<std::uint64_t>((x >> bit) & 1u) << (8 * bit);
            }
            lane[x] = v;
        }
    }
};

const SpreadTable& spreadTable() {
    static const SpreadTable table;
    return table;
}

long long floorDiv8(long long v) {
    return v >= 0 ? v / 8 : -((-v + 7) / 8);
}

// Eight bits of a block read as a big-endian bit string, starting at bit `bitPos`, which may
// lie before the block or past its end: bits outside the block read as zero.
std::uint8_t bitsAt(const std::uint8_t* block, std::size_t count, long long bitPos) {
    const long long q = floorDiv8(bitPos);
    const int r = static_cast<int>(bitPos - q * 8);
    const auto byteAt = [&](long long i) -> unsigned {
        return (i >= 0 && static_cast<unsigned long long>(i) < count) ? block[i] : 0u;
    };
    if (r == 0) {
        return static_cast<std::uint8_t>(byteAt(q));
    }
    return static_cast<std::uint8_t>((byteAt(q) << r) | (byteAt(q + 1) >> (8 - r)));
}

// Decodes one chip block into 65536 values. `shift` is the chained-chip offset of this block:
// the block is read as if ShiftBlockBits(block, ChipBlockBytes, shift) had been applied,
// without touching the caller's bytes.
void decodeBlock(const std::uint8_t* block, int planes, int shift, std::uint16_t* out) {
    const auto& spread = spreadTable().lane;
    const std::size_t rowBytes = PlaneBytes * static_cast<std::size_t>(planes);
    std::uint8_t shifted[LargeRowBytes];
    for (std::size_t r = 0; r < Rows; ++r) {
        const std::uint8_t* row = block + r * rowBytes;
        if (shift != 0) {
            const long long first = static_cast<long long>(r * rowBytes) * 8 - shift;
            const long long q = floorDiv8(first);
            const int rem = static_cast<int>(first - q * 8);
            if (q >= 0 &&
                q + static_cast<long long>(rowBytes) < static_cast<long long>(ChipBlockBytes)) {
                // Inside the block: every source byte exists, no per-byte checks needed.
                const std::uint8_t* src = block + q;
                for (std::size_t i = 0; i < rowBytes; ++i) {
                    shifted[i] =
                        static_cast<std::uint8_t>((src[i] << rem) | (src[i + 1] >> (8 - rem)));
                }
            } else {
                for (std::size_t i = 0; i < rowBytes; ++i) {
                    shifted[i] =
                        bitsAt(block, ChipBlockBytes, first + static_cast<long long>(i) * 8);
                }
            }
            row = shifted;
        }
        // Plane b sits at 32 * (planes - 1 - b): the most significant plane comes first.
        const std::uint8_t* plane0 = row + PlaneBytes * static_cast<std::size_t>(planes - 1);
        std::uint16_t* rowOut = out + r * 256;
        for (std::size_t j = 0; j < PlaneBytes; ++j) {
            std::uint64_t lo = 0;
            std::uint64_t hi = 0;
            for (int b = 0; b < 8; ++b) {
                lo |= spread[(plane0 - PlaneBytes * b)[j]] << b;
            }
            for (int b = 8; b < planes; ++b) {
                hi |= spread[(plane0 - PlaneBytes * b)[j]] << (b - 8);
            }
            // Column 8j + 7 - L is bit L of the plane byte and goes to position 248 - 8j + L
            // (a row's columns come out in reverse order).
            std::uint16_t* dst = rowOut + 248 - 8 * j;
            for (int lane = 0; lane < 8; ++lane) {
                dst[lane] = static_cast<std::uint16_t>(((lo >> (8 * lane)) & 0xFFu) |
                                                       (((hi >> (8 * lane)) & 0xFFu) << 8));
            }
        }
    }
}

void encodeBlock(const std::uint16_t* values, int planes, std::uint8_t* block) {
    const std::size_t rowBytes = PlaneBytes * static_cast<std::size_t>(planes);
    for (std::size_t r = 0; r < Rows; ++r) {
        const std::uint16_t* rowIn = values + r * 256;
        std::uint8_t* row = block + r * rowBytes;
        for (int b = 0; b < planes; ++b) {
            std::uint8_t* plane = row + PlaneBytes * static_cast<std::size_t>(planes - 1 - b);
            for (std::size_t j = 0; j < PlaneBytes; ++j) {
                const std::uint16_t* src = rowIn + 248 - 8 * j;
                unsigned byte = 0;
                for (unsigned lane = 0; lane < 8; ++lane) {
                    byte |= ((src[lane] >> b) & 1u) << lane;
                }
                plane[j] = static_cast<std::uint8_t>(byte);
            }
        }
    }
}

// Chained 13-bit chips arrive offset against each other: chip k is read shifted by 1 - k bits.
int chainShift(bool largeCounters, std::size_t chips, std::size_t k) {
    if (largeCounters || chips == 1) {
        return 0;
    }
    // Beyond the block's length in bits every shift reads zeros: clamp to stay within int.
    constexpr long long Limit = static_cast<long long>(ChipBlockBytes) * 8 + 8;
    return static_cast<int>(std::max(1 - static_cast<long long>(k), -Limit));
}

} // namespace

bool ConvertPseudoCodes(bool largeCounters, std::uint16_t* values, std::size_t count,
                        int direction) {
    const CodeTables& t = tablesFor(largeCounters);
    const bool decode = direction == 1;
    const std::uint16_t* table = decode ? t.decode.data() : t.encode.data();
    // A count above the kind's last state has no code: treat it as out of range rather than
    // turning it into a code that does not decode back.
    const std::size_t limit = decode ? t.size : static_cast<std::size_t>(t.maxCounter) + 1;
    bool ok = true;
    for (std::size_t i = 0; i < count; ++i) {
        if (values[i] >= limit) {
            values[i] = InvalidCounter;
            ok = false;
        } else {
            values[i] = table[values[i]];
        }
    }
    return ok;
}

std::size_t FrameStreamSize(bool largeCounters, std::size_t chips) {
    const std::size_t stride = largeCounters ? LargeStreamStride : SmallStreamStride;
    if (chips > (static_cast<std::size_t>(-1) / 2) / stride) {
        return static_cast<std::size_t>(-1);
    }
    return largeCounters ? stride * chips : stride * chips + (chips + 6) / 8;
}

bool DeserializeFrameStream(bool largeCounters, const std::uint8_t* stream, std::size_t length,
                            std::uint16_t* target, std::size_t capacity) {
    const std::size_t chips = length / (largeCounters ? LargeStreamStride : ChipBlockBytes);
    const std::size_t blockStride = largeCounters ? LargeChipStride : ChipBlockBytes;
    const int planes = largeCounters ? 14 : 13;
    std::size_t offset = chips; // one prefix byte per chip
    for (std::size_t k = 0; k < chips; ++k) {
        if (offset > length || length - offset < ChipBlockBytes || capacity < PixelsPerChip) {
            return false;
        }
        decodeBlock(stream + offset, planes, chainShift(largeCounters, chips, k), target);
        offset += blockStride;
        target += PixelsPerChip;
        capacity -= PixelsPerChip;
    }
    return true;
}

bool SerializeFrameStream(bool largeCounters, const std::uint16_t* values, std::size_t chips,
                          std::uint8_t* stream, std::size_t length) {
    const std::size_t size = FrameStreamSize(largeCounters, chips);
    if (length < size || size == static_cast<std::size_t>(-1)) {
        return false;
    }
    std::memset(stream, 0, size);
    const std::size_t blockStride = largeCounters ? LargeChipStride : ChipBlockBytes;
    const int planes = largeCounters ? 14 : 13;
    for (std::size_t k = 0; k < chips; ++k) {
        std::uint8_t* block = stream + chips + k * blockStride;
        encodeBlock(values + k * PixelsPerChip, planes, block);
        const int shift = chainShift(largeCounters, chips, k);
        if (shift > 0) {
            // The bit pushed out in front travels in the last prefix byte, as on the interface.
            stream[chips - 1] = static_cast<std::uint8_t>(block[0] >> (8 - shift));
        }
        ShiftBlockBits(block, ChipBlockBytes, -shift);
    }
    return true;
}

void ShiftBlockBits(std::uint8_t* bytes, std::size_t count, int shift) {
    if (shift == 0 || count == 0) {
        return;
    }
    const long long s = shift;
    if (s > 0) {
        // Each byte takes bits from itself and earlier ones: walk backwards.
        for (std::size_t i = count; i-- > 0;) {
            bytes[i] = bitsAt(bytes, count, static_cast<long long>(i) * 8 - s);
        }
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            bytes[i] = bitsAt(bytes, count, static_cast<long long>(i) * 8 - s);
        }
    }
}

std::uint8_t ReverseBits(std::uint8_t value) {
    unsigned v = value;
    v = ((v & 0xF0u) >> 4) | ((v & 0x0Fu) << 4);
    v = ((v & 0xCCu) >> 2) | ((v & 0x33u) << 2);
    v = ((v & 0xAAu) >> 1) | ((v & 0x55u) << 1);
    return static_cast<std::uint8_t>(v);
}

double TickRate(std::uint8_t kind) {
    return kind == 2 ? 8000000.0 : 20000000.0;
}

void SecondsToTicks(double seconds, std::uint8_t kind, std::uint8_t* ticks6) {
    constexpr double Overhead = 5.3e-6;            // the interface's own latency per interval
    constexpr double MaxTicks = 281474976710655.0; // 2^48 - 1
    if (!(seconds >= 0.0)) {                       // negative or NaN
        seconds = 1.0;
    }
    double ticks = (seconds - Overhead) * TickRate(kind);
    if (ticks < 1.0) {
        ticks = 1.0;
    }
    if (ticks > MaxTicks) { // also catches infinity
        ticks = MaxTicks;
    }
    auto c = static_cast<std::uint64_t>(std::floor(ticks));
    for (int i = 0; i < 6; ++i) {
        ticks6[i] = static_cast<std::uint8_t>(c & 0xFFu);
        c >>= 8;
    }
}

double TicksToSeconds(const std::uint8_t* ticks6, std::uint8_t kind) {
    std::uint64_t c = 0;
    for (int i = 5; i >= 0; --i) {
        c = (c << 8) | ticks6[i];
    }
    return static_cast<double>(c) / TickRate(kind);
}

} // namespace tarvio
