#include "cli/RegionArgument.h"

#include "cli/CommandErrors.h"
#include "records/Spectrum.h"

#include <charconv>

namespace tarvio {

namespace {

std::vector<std::string_view> splitColons(std::string_view text) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t colon = text.find(':');
        parts.push_back(text.substr(0, colon));
        if (colon == std::string_view::npos)
            return parts;
        text.remove_prefix(colon + 1);
    }
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<Region> regionOf(std::string_view whole, std::string_view first,
                               std::string_view last, std::string& error) {
    const auto a = parseUnsigned(first);
    const auto b = parseUnsigned(last);
    const std::string channels = "0 to " + std::to_string(SpectrumChannels - 1);
    if (!a || !b || *a >= SpectrumChannels || *b >= SpectrumChannels) {
        error = "'" + std::string(whole) + "': the channels must be whole numbers from " + channels;
        return std::nullopt;
    }
    if (*a > *b) {
        error = "'" + std::string(whole) + "': the first channel lies above the last";
        return std::nullopt;
    }
    return Region{static_cast<std::uint32_t>(*a), static_cast<std::uint32_t>(*b)};
}

} // namespace

std::optional<Region> parseRegion(std::string_view text, std::string& error) {
    const auto parts = splitColons(text);
    if (parts.size() != 2) {
        error = "'" + std::string(text) + "' is not a region FIRST:LAST";
        return std::nullopt;
    }
    return regionOf(text, parts[0], parts[1], error);
}

std::optional<RegionCountsPreset> parseRegionCountPreset(std::string_view text,
                                                         std::string& error) {
    const auto parts = splitColons(text);
    if (parts.size() != 3) {
        error = "'" + std::string(text) + "' is not a region preset FIRST:LAST:N";
        return std::nullopt;
    }
    const auto region = regionOf(text, parts[0], parts[1], error);
    if (!region)
        return std::nullopt;
    const auto counts = parseUnsigned(parts[2]);
    if (!counts || *counts == 0) {
        error = "'" + std::string(text) + "': N must be a whole number of counts above 0";
        return std::nullopt;
    }
    return RegionCountsPreset{region->first, region->last, *counts, false};
}

std::vector<Region> parseRegionOptions(const std::string& option,
                                       const std::vector<std::string>& texts) {
    std::vector<Region> regions;
    for (const std::string& text : texts) {
        std::string error;
        const auto region = parseRegion(text, error);
        if (!region)
            throw UsageError(option + " " + error);
        regions.push_back(*region);
    }
    return regions;
}

std::string regionText(const Region& region) {
    return std::to_string(region.first) + ":" + std::to_string(region.last);
}

} // namespace tarvio
