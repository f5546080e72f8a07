#pragma once
// The digitised pulse: what the scope's converter records for one photon (baseline, noise and
// a CR-RC shaped pulse), the scope-data message that carries it, and the pulse height the
// host will take from that message.

#include "sim/SimRandom.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvio {

namespace pulse {

constexpr std::uint16_t MaxCode = 4095;
// Shaping time of the amplifier in scope samples; the CR-RC pulse peaks this long after onset.
constexpr double ShapingSamples = 5.0;
// Monitor channels whose readings ride along with every pulse.
constexpr std::uint8_t MonitorTagA = 2;
constexpr std::uint8_t MonitorTagB = 3;
// Largest sample count the host looks at in one message (it stores samples 0..448).
constexpr std::size_t HostSampleWindow = 449;
// The scope's sample clock: 20 MHz.
constexpr double SamplePeriodSeconds = 50e-9;

// Everything the converter records for one trace.
struct PulseDrawing {
    double amplitude = 0; // codes above the baseline (0: a trace without a pulse)
    double phase = 0;     // the onset's shift, 0..1 samples (the trigger's jitter)
    double baseline = 100.0;
    double noiseCodes = 2.0; // sigma of the converter noise on every sample
    // A second photon inside the record (amplitude 0: none), its onset this many samples
    // after the first's (negative: before).
    double secondAmplitude = 0;
    double secondOffset = 0;
};

// Sample where the pulse starts: a tenth of the record, so the peak lies well inside it.
double onsetSample(std::size_t sampleCount);

// Fills `samples` with `sampleCount` converter codes: the baseline with Gaussian noise plus a
// pulse of `amplitude` codes above it (0 for a trace without a pulse), its onset shifted by
// `phase` samples (0..1, the trigger's jitter against the sample clock). Codes are clipped to
// 0..4095.
void shapeSamples(double amplitude, std::size_t sampleCount, double phase, SimRandom& noise,
                  std::vector<std::uint16_t>& samples);
// The same for any drawing; the default drawing gives the same codes as above.
void shapeSamples(const PulseDrawing& drawing, std::size_t sampleCount, SimRandom& noise,
                  std::vector<std::uint16_t>& samples);

// The CR-RC shape at `x` shaping times after the onset, 1 at its peak (x = 1).
inline double crrc(double x) {
    return x > 0 ? x * std::exp(1.0 - x) : 0.0;
}

// The complete scope-data response: "$", the 16-bit little-endian word count minus one, the
// samples as big-endian words with tag 0, one big-endian word tagged `monitorTag` carrying
// `monitorValue`, and "OK\r".
void encodeScopeData(const std::vector<std::uint16_t>& samples, std::uint8_t monitorTag,
                     std::uint16_t monitorValue, std::vector<std::uint8_t>& message);

// The pulse height the host computes from a scope-data message's words: the largest 12-bit
// value among the words it stores as samples (words 0 .. min(n - 2, 448), skipping words
// tagged as monitor readings 2 and 3); 0 when it stores none.
std::uint16_t hostPulseHeight(const std::uint16_t* words, std::size_t wordCount);

// The same for the samples of one pulse as encodeScopeData sends them (sample words followed
// by the monitor word).
std::uint16_t hostPulseHeight(const std::vector<std::uint16_t>& samples);

} // namespace pulse

} // namespace tarvio
