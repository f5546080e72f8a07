#include "spectrometer/Presets.h"

#include "analysis/RegionFigures.h"
#include "spectrometer/DeadTime.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

std::optional<double> positive(std::optional<double> seconds) {
    if (seconds && std::isfinite(*seconds) && *seconds > 0) {
        return seconds;
    }
    return std::nullopt;
}

// The smaller of two optional values.
std::optional<double> least(std::optional<double> a, std::optional<double> b) {
    if (!a) {
        return b;
    }
    if (!b) {
        return a;
    }
    return std::min(*a, *b);
}

} // namespace

const char* PresetKindName(PresetKind kind) {
    switch (kind) {
    case PresetKind::LiveTime:
        return "live time";
    case PresetKind::Counts:
        return "counts";
    case PresetKind::RegionCounts:
        return "region counts";
    case PresetKind::RealTime:
        break;
    }
    return "real time";
}

double PresetProgress::liveSeconds() const {
    return LiveSeconds(realSeconds, counts + rejected, deadTimePerPulse);
}

void Presets::set(const MeasurementPresets& limits) {
    limits_.realSeconds = positive(limits.realSeconds);
    limits_.liveSeconds = positive(limits.liveSeconds);
    limits_.counts = limits.counts && *limits.counts > 0 ? limits.counts : std::nullopt;
    const auto& region = limits.region;
    limits_.region = region && region->counts > 0 && region->first <= region->last &&
                             region->last < SpectrumChannels
                         ? region
                         : std::nullopt;
}

std::optional<PresetKind> Presets::metByData(const PresetProgress& progress) const {
    if (limits_.counts && progress.counts >= *limits_.counts) {
        return PresetKind::Counts;
    }
    if (limits_.region && progress.regionCounts &&
        *progress.regionCounts >= static_cast<double>(limits_.region->counts)) {
        return PresetKind::RegionCounts;
    }
    return std::nullopt;
}

std::optional<double> Presets::regionCounts(const Spectrum& spectrum) const {
    if (!limits_.region) {
        return std::nullopt;
    }
    const Region region{limits_.region->first, limits_.region->last};
    return limits_.region->gross ? regionGrossCounts(spectrum, region)
                                 : regionNetCounts(spectrum, region);
}

std::optional<Presets::Reached> Presets::check(const PresetProgress& progress) const {
    std::optional<Reached> first;
    const auto consider = [&](PresetKind kind, double at) {
        if (at <= progress.realSeconds && (!first || at < first->atRealSeconds)) {
            first = Reached{kind, at};
        }
    };
    if (limits_.realSeconds) {
        consider(PresetKind::RealTime, *limits_.realSeconds);
    }
    if (limits_.liveSeconds) {
        consider(PresetKind::LiveTime,
                 *limits_.liveSeconds + static_cast<double>(progress.counts + progress.rejected) *
                                            progress.deadTimePerPulse);
    }
    return first;
}

std::optional<double> Presets::fractionDone(const PresetProgress& progress) const {
    std::optional<double> done;
    const auto consider = [&](double fraction) {
        done = std::max(done.value_or(0.0), std::clamp(fraction, 0.0, 1.0));
    };
    if (limits_.realSeconds) {
        consider(progress.realSeconds / *limits_.realSeconds);
    }
    if (limits_.liveSeconds) {
        consider(progress.liveSeconds() / *limits_.liveSeconds);
    }
    if (limits_.counts) {
        consider(static_cast<double>(progress.counts) / static_cast<double>(*limits_.counts));
    }
    if (limits_.region && progress.regionCounts) {
        consider(*progress.regionCounts / static_cast<double>(limits_.region->counts));
    }
    return done;
}

std::optional<double> Presets::secondsLeft(const PresetProgress& progress,
                                           std::optional<double> countRate) const {
    std::optional<double> left;
    if (limits_.realSeconds) {
        left = least(left, std::max(0.0, *limits_.realSeconds - progress.realSeconds));
    }
    if (limits_.liveSeconds && progress.realSeconds > 0) {
        // Live time has been growing at this share of real time.
        const double share = progress.liveSeconds() / progress.realSeconds;
        const double missing = std::max(0.0, *limits_.liveSeconds - progress.liveSeconds());
        if (share > 0) {
            left = least(left, missing / share);
        }
    }
    if (limits_.counts && countRate && *countRate > 0) {
        const double missing = static_cast<double>(*limits_.counts) -
                               static_cast<double>(std::min(progress.counts, *limits_.counts));
        left = least(left, missing / *countRate);
    }
    return left;
}

} // namespace tarvio
