#include "spectrometer/ScopeDecoding.h"

#include <algorithm>

namespace tarvio {

namespace {

constexpr unsigned TagMonitor2 = 2;
constexpr unsigned TagMonitor3 = 3;

} // namespace

bool DecodeScopeData(const std::uint8_t* body, std::size_t length, PulseBuffer& pulse,
                     ScopeMonitorReadings& readings) {
    if (!body || length < 2) {
        return false;
    }
    // The message announces L + 1 words; the last announced word is never stored, and at
    // most MaxPulseSamples - 1 slots are written.
    const std::size_t announced = static_cast<std::size_t>(body[0] | (body[1] << 8)) + 1;
    const std::size_t arrived = (length - 2) / 2;
    const std::size_t decoded =
        std::min({announced - 1, static_cast<std::size_t>(MaxPulseSamples - 1), arrived});

    // One pass without branches over the words (most pulses carry no monitor word), a second
    // only for the monitor readings when there are any; the last of each channel counts.
    std::uint16_t low = EmptyRangeMin;
    std::uint16_t high = 0;
    bool monitorWords = false;
    const std::uint8_t* word = body + 2;
    for (std::size_t k = 0; k < decoded; ++k) {
        const auto w = static_cast<std::uint16_t>(word[2 * k] << 8 | word[2 * k + 1]);
        const unsigned tag = (w >> 12) & 0x7;
        const bool monitor = tag == TagMonitor2 || tag == TagMonitor3;
        const auto value = static_cast<std::uint16_t>(w & 0x0FFF);
        monitorWords |= monitor;
        // A monitor word leaves its slot and the range as they were.
        pulse.samples[k] = monitor ? pulse.samples[k] : value;
        low = std::min(low, monitor ? EmptyRangeMin : value);
        high = std::max(high, monitor ? std::uint16_t{0} : value);
    }
    for (std::size_t k = 0; monitorWords && k < decoded; ++k) {
        const unsigned tag = (word[2 * k] >> 4) & 0x7;
        const auto value = static_cast<std::uint16_t>((word[2 * k] & 0x0F) << 8 | word[2 * k + 1]);
        if (tag == TagMonitor2) {
            readings.reading2 = value;
        } else if (tag == TagMonitor3) {
            readings.reading3 = value;
        }
    }
    pulse.minSample = low;
    pulse.maxSample = high;
    pulse.deliveredCount = static_cast<std::uint32_t>(decoded);
    // A count beyond what arrived would show slots of an earlier pulse as this one's.
    const std::size_t shown = std::min(announced, arrived + 1);
    pulse.sampleCount = static_cast<std::uint32_t>(std::min<std::size_t>(shown, MaxPulseSamples));
    return true;
}

bool AccumulateScopeData(const std::uint8_t* body, std::size_t length, PulseBuffer& pulse,
                         Spectrum& spectrum, ScopeMonitorReadings& readings) {
    if (!DecodeScopeData(body, length, pulse, readings)) {
        return false;
    }
    spectrum.addCount(pulse.maxSample);
    return true;
}

} // namespace tarvio
