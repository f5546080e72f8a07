#include "settings/MeasurementSettings.h"

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
}

} // namespace tarvio
