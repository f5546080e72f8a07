#pragma once
// The samples of the last digitised pulse: a fixed-size value without heap storage, so that
// a snapshot can be copied under the data lock and kept on the stack.

#include <algorithm>
#include <array>
#include <cstdint>

namespace tarvio {

constexpr std::uint32_t MaxPulseSamples = 450;
// Above every 12-bit converter code, so that the first stored sample sets the low end.
constexpr std::uint16_t EmptyRangeMin = 4096;

struct PulseBuffer {
    std::array<std::uint16_t, MaxPulseSamples> samples{};
    std::uint32_t sampleCount = 0;
    // Slots the last message filled, from slot 0. The slots above it up to sampleCount (the
    // message's last word is never stored) hold nothing measured for this pulse.
    std::uint32_t deliveredCount = 0;
    std::uint16_t maxSample = 0;
    std::uint16_t minSample = EmptyRangeMin;

    // Zeroes the samples and empties the range; the sample count stays, but none of the
    // zeroed slots counts as delivered.
    void clear() {
        samples.fill(0);
        deliveredCount = 0;
        resetRange();
    }

    void resetRange() {
        minSample = EmptyRangeMin;
        maxSample = 0;
    }

    // An index beyond the capacity is ignored rather than written past the buffer. The slots
    // up to the index count as delivered.
    void setSample(std::uint16_t index, std::uint16_t value) {
        if (index >= MaxPulseSamples)
            return;
        samples[index] = value;
        deliveredCount = std::max<std::uint32_t>(deliveredCount, index + 1u);
        if (value < minSample)
            minSample = value;
        if (value > maxSample)
            maxSample = value;
    }

    // The valid samples, count clamped to the capacity.
    std::uint32_t validCount() const { return std::min(sampleCount, MaxPulseSamples); }

    // Copies only the used part; samples beyond it keep their previous values. A source
    // count above the capacity is taken as the capacity.
    void copyFrom(const PulseBuffer& source) {
        const std::uint32_t n = source.validCount();
        std::copy_n(source.samples.begin(), n, samples.begin());
        sampleCount = n;
        deliveredCount = std::min(source.deliveredCount, n);
        maxSample = source.maxSample;
        minSample = source.minSample;
    }
};

} // namespace tarvio
