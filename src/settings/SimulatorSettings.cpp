#include "settings/SimulatorSettings.h"

#include "records/TextFile.h"
#include "settings/IniFile.h"
#include "settings/NumberFormat.h"

namespace tarvio {

namespace {

constexpr const char* Section = "Simulator";

} // namespace

SimulatorConfig loadSimulatorConfig(const std::string& path) {
    SimulatorConfig config;
    const TextFileContents file = readTextFile(path);
    if (file.status != ReadStatus::Ok)
        return config;
    const IniFile ini = IniFile::parse(file.text);

    if (const auto text = ini.value(Section, "Enabled"))
        if (const auto value = tryParseInt(*text))
            config.enabled = *value != 0;
    if (const auto text = ini.value(Section, "Source"))
        parseSimSource(*text, config.source);
    if (const auto text = ini.value(Section, "Activity"))
        if (const auto value = tryParseFloatOrPoint(*text))
            config.activity = *value;
    if (const auto text = ini.value(Section, "Chips"))
        if (const auto value = tryParseInt(*text))
            config.chips = *value;
    if (const auto text = ini.value(Section, "Seed"))
        if (const auto value = tryParseUInt64(*text))
            config.seed = *value;
    if (const auto text = ini.value(Section, "Faults"))
        parseSimFaults(*text, config.faults);
    if (const auto text = ini.value(Section, "FaultRate"))
        if (const auto value = tryParseFloatOrPoint(*text))
            config.faultRate = *value;
    if (const auto text = ini.value(Section, "WireRate"))
        if (const auto value = tryParseFloatOrPoint(*text))
            config.wireRate = *value;
    if (const auto text = ini.value(Section, "Noise"))
        if (const auto value = tryParseFloatOrPoint(*text))
            config.noiseCodes = *value;
    if (const auto text = ini.value(Section, "BaselineWander"))
        if (const auto value = tryParseFloatOrPoint(*text))
            config.baselineWanderCodes = *value;
    if (const auto text = ini.value(Section, "PileUp"))
        if (const auto value = tryParseInt(*text))
            config.pileUp = *value != 0;
    return sanitized(config);
}

} // namespace tarvio
