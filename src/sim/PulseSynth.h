#pragma once
// The pulse a trigger makes, with its imperfections (converter noise, a slowly wandering
// baseline, a second photon inside the record, clipping at the converter's top code), and
// the truth about it for tests and benchmarks: what was deposited, what the pulse's height
// really is and whether another photon rode along. The truth never goes on the wire.

#include "sim/Acquisition.h"
#include "sim/SimRandom.h"
#include "sim/SimulatorConfig.h"
#include "sim/SourcePhysics.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvio {

struct PulseTruth {
    std::uint64_t sequence = 0; // pulses made before this one (single shots included)
    double time = 0;            // the photon's moment, s
    double energyKeV = 0;       // deposited, before the detector's resolution
    double amplitude = 0;       // the pulse's true peak above its baseline, codes
    double onset = 0;           // sample where the pulse starts (a fraction of a sample)
    double baseline = 0;        // the baseline under this pulse, codes
    bool pileUp = false;        // a second photon lies inside the record
    double pileUpEnergyKeV = 0;
    double pileUpAmplitude = 0;
    double pileUpOffset = 0; // its onset after the first's, samples
    bool saturated = false;  // a sample reached the converter's top code
    bool singleShot = false;
    bool damaged = false; // a fault struck its message: the host will not count it
};

class PulseSynth {
public:
    // Second photons are looked for from this many samples before the first's onset to this
    // many after it.
    static constexpr double PileUpEarliestSamples = -10.0;
    static constexpr double PileUpLatestSamples = 50.0;
    // Correlation time of the baseline's wander.
    static constexpr double WanderSeconds = 5.0;

    explicit PulseSynth(const SimulatorConfig& config);

    // The samples of the pulse `trigger` makes at a bias code, and the truth about them.
    void make(const Trigger& trigger, std::uint8_t biasCode, std::size_t sampleCount,
              std::vector<std::uint16_t>& samples, PulseTruth& truth);

    // Chance that a second photon lands in the pile-up window at the configured activity.
    double pileUpProbability() const;

private:
    double baselineAt(double time);

    SimulatorConfig config_;
    SourceModel source_;
    SimRandom noise_;  // the converter's noise, the same stream as before imperfections came
    SimRandom extras_; // wander and second photons, drawn only when they are switched on
    double wander_ = 0;
    double wanderTime_ = 0;
    bool wanderStarted_ = false;
    std::uint64_t made_ = 0;
};

} // namespace tarvio
