#pragma once
// The straightforward bit-by-bit frame stream decoder, written directly from the layout and
// kept deliberately naive: the production decoder is checked against it (tests) and timed
// against it (bench).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvio::reference {

constexpr std::size_t BlockBytes = 114688;

// Bit `bit` (0 = most significant bit of byte 0) of a byte string.
inline bool bitAt(const std::vector<std::uint8_t>& bytes, long long bit) {
    if (bit < 0 || bit >= static_cast<long long>(bytes.size()) * 8) {
        return false;
    }
    return (bytes[static_cast<std::size_t>(bit / 8)] >> (7 - bit % 8)) & 1u;
}

// The block shifted by `shift` bits (positive: towards later bytes), one bit at a time.
inline std::vector<std::uint8_t> shifted(const std::vector<std::uint8_t>& bytes, long long shift) {
    std::vector<std::uint8_t> out(bytes.size(), 0);
    for (long long bit = 0; bit < static_cast<long long>(bytes.size()) * 8; ++bit) {
        if (bitAt(bytes, bit - shift)) {
            out[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80u >> (bit % 8));
        }
    }
    return out;
}

inline bool deserialize(bool largeCounters, const std::uint8_t* stream, std::size_t length,
                        std::uint16_t* target, std::size_t capacity) {
    const std::size_t chips = length / (largeCounters ? 114721 : BlockBytes);
    const std::size_t stride = largeCounters ? 114720 : BlockBytes;
    const int planes = largeCounters ? 14 : 13;
    const std::size_t rowBytes = 32 * static_cast<std::size_t>(planes);
    for (std::size_t k = 0; k < chips; ++k) {
        const std::size_t start = chips + k * stride;
        if (start + BlockBytes > length || (k + 1) * 65536 > capacity) {
            return false;
        }
        std::vector<std::uint8_t> block(stream + start, stream + start + BlockBytes);
        if (!largeCounters && chips != 1) {
            block = shifted(block, 1 - static_cast<long long>(k));
        }
        std::uint16_t* out = target + k * 65536;
        for (std::size_t r = 0; r < 256; ++r) {
            for (int c = 255; c >= 0; --c) {
                unsigned value = 0;
                for (int b = 0; b < planes; ++b) {
                    const std::size_t planeStart =
                        r * rowBytes + 32 * static_cast<std::size_t>(planes - 1 - b);
                    const long long bit = static_cast<long long>(planeStart) * 8 + c;
                    if (bitAt(block, bit)) {
                        value |= 1u << b;
                    }
                }
                *out++ = static_cast<std::uint16_t>(value);
            }
        }
    }
    return true;
}

} // namespace tarvio::reference
