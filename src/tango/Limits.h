#pragma once
// What the device's writable attributes and its Save command accept. Each check returns the
// refusal (naming the attribute and the allowed range) or nothing; the device sends nothing
// to the interface for a refused value. Toolkit-free, so the rules are tested without Tango.

#include "analysis/Region.h"
#include "records/Measurement.h"
#include "tango/DeviceSession.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

using Refusal = std::optional<std::string>;

inline constexpr double MaxThresholdVolts = 2.5;
// The interval timer counts whole milliseconds; beyond a minute nothing would be measured.
inline constexpr double MaxDelayMilliseconds = 60000.0;

Refusal checkBias(std::int64_t volts, const BiasRange& range);
Refusal checkThreshold(double volts);
Refusal checkDelay(double milliseconds);
Refusal checkSamples(std::int64_t samples);
// A time preset in seconds; 0 is none.
Refusal checkPresetSeconds(const char* attribute, double seconds);
// 0 is none.
Refusal checkPresetCounts(std::int64_t counts);

// PresetRegion: [first, last, counts] or [first, last, counts, gross (0 or 1)], or nothing
// for none. A count of 0 is none too.
struct RegionPresetValue {
    std::optional<RegionCountsPreset> preset;
    Refusal refusal;
};
RegionPresetValue parseRegionPreset(const std::vector<std::int64_t>& values);

// Regions: pairs of first and last channel.
struct RegionsValue {
    std::vector<Region> regions;
    Refusal refusal;
};
RegionsValue parseRegions(const std::vector<std::int64_t>& values);

// A path whose extension names a spectrum format.
Refusal checkSavePath(const std::string& path);

} // namespace tarvio
