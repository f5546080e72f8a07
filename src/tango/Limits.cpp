#include "tango/Limits.h"

#include "formats/SpectrumFiles.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"
#include "settings/AnalysisSettings.h"

#include <cmath>
#include <sstream>

namespace tarvio {

namespace {

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

std::string refused(const std::string& attribute, const std::string& value,
                    const std::string& allowed) {
    return attribute + " = " + value + " refused: allowed " + allowed + ".";
}

} // namespace

Refusal checkBias(std::int64_t volts, const BiasRange& range) {
    const std::int64_t low = std::min(range.min, range.max);
    const std::int64_t high = std::max(range.min, range.max);
    if (volts >= low && volts <= high)
        return std::nullopt;
    return refused("Bias", std::to_string(volts) + " V",
                   std::to_string(low) + " to " + std::to_string(high) +
                       " V (BiasMin to BiasMax of the settings)");
}

Refusal checkThreshold(double volts) {
    if (volts >= 0.0 && volts <= MaxThresholdVolts)
        return std::nullopt;
    return refused("Threshold", number(volts) + " V", "0 to " + number(MaxThresholdVolts) + " V");
}

Refusal checkDelay(double milliseconds) {
    if (milliseconds >= 0.0 && milliseconds <= MaxDelayMilliseconds)
        return std::nullopt;
    return refused("Delay", number(milliseconds) + " ms",
                   "0 to " + number(MaxDelayMilliseconds) + " ms");
}

Refusal checkSamples(std::int64_t samples) {
    if (samples >= 1 && samples <= static_cast<std::int64_t>(MaxPulseSamples))
        return std::nullopt;
    return refused("Samples", std::to_string(samples),
                   "1 to " + std::to_string(MaxPulseSamples) + " samples per pulse");
}

Refusal checkPresetSeconds(const char* attribute, double seconds) {
    if (std::isfinite(seconds) && seconds >= 0.0)
        return std::nullopt;
    return refused(attribute, number(seconds) + " s", "0 (no preset) or more seconds");
}

Refusal checkPresetCounts(std::int64_t counts) {
    if (counts >= 0)
        return std::nullopt;
    return refused("PresetCounts", std::to_string(counts), "0 (no preset) or more counts");
}

RegionPresetValue parseRegionPreset(const std::vector<std::int64_t>& values) {
    const std::string allowed = "[first, last, counts] or [first, last, counts, gross 0 or 1] "
                                "with 0 <= first <= last <= " +
                                std::to_string(SpectrumChannels - 1) +
                                " and counts >= 0 (0: no preset), or nothing";
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i)
        text += (i ? ", " : "") + std::to_string(values[i]);
    text += "]";
    RegionPresetValue result;
    if (values.empty())
        return result;
    if (values.size() < 3 || values.size() > 4) {
        result.refusal = refused("PresetRegion", text, allowed);
        return result;
    }
    const std::int64_t first = values[0], last = values[1], counts = values[2];
    const std::int64_t gross = values.size() == 4 ? values[3] : 0;
    if (first < 0 || first > last || last >= SpectrumChannels || counts < 0 ||
        (gross != 0 && gross != 1)) {
        result.refusal = refused("PresetRegion", text, allowed);
        return result;
    }
    if (counts > 0)
        result.preset =
            RegionCountsPreset{static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last),
                               static_cast<std::uint64_t>(counts), gross == 1};
    return result;
}

RegionsValue parseRegions(const std::vector<std::int64_t>& values) {
    RegionsValue result;
    const auto refuse = [&](const std::string& what) {
        result.regions.clear();
        result.refusal = refused("Regions", what,
                                 "pairs of first and last channel, 0 <= first <= last <= " +
                                     std::to_string(SpectrumChannels - 1) + ", at most " +
                                     std::to_string(MaxRegions) + " regions");
        return result;
    };
    if (values.size() % 2 != 0)
        return refuse(std::to_string(values.size()) + " numbers");
    if (values.size() / 2 > MaxRegions)
        return refuse(std::to_string(values.size() / 2) + " regions");
    for (std::size_t i = 0; i < values.size(); i += 2) {
        const std::int64_t first = values[i], last = values[i + 1];
        if (first < 0 || first > last || last >= SpectrumChannels)
            return refuse(std::to_string(first) + "-" + std::to_string(last));
        result.regions.push_back(
            Region{static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last)});
    }
    return result;
}

Refusal checkSavePath(const std::string& path) {
    if (!path.empty() && formatForPath(path))
        return std::nullopt;
    std::string extensions;
    for (const FileFormat format : AllFileFormats)
        extensions += (extensions.empty() ? "." : ", .") + std::string(formatExtension(format));
    return "Save \"" + path + "\" refused: allowed a path ending in " + extensions +
           " (the format follows the extension).";
}

} // namespace tarvio
