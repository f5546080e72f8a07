#include "sim/PulseShape.h"

#include "sim/SourcePhysics.h"

#include <algorithm>
#include <cmath>

namespace tarvio::pulse {

double onsetSample(std::size_t sampleCount) {
    return std::min(40.0, std::floor(sampleCount / 10.0));
}

void shapeSamples(double amplitude, std::size_t sampleCount, double phase, SimRandom& noise,
                  std::vector<std::uint16_t>& samples) {
    PulseDrawing drawing;
    drawing.amplitude = amplitude;
    drawing.phase = phase;
    drawing.baseline = detector::BaselineCode;
    drawing.noiseCodes = detector::SampleNoiseCodes;
    shapeSamples(drawing, sampleCount, noise, samples);
}

void shapeSamples(const PulseDrawing& drawing, std::size_t sampleCount, SimRandom& noise,
                  std::vector<std::uint16_t>& samples) {
    samples.resize(sampleCount);
    const double onset = onsetSample(sampleCount) + drawing.phase;
    const double second = onset + drawing.secondOffset;
    for (std::size_t k = 0; k < sampleCount; ++k) {
        double value = drawing.baseline + drawing.noiseCodes * noise.normal();
        const double x = (static_cast<double>(k) - onset) / ShapingSamples;
        if (x > 0 && drawing.amplitude > 0) {
            // CR-RC: peaks at x = 1 with the full amplitude.
            value += drawing.amplitude * x * std::exp(1.0 - x);
        }
        if (drawing.secondAmplitude > 0) {
            value +=
                drawing.secondAmplitude * crrc((static_cast<double>(k) - second) / ShapingSamples);
        }
        value = std::clamp(std::round(value), 0.0, static_cast<double>(MaxCode));
        samples[k] = static_cast<std::uint16_t>(value);
    }
}

void encodeScopeData(const std::vector<std::uint16_t>& samples, std::uint8_t monitorTag,
                     std::uint16_t monitorValue, std::vector<std::uint8_t>& message) {
    const std::size_t words = samples.size() + 1;
    message.clear();
    message.reserve(1 + 2 + 2 * words + 3);
    message.push_back('$');
    const auto last = static_cast<std::uint16_t>(words - 1);
    message.push_back(static_cast<std::uint8_t>(last & 0xFF));
    message.push_back(static_cast<std::uint8_t>(last >> 8));
    auto word = [&](std::uint16_t w) {
        message.push_back(static_cast<std::uint8_t>(w >> 8));
        message.push_back(static_cast<std::uint8_t>(w & 0xFF));
    };
    for (std::uint16_t s : samples) {
        word(s & 0x0FFF);
    }
    word(static_cast<std::uint16_t>(((monitorTag & 7u) << 12) | (monitorValue & 0x0FFFu)));
    message.push_back('O');
    message.push_back('K');
    message.push_back('\r');
}

std::uint16_t hostPulseHeight(const std::uint16_t* words, std::size_t wordCount) {
    std::uint16_t height = 0;
    for (std::size_t k = 0; k + 1 < wordCount && k < HostSampleWindow; ++k) {
        const unsigned tag = (words[k] >> 12) & 7u;
        if (tag == MonitorTagA || tag == MonitorTagB) {
            continue;
        }
        height = std::max<std::uint16_t>(height, words[k] & 0x0FFF);
    }
    return height;
}

std::uint16_t hostPulseHeight(const std::vector<std::uint16_t>& samples) {
    // The monitor word that follows the samples is the message's last word.
    std::uint16_t height = 0;
    const std::size_t wordCount = samples.size() + 1;
    for (std::size_t k = 0; k + 1 < wordCount && k < HostSampleWindow; ++k) {
        height = std::max<std::uint16_t>(height, samples[k] & 0x0FFF);
    }
    return height;
}

} // namespace tarvio::pulse
