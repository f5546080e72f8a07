#pragma once
// Regions of interest as typed on the command line: FIRST:LAST in channels, both included,
// and for a preset FIRST:LAST:N with the net counts to reach.

#include "analysis/Region.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

struct RegionCountPreset {
    Region region;
    std::uint64_t netCounts = 0;
};

// Each returns nullopt and says why in `error` (a sentence naming the text).
std::optional<Region> parseRegion(std::string_view text, std::string& error);
std::optional<RegionCountPreset> parseRegionCountPreset(std::string_view text, std::string& error);

// Every text of a repeated option; throws UsageError naming the option and the bad text.
std::vector<Region> parseRegionOptions(const std::string& option,
                                       const std::vector<std::string>& texts);

// "FIRST:LAST", as it is typed.
std::string regionText(const Region& region);

} // namespace tarvio
