#pragma once
// Spectra rebuilt from a recording: every event the live spectrum counted (not rejected, not
// after a preset) counts again in channel floor(height), over a time range or in slices of
// equal length, each with its own start, real and live time.

#include "listmode/ListFileReader.h"
#include "records/Measurement.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tarvio {

struct ReplayedSpectrum {
    std::vector<std::uint64_t> counts; // SpectrumChannels channels
    // Start, real and live time of the range, the operating point, the counts in it.
    MeasurementInfo measurement;
    TimeRange range;          // clipped to what the recording covers
    std::uint64_t events = 0; // in the range, counted or not
};

// Gives an event another height and rejection flags (another pulse processing of its raw
// samples): the file's event index, its height and flags as recorded, to be replaced.
using ReprocessEvent = std::function<void(std::uint64_t event, double& height, std::uint32_t& flags)>;

// Whether the live spectrum counted an event of these flags.
bool countedInSpectrum(std::uint32_t flags);

// One spectrum over range (clipped to the recording). Over the whole of a finished
// recording its times are the measurement's own; over a part, the real time is the part's
// length and the live time follows from the dead time per pulse.
ReplayedSpectrum replaySpectrum(ListFileReader& reader, const TimeRange& range,
                                const ReprocessEvent& reprocess = {});

// One spectrum per sliceNs from range's start; the last may be shorter. Together they hold
// exactly what replaySpectrum gives over the same range.
std::vector<ReplayedSpectrum> replaySlices(ListFileReader& reader, const TimeRange& range,
                                           std::int64_t sliceNs,
                                           const ReprocessEvent& reprocess = {});

// The range as the recording covers it: the end no later than the recording's.
TimeRange clippedRange(const ListFileInfo& info, const TimeRange& range);

} // namespace tarvio
