#pragma once
// The pulse-height histogram the simulated interface would collect in a given live time,
// drawn straight from the source, the detector and the pulse the host measures, without the
// protocol and its dead time: for tests and benchmarks of the analysis, which need many
// seeded spectra of a known truth (the source's activity, its lines, the efficiency) and
// cannot wait for each pulse to cross the link.

#include "sim/SimulatorConfig.h"

#include <cstdint>
#include <vector>

namespace tarvio {

struct SpectrumSynthesis {
    SimSource source = SimSource::Am241;
    double photonRate = 2000.0; // detected photons per second, as SimulatorConfig::activity
    double liveSeconds = 60.0;
    std::uint8_t biasCode = 1;        // the highest bias: full charge collection
    std::uint16_t thresholdDac = 163; // 0.1 V, the power-up threshold
    std::uint64_t seed = 1;
};

// 4096 channels: the host's pulse height of every photon above the threshold.
std::vector<std::uint32_t> synthesizeSpectrum(const SpectrumSynthesis& request);

// A spectrum without any peak: `counts` counts spread evenly over channels first..last.
std::vector<std::uint32_t> flatSpectrum(std::uint32_t first, std::uint32_t last,
                                        std::uint64_t counts, std::uint64_t seed);

} // namespace tarvio
