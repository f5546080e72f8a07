#pragma once
// The bookkeeping of the current measurement: when it started, how long it ran, how many
// pulses it counted, the estimated live time and the presets that end it. The controller
// keeps one beside the spectrum and changes both under the same data lock; times are steady
// seconds of the program's clock, so tests run it on a manual one.
//
// Without presets the pulse path only counts: no clock is read per pulse.

#include "records/Measurement.h"
#include "records/Spectrum.h"
#include "spectrometer/DeadTime.h"
#include "spectrometer/MeasurementState.h"
#include "spectrometer/Presets.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace tarvio {

// Where a measurement stands, as the status bar and progress lines show it.
struct MeasurementStatus {
    MeasurementState state = MeasurementState::Idle;
    MeasurementInfo info;
    CountRates rates;
    std::optional<double> slidingRate;       // accepted pulses per second, last few seconds
    std::optional<PresetKind> presetReached; // the preset that ended the measurement
    std::optional<double> presetFraction;    // while a preset runs: 0..1
    std::optional<double> presetSecondsLeft;
};

class MeasurementRecord {
public:
    // The sliding rate looks this far back.
    static constexpr double SlidingWindowSeconds = 5.0;

    // Forgets the measurement and its counts (the spectrum was cleared). The presets and the
    // operating point stay.
    void clear();
    // A successful Start at `now`.
    void begin(double now, std::int64_t startUtcMs, double deadTimePerPulse);
    // Stop, Close or a lost interface: the clocks stop at `now`. Pulses still in flight are
    // counted as before.
    void end(double now);
    bool running() const { return running_; }

    // Takes effect at once. A limit the running measurement has already passed ends it now,
    // not in the past.
    void setPresets(const MeasurementPresets& limits, double now, const Spectrum& spectrum);
    const MeasurementPresets& presets() const { return presets_.limits(); }

    // Whether admit() and counted() need the time of the pulse.
    bool needsClock() const { return running_ && presets_.any(); }
    // Whether a pulse arriving at `now` goes into the spectrum. Once a preset has ended the
    // measurement it does not: it is counted apart, as after the end.
    bool admit(double now);
    // The admitted pulse has been counted into `spectrum`, in `channel` when known. Returns
    // whether it met a preset, which then ends the measurement with this pulse.
    bool counted(double now, const Spectrum& spectrum,
                 std::optional<std::uint32_t> channel = std::nullopt);
    // The admitted pulse was rejected by the processing for the reasons in `flags`
    // (PulseEvent.h): no count, but dead time.
    void rejected(std::uint32_t flags);
    // ns from the start of the measurement to `now` (0 before any Start).
    std::int64_t receiveNs(double now) const {
        return started_ ? static_cast<std::int64_t>((now - startedAt_) * 1e9) : 0;
    }
    // Meets the time presets at `now`; returns whether one ended the measurement just now.
    bool check(double now);
    // Pulses count again (a single shot after a preset).
    void reopen() { admitting_ = true; }
    std::optional<PresetKind> presetReached() const { return reached_; }
    // Whether a preset ended the measurement and nobody has stopped the interface since;
    // asking clears it.
    bool takeStopOwed() { return std::exchange(stopOwed_, false); }

    // Notes the count at `now` for the sliding rate; the periodic refresh calls it.
    void sample(double now);

    OperatingPoint& operatingPoint() { return info_.operatingPoint; }
    MeasurementInfo info(double now) const;
    // Everything but the state.
    void describe(double now, MeasurementStatus& status) const;

private:
    PresetProgress progressAt(double now) const;
    bool meetDataPresets(double now, const Spectrum& spectrum,
                         std::optional<std::uint32_t> channel = std::nullopt);
    double realAt(double now) const { return running_ ? now - startedAt_ : realAtEnd_; }
    void finish(PresetKind kind, double atRealSeconds);
    std::optional<double> slidingRate(double now) const;

    MeasurementInfo info_;
    Presets presets_;
    bool started_ = false; // a Start since the last clear
    bool running_ = false;
    bool admitting_ = true;
    bool stopOwed_ = false;
    double startedAt_ = 0;
    double realAtEnd_ = 0;
    double presetsSince_ = 0; // real time at which the presets last changed
    std::optional<PresetKind> reached_;
    std::optional<double> regionCounts_; // the region preset's, at the last pulse in it

    // (time, accepted count) every so often over the last SlidingWindowSeconds and more.
    static constexpr std::size_t RateSamples = 64;
    std::array<std::pair<double, std::uint64_t>, RateSamples> samples_{};
    std::size_t sampleCount_ = 0;
    std::size_t nextSample_ = 0;
};

} // namespace tarvio
