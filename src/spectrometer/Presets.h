#pragma once
// The presets of a measurement: the limits at which it stops by itself, whichever comes
// first. One small owner: initialised empty, set from the configuration, asked after every
// counted pulse (metByData) and on the clock (check). The measurement record keeps it beside
// the spectrum under the controller's data lock; the window, command-line programs and tests
// ask the same object.
//
// The region preset is evaluated on the spectrum, and only when a pulse lands in its
// region, so that it costs nothing for the rest.

#include "records/Measurement.h"
#include "records/Spectrum.h"

#include <cstdint>
#include <optional>

namespace tarvio {

enum class PresetKind : std::uint8_t { RealTime, LiveTime, Counts, RegionCounts };

// "real time", "live time", "counts", "region counts".
const char* PresetKindName(PresetKind kind);

// Where a measurement stands at one moment.
struct PresetProgress {
    double realSeconds = 0;
    std::uint64_t counts = 0;
    double deadTimePerPulse = 0;
    // The counts of the region preset's region at the last look; empty without one.
    std::optional<double> regionCounts;
    std::uint64_t rejected = 0; // pulses kept out of the spectrum: dead time all the same

    double liveSeconds() const;
};

class Presets {
public:
    struct Reached {
        PresetKind kind;
        double atRealSeconds; // the real time at which the limit was met
    };

    // Limits that are not positive (or not finite) count as none.
    void set(const MeasurementPresets& limits);
    const MeasurementPresets& limits() const { return limits_; }
    bool any() const { return limits_.any(); }

    // The preset on the data met by `progress`, if any.
    std::optional<PresetKind> metByData(const PresetProgress& progress) const;

    // The net (or gross) counts of the region preset's region in `spectrum`; empty without a
    // region preset. Only pulses in the region change them: its background comes from its
    // own edge channels.
    std::optional<double> regionCounts(const Spectrum& spectrum) const;
    bool regionContains(std::uint32_t channel) const {
        return limits_.region && channel >= limits_.region->first &&
               channel <= limits_.region->last;
    }

    // The time preset met first by `progress`, with the exact real time at which it was met.
    // The live time grows only between pulses, so a live-time limit is met at
    // limit + counts x tau of real time.
    std::optional<Reached> check(const PresetProgress& progress) const;

    // How far the preset nearest to its limit has come, 0..1; empty without presets.
    std::optional<double> fractionDone(const PresetProgress& progress) const;
    // Seconds until the first limit at the present pace (counts at `countRate` per second);
    // empty when no preset can say.
    std::optional<double> secondsLeft(const PresetProgress& progress,
                                      std::optional<double> countRate) const;

private:
    MeasurementPresets limits_;
};

} // namespace tarvio
