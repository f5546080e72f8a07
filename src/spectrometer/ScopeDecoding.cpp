#include "spectrometer/ScopeDecoding.h"

#include <algorithm>

namespace tarvio {

namespace {

constexpr unsigned TagMonitor2 = 2;
constexpr unsigned TagMonitor3 = 3;

} // namespace

bool AccumulateScopeData(const std::uint8_t* body, std::size_t length, PulseBuffer& pulse,
                         Spectrum& spectrum, ScopeMonitorReadings& readings) {
    if (!body || length < 2) {
        return false;
    }
    // The message announces L + 1 words; the last announced word is never stored, and at
    // most MaxPulseSamples - 1 slots are written.
    const std::size_t announced = static_cast<std::size_t>(body[0] | (body[1] << 8)) + 1;
    const std::size_t arrived = (length - 2) / 2;
    const std::size_t decoded =
        std::min({announced - 1, static_cast<std::size_t>(MaxPulseSamples - 1), arrived});

    pulse.resetRange();
    const std::uint8_t* word = body + 2;
    for (std::size_t k = 0; k < decoded; ++k, word += 2) {
        const unsigned tag = (word[0] >> 4) & 0x7;
        const std::uint16_t value = static_cast<std::uint16_t>((word[0] & 0x0F) << 8 | word[1]);
        if (tag == TagMonitor2) {
            readings.reading2 = value;
        } else if (tag == TagMonitor3) {
            readings.reading3 = value;
        } else {
            pulse.setSample(static_cast<std::uint16_t>(k), value);
        }
    }
    // A count beyond what arrived would show slots of an earlier pulse as this one's.
    const std::size_t shown = std::min(announced, arrived + 1);
    pulse.sampleCount = static_cast<std::uint32_t>(std::min<std::size_t>(shown, MaxPulseSamples));
    spectrum.addCount(pulse.maxSample);
    return true;
}

} // namespace tarvio
