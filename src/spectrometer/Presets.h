#pragma once
// The presets of a measurement: the limits at which it stops by itself, whichever comes
// first. One small owner: initialised empty, set from the configuration, asked after every
// counted pulse (metByData) and on the clock (check). The measurement record keeps it beside
// the spectrum under the controller's data lock; the window, command-line programs and tests
// ask the same object.
//
// A preset evaluated on the spectrum (the counts of a region) belongs in metByData, which
// is given the spectrum after every count.

#include "records/Measurement.h"
#include "records/Spectrum.h"

#include <cstdint>
#include <optional>

namespace tarvio {

enum class PresetKind : std::uint8_t { RealTime, LiveTime, Counts };

// "real time", "live time", "counts".
const char* PresetKindName(PresetKind kind);

// Where a measurement stands at one moment.
struct PresetProgress {
    double realSeconds = 0;
    std::uint64_t counts = 0;
    double deadTimePerPulse = 0;

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

    // The preset on the data met by `progress` and the spectrum it has led to, if any.
    std::optional<PresetKind> metByData(const PresetProgress& progress,
                                        const Spectrum& spectrum) const;

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
