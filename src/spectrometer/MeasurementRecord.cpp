#include "spectrometer/MeasurementRecord.h"

#include "records/PulseEvent.h"

#include <algorithm>

namespace tarvio {

namespace {
// A sliding rate over less than this is mostly noise; the whole-run rate stands in.
constexpr double ShortestRateSpan = 0.5;
} // namespace

void MeasurementRecord::clear() {
    OperatingPoint point = std::move(info_.operatingPoint);
    info_ = MeasurementInfo{};
    info_.operatingPoint = std::move(point);
    started_ = false;
    running_ = false;
    admitting_ = true;
    stopOwed_ = false;
    reached_.reset();
    regionCounts_ = presets_.limits().region ? std::optional<double>(0.0) : std::nullopt;
    sampleCount_ = 0;
    nextSample_ = 0;
}

void MeasurementRecord::begin(double now, std::int64_t startUtcMs, double deadTimePerPulse) {
    info_.startUtcMs = startUtcMs;
    info_.deadTimePerPulseSeconds = deadTimePerPulse;
    info_.ended = false;
    info_.countsAfterEnd = 0;
    started_ = true;
    running_ = true;
    admitting_ = true;
    stopOwed_ = false;
    reached_.reset();
    startedAt_ = now;
    realAtEnd_ = 0;
    presetsSince_ = 0;
    sampleCount_ = 0;
    nextSample_ = 0;
    sample(now);
}

void MeasurementRecord::end(double now) {
    stopOwed_ = false;
    if (!running_) {
        return;
    }
    realAtEnd_ = std::max(0.0, now - startedAt_);
    running_ = false;
    info_.ended = true;
}

void MeasurementRecord::setPresets(const MeasurementPresets& limits, double now,
                                   const Spectrum& spectrum) {
    presets_.set(limits);
    regionCounts_ = presets_.regionCounts(spectrum);
    if (running_) {
        presetsSince_ = realAt(now);
        if (!meetDataPresets(now, spectrum)) {
            check(now);
        }
    }
}

bool MeasurementRecord::admit(double now) {
    if (admitting_ && needsClock()) {
        check(now);
    }
    if (!admitting_) {
        ++info_.countsAfterEnd;
        return false;
    }
    return true;
}

bool MeasurementRecord::counted(double now, const Spectrum& spectrum,
                                std::optional<std::uint32_t> channel) {
    ++info_.acceptedCount;
    return running_ && presets_.any() && meetDataPresets(now, spectrum, channel);
}

void MeasurementRecord::rejected(std::uint32_t flags) {
    RejectedPulses& r = info_.rejected;
    r.saturated += (flags & PulseRejectedSaturated) != 0;
    r.pileUp += (flags & PulseRejectedPileUp) != 0;
    r.shape += (flags & PulseRejectedShape) != 0;
    ++r.total;
}

bool MeasurementRecord::meetDataPresets(double now, const Spectrum& spectrum,
                                        std::optional<std::uint32_t> channel) {
    if (!channel || presets_.regionContains(*channel)) {
        regionCounts_ = presets_.regionCounts(spectrum);
    }
    const PresetProgress progress = progressAt(now);
    const auto kind = presets_.metByData(progress);
    if (!kind) {
        return false;
    }
    finish(*kind, std::max(progress.realSeconds, presetsSince_));
    return true;
}

bool MeasurementRecord::check(double now) {
    if (!running_) {
        return false;
    }
    const auto reached = presets_.check(progressAt(now));
    if (!reached) {
        return false;
    }
    finish(reached->kind, std::max(reached->atRealSeconds, presetsSince_));
    return true;
}

void MeasurementRecord::finish(PresetKind kind, double atRealSeconds) {
    reached_ = kind;
    realAtEnd_ = atRealSeconds;
    running_ = false;
    admitting_ = false;
    stopOwed_ = true;
    info_.ended = true;
}

PresetProgress MeasurementRecord::progressAt(double now) const {
    return {realAt(now), info_.acceptedCount, info_.deadTimePerPulseSeconds.value_or(0.0),
            regionCounts_, info_.rejected.total};
}

void MeasurementRecord::sample(double now) {
    if (!running_) {
        return;
    }
    if (sampleCount_ > 0) {
        const auto& last = samples_[(nextSample_ + RateSamples - 1) % RateSamples];
        if (now - last.first < SlidingWindowSeconds / (RateSamples / 2)) {
            return;
        }
    }
    samples_[nextSample_] = {now, info_.acceptedCount};
    nextSample_ = (nextSample_ + 1) % RateSamples;
    sampleCount_ = std::min(sampleCount_ + 1, RateSamples);
}

std::optional<double> MeasurementRecord::slidingRate(double now) const {
    if (!running_) {
        return std::nullopt;
    }
    // The oldest sample inside the window.
    const std::size_t oldest = (nextSample_ + RateSamples - sampleCount_) % RateSamples;
    for (std::size_t i = 0; i < sampleCount_; ++i) {
        const auto& [time, count] = samples_[(oldest + i) % RateSamples];
        if (now - time > SlidingWindowSeconds) {
            continue;
        }
        if (now - time < ShortestRateSpan) {
            break;
        }
        return static_cast<double>(info_.acceptedCount - count) / (now - time);
    }
    return std::nullopt;
}

MeasurementInfo MeasurementRecord::info(double now) const {
    MeasurementInfo info = info_;
    if (started_) {
        const double real = realAt(now);
        info.realSeconds = real;
        info.liveSeconds = LiveSeconds(real, info_.acceptedCount + info_.rejected.total,
                                       info_.deadTimePerPulseSeconds.value_or(0.0));
    }
    return info;
}

void MeasurementRecord::describe(double now, MeasurementStatus& status) const {
    status.info = info(now);
    status.rates = RatesOf(status.info);
    status.slidingRate = slidingRate(now);
    status.presetReached = reached_;
    status.presetFraction.reset();
    status.presetSecondsLeft.reset();
    if (running_ && presets_.any()) {
        const PresetProgress progress = progressAt(now);
        status.presetFraction = presets_.fractionDone(progress);
        status.presetSecondsLeft = presets_.secondsLeft(
            progress, status.slidingRate ? status.slidingRate : status.rates.accepted);
    }
}

} // namespace tarvio
