#pragma once
// The simulated chipboard: what the interface reports about its chips (the reset answer line,
// the chipboard identifiers) and the matrix frames it reads out of them, encoded the way the
// chips deliver them (pseudo-random counter codes, serialised bit-plane by bit-plane).

#include "sim/SimulatorConfig.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvio {

class ChipBoard {
public:
    ChipBoard(SimChipKind kind, int chips, std::uint64_t seed);

    SimChipKind kind() const { return kind_; }
    int chips() const { return chips_; }
    // 14-bit counters and the longer frame stream (MXR and Timepix).
    bool largeCounters() const { return kind_ != SimChipKind::Medipix2; }
    std::size_t pixelCount() const { return static_cast<std::size_t>(chips_) * 65536; }
    std::uint16_t maxCount() const { return largeCounters() ? 11810 : 8000; }

    // The line the interface sends after a reset, carriage return included: the on-line
    // prefix once plus once per retry, then the chip report.
    std::string resetAnswer(int retries) const;

    // Body of the chipboard ID response: 4 bytes per chip, bit-reversed as the board sends
    // them. Plain Medipix2 boards carry no identifier (zeros).
    std::vector<std::uint8_t> chipIds() const;
    // The identifier text the host decodes from chipIds(), e.g. "C10-W0123 D10-W0123".
    std::string identifierText() const;

    // Bytes of one frame stream of this board.
    std::size_t streamSize() const;

    // Counter values of an exposure: a flat field with Poisson-like spread whose mean grows
    // with the exposure time, a few hot and dead pixels, deterministic per seed and frame.
    void exposureFrame(std::uint64_t frameNumber, double exposureSeconds,
                       std::vector<std::uint16_t>& values) const;
    // Every pixel counted `pulses` test pulses (held at the counter's maximum).
    void testPulseFrame(std::uint32_t pulses, std::vector<std::uint16_t>& values) const;

    // Encodes counter values (pixelCount() of them, in the host's decoded order) into a frame
    // stream. Values the stream cannot carry are adjusted in place first (see below), so that
    // `values` is exactly what the host decodes.
    std::vector<std::uint8_t> encodeFrame(std::vector<std::uint16_t>& values) const;

private:
    SimChipKind kind_;
    int chips_;
    std::uint64_t seed_;
};

} // namespace tarvio
