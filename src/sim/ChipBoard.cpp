#include "sim/ChipBoard.h"

#include "sim/SimRandom.h"
#include "encodings/Encodings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

constexpr const char* OnLinePrefix = "!Unit is on line. ";

// Identifier parts of chip k: letter index x, row y (the text shows 12 - y) and wafer number.
struct ChipId {
    unsigned x, y, wafer;
};

ChipId chipIdOf(int k) {
    return {3u + static_cast<unsigned>(k), 2u, 123u};
}

} // namespace

ChipBoard::ChipBoard(SimChipKind kind, int chips, std::uint64_t seed)
    : kind_(kind), chips_(std::clamp(chips, 1, SimulatorConfig::MaxChips)), seed_(seed) {}

std::string ChipBoard::resetAnswer(int retries) const {
    std::string line;
    for (int i = 0; i <= std::max(0, retries); ++i) {
        line += OnLinePrefix;
    }
    char report[96];
    switch (kind_) {
    case SimChipKind::Medipix2:
        std::snprintf(report, sizeof report, "Medipix chips: %d Ready", chips_);
        break;
    case SimChipKind::Mxr:
    case SimChipKind::Timepix:
        std::snprintf(report, sizeof report, "Medipix %s chips: %d Medipix chips: %d Ready",
                      kind_ == SimChipKind::Mxr ? "MXR" : "TPX", chips_, chips_);
        break;
    }
    line += report;
    line += '\r';
    return line;
}

std::vector<std::uint8_t> ChipBoard::chipIds() const {
    std::vector<std::uint8_t> bytes(4 * static_cast<std::size_t>(chips_), 0);
    if (!largeCounters()) {
        return bytes;
    }
    for (int k = 0; k < chips_; ++k) {
        const ChipId id = chipIdOf(k);
        const unsigned mark = kind_ == SimChipKind::Timepix ? 8u : 0u;
        bytes[4 * k + 0] = 0;
        bytes[4 * k + 1] = ReverseBits(static_cast<std::uint8_t>((id.y << 4) | id.x));
        bytes[4 * k + 2] = ReverseBits(static_cast<std::uint8_t>(id.wafer & 0xFF));
        bytes[4 * k + 3] = ReverseBits(static_cast<std::uint8_t>(((id.wafer >> 8) & 7) | mark));
    }
    return bytes;
}

std::string ChipBoard::identifierText() const {
    std::string text;
    for (int k = 0; k < chips_; ++k) {
        char item[32];
        if (largeCounters()) {
            const ChipId id = chipIdOf(k);
            std::snprintf(item, sizeof item, "%c%02d-W%04u", static_cast<char>(64 + id.x),
                          12 - static_cast<int>(id.y), id.wafer);
        } else {
            std::snprintf(item, sizeof item, "000-W000");
        }
        if (!text.empty()) {
            text += ' ';
        }
        text += item;
    }
    return text;
}

std::size_t ChipBoard::streamSize() const {
    return FrameStreamSize(largeCounters(), static_cast<std::size_t>(chips_));
}

void ChipBoard::exposureFrame(std::uint64_t frameNumber, double exposureSeconds,
                              std::vector<std::uint16_t>& values) const {
    values.resize(pixelCount());
    SimRandom rng = SimRandom::stream(seed_, 1000 + frameNumber);
    const double mean = std::clamp(exposureSeconds, 0.0, 10.0) * 500.0 + 20.0;
    const double spread = std::sqrt(mean);
    for (auto& v : values) {
        double count = mean + spread * rng.normal();
        const std::uint32_t defect = rng.below(4096);
        if (defect == 0) {
            count = 0; // dead pixel
        } else if (defect == 1) {
            count = maxCount(); // hot pixel
        }
        v = static_cast<std::uint16_t>(std::clamp(std::round(count), 0.0, double(maxCount())));
    }
}

void ChipBoard::testPulseFrame(std::uint32_t pulses, std::vector<std::uint16_t>& values) const {
    values.assign(pixelCount(),
                  static_cast<std::uint16_t>(std::min<std::uint32_t>(pulses, maxCount())));
}

std::vector<std::uint8_t> ChipBoard::encodeFrame(std::vector<std::uint16_t>& values) const {
    values.resize(pixelCount());
    std::vector<std::uint16_t> codes(values);
    ConvertPseudoCodes(largeCounters(), codes.data(), codes.size(), 0);
    if (!largeCounters() && chips_ > 1) {
        // Chained plain chips give up bit 12 of the first chip's row 0, column 0 (decoded
        // position 255): pick the nearest count whose code lacks that bit.
        std::uint16_t value = values[255];
        std::uint16_t code = codes[255];
        while (code & 0x1000) {
            value = value < maxCount() ? value + 1 : 0;
            code = value;
            ConvertPseudoCodes(false, &code, 1, 0);
        }
        values[255] = value;
        codes[255] = code;
    }
    std::vector<std::uint8_t> stream(streamSize());
    SerializeFrameStream(largeCounters(), codes.data(), static_cast<std::size_t>(chips_),
                         stream.data(), stream.size());
    return stream;
}

} // namespace tarvio
