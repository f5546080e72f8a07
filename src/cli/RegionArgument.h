#pragma once
// Regions of interest as typed on the command line: FIRST:LAST in channels, both included,
// and for a preset FIRST:LAST:N with the net counts to reach.

#include "analysis/Region.h"
#include "records/Measurement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

// Each returns nullopt and says why in `error` (a sentence naming the text).
std::optional<Region> parseRegion(std::string_view text, std::string& error);
// The preset is on the region's net counts, as the window's is unless told "gross".
std::optional<RegionCountsPreset> parseRegionCountPreset(std::string_view text,
                                                         std::string& error);

// Every text of a repeated option; throws UsageError naming the option and the bad text.
std::vector<Region> parseRegionOptions(const std::string& option,
                                       const std::vector<std::string>& texts);

// "FIRST:LAST", as it is typed.
std::string regionText(const Region& region);

} // namespace tarvio
