#include "listmode/Replay.h"

#include "records/PulseEvent.h"
#include "records/Spectrum.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

void count(ReplayedSpectrum& spectrum, const ListEvents& events, std::size_t i,
           const ReprocessEvent& reprocess) {
    double height = events.height[i];
    std::uint32_t flags = events.flags[i];
    if (reprocess)
        reprocess(events.first + i, height, flags);
    ++spectrum.events;
    if (flags & PulseAfterPreset) {
        if (!(flags & PulseRejectionMask))
            ++spectrum.measurement.countsAfterEnd;
        return;
    }
    if (flags & PulseRejectionMask) {
        RejectedPulses& r = spectrum.measurement.rejected;
        r.saturated += (flags & PulseRejectedSaturated) != 0;
        r.pileUp += (flags & PulseRejectedPileUp) != 0;
        r.shape += (flags & PulseRejectedShape) != 0;
        ++r.total;
        return;
    }
    if (!(height >= 0.0) || height >= SpectrumChannels)
        return;
    ++spectrum.counts[static_cast<std::size_t>(height)];
    ++spectrum.measurement.acceptedCount;
}

ReplayedSpectrum emptySpectrum(const ListFileInfo& info, const TimeRange& range) {
    ReplayedSpectrum spectrum;
    spectrum.counts.assign(SpectrumChannels, 0);
    spectrum.range = range;
    MeasurementInfo& m = spectrum.measurement;
    m.operatingPoint = info.measurement.operatingPoint;
    m.deadTimePerPulseSeconds = info.measurement.deadTimePerPulseSeconds;
    m.ended = info.measurementEnded;
    if (info.measurement.startUtcMs)
        m.startUtcMs = *info.measurement.startUtcMs + range.fromNs / 1000000;
    return spectrum;
}

// Times once the counts are known.
void setTimes(ReplayedSpectrum& spectrum, const ListFileInfo& info) {
    MeasurementInfo& m = spectrum.measurement;
    const MeasurementInfo& whole = info.measurement;
    const bool all = spectrum.range.fromNs == 0 && spectrum.range.toNs >= info.recordedUntilNs;
    if (all && info.measurementEnded && whole.realSeconds) {
        m.realSeconds = whole.realSeconds;
        m.liveSeconds = whole.liveSeconds;
        return;
    }
    const double real = static_cast<double>(spectrum.range.toNs - spectrum.range.fromNs) * 1e-9;
    m.realSeconds = real;
    if (whole.deadTimePerPulseSeconds)
        // Rejected pulses made the interface blind as accepted ones do.
        m.liveSeconds =
            std::max(0.0, real - static_cast<double>(m.acceptedCount + m.rejected.total) *
                                     *whole.deadTimePerPulseSeconds);
    else if (whole.realSeconds && whole.liveSeconds && *whole.realSeconds > 0.0)
        m.liveSeconds = real * *whole.liveSeconds / *whole.realSeconds;
}

} // namespace

bool countedInSpectrum(std::uint32_t flags) {
    return (flags & (PulseRejectionMask | PulseAfterPreset)) == 0;
}

TimeRange clippedRange(const ListFileInfo& info, const TimeRange& range) {
    TimeRange clipped = range;
    // The last event's own nanosecond belongs to the recording.
    const std::int64_t end = info.recordedUntilNs + 1;
    clipped.fromNs = std::max<std::int64_t>(0, range.fromNs);
    clipped.toNs = std::max(clipped.fromNs, std::min(range.toNs, end));
    return clipped;
}

ReplayedSpectrum replaySpectrum(ListFileReader& reader, const TimeRange& range,
                                const ReprocessEvent& reprocess) {
    const TimeRange clipped = clippedRange(reader.info(), range);
    ReplayedSpectrum spectrum = emptySpectrum(reader.info(), clipped);
    reader.forEach(clipped, [&](const ListEvents& events) {
        for (std::size_t i = 0; i < events.count; ++i)
            count(spectrum, events, i, reprocess);
    });
    setTimes(spectrum, reader.info());
    return spectrum;
}

std::vector<ReplayedSpectrum> replaySlices(ListFileReader& reader, const TimeRange& range,
                                           std::int64_t sliceNs,
                                           const ReprocessEvent& reprocess) {
    const ListFileInfo& info = reader.info();
    const TimeRange clipped = clippedRange(info, range);
    sliceNs = std::max<std::int64_t>(sliceNs, 1);
    std::vector<ReplayedSpectrum> slices;
    for (std::int64_t from = clipped.fromNs; from < clipped.toNs; from += sliceNs) {
        const std::int64_t to = clipped.toNs - from > sliceNs ? from + sliceNs : clipped.toNs;
        slices.push_back(emptySpectrum(info, TimeRange{from, to}));
    }
    if (slices.empty())
        slices.push_back(emptySpectrum(info, clipped));
    reader.forEach(clipped, [&](const ListEvents& events) {
        for (std::size_t i = 0; i < events.count; ++i) {
            const std::int64_t k = (events.timeNs[i] - clipped.fromNs) / sliceNs;
            const std::size_t slice =
                std::min<std::size_t>(static_cast<std::size_t>(k), slices.size() - 1);
            count(slices[slice], events, i, reprocess);
        }
    });
    for (ReplayedSpectrum& slice : slices)
        setTimes(slice, info);
    return slices;
}

} // namespace tarvio
