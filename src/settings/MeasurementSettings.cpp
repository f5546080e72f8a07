#include "settings/MeasurementSettings.h"

#include "records/Spectrum.h"
#include "settings/NumberFormat.h"

namespace tarvio {

namespace {

constexpr const char* PresetsSection = "Presets";
constexpr const char* DeadTimeSection = "DeadTime";
constexpr double SecondsPerMicrosecond = 1e-6;

std::optional<double> readPositive(const IniFile& ini, const char* section, const char* key) {
    const auto text = ini.value(section, key);
    const auto value = text ? tryParseFloatOrPoint(*text) : std::nullopt;
    return value && *value > 0 ? value : std::nullopt;
}

std::optional<std::uint64_t> readCount(const IniFile& ini, const char* key) {
    const auto text = ini.value(PresetsSection, key);
    return text ? tryParseUInt64(*text) : std::nullopt;
}

std::string secondsText(const std::optional<double>& seconds) {
    return seconds ? formatGeneral(*seconds) : std::string();
}

} // namespace

void readMeasurementSettings(const IniFile& ini, MeasurementSettings& settings) {
    MeasurementPresets& presets = settings.presets;
    presets.realSeconds = readPositive(ini, PresetsSection, "RealTime");
    presets.liveSeconds = readPositive(ini, PresetsSection, "LiveTime");
    const auto counts = ini.value(PresetsSection, "Counts");
    const auto count = counts ? tryParseUInt64(*counts) : std::nullopt;
    presets.counts = count && *count > 0 ? count : std::nullopt;
    presets.region.reset();
    const auto regionCounts = readCount(ini, "RegionCounts");
    const auto first = readCount(ini, "RegionFirst");
    const auto last = readCount(ini, "RegionLast");
    if (regionCounts && *regionCounts > 0 && first && last && *first <= *last &&
        *last < SpectrumChannels) {
        presets.region = RegionCountsPreset{static_cast<std::uint32_t>(*first),
                                            static_cast<std::uint32_t>(*last), *regionCounts,
                                            ini.value(PresetsSection, "RegionGross") == "1"};
    }
    settings.extraDeadTimeSeconds =
        readPositive(ini, DeadTimeSection, "ExtraPerPulseUs").value_or(0.0) * SecondsPerMicrosecond;
}

void writeMeasurementSettings(IniFile& ini, const MeasurementSettings& settings) {
    const MeasurementPresets& presets = settings.presets;
    if (!presets.any() && !ini.hasSection(PresetsSection))
        return;
    ini.setValue(PresetsSection, "RealTime", secondsText(presets.realSeconds));
    ini.setValue(PresetsSection, "LiveTime", secondsText(presets.liveSeconds));
    ini.setValue(PresetsSection, "Counts", presets.counts ? std::to_string(*presets.counts) : "");
    // The region's keys only once a region preset has been set, like the section itself.
    const auto& region = presets.region;
    if (!region && !ini.value(PresetsSection, "RegionCounts"))
        return;
    ini.setValue(PresetsSection, "RegionCounts", region ? std::to_string(region->counts) : "");
    ini.setValue(PresetsSection, "RegionFirst", region ? std::to_string(region->first) : "");
    ini.setValue(PresetsSection, "RegionLast", region ? std::to_string(region->last) : "");
    ini.setValue(PresetsSection, "RegionGross", region && region->gross ? "1" : "0");
}

} // namespace tarvio
