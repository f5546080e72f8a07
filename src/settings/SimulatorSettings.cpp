#include "settings/SimulatorSettings.h"

#include "settings/IniFile.h"
#include "settings/NumberFormat.h"
#include "settings/TextFile.h"

#include <charconv>

namespace tarvio {

namespace {

constexpr const char* Section = "Simulator";

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    const int base = takeRadixPrefix(text);
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Written by hand, so a point is understood whatever the locale's separator.
std::optional<double> parseDecimal(std::string_view text) {
    if (auto value = tryParseFloat(text))
        return value;
    return tryParseFloat(text, '.');
}

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
        if (const auto value = parseDecimal(*text))
            config.activity = *value;
    if (const auto text = ini.value(Section, "Chips"))
        if (const auto value = tryParseInt(*text))
            config.chips = *value;
    if (const auto text = ini.value(Section, "Seed"))
        if (const auto value = parseUnsigned(*text))
            config.seed = *value;
    if (const auto text = ini.value(Section, "Faults"))
        parseSimFaults(*text, config.faults);
    if (const auto text = ini.value(Section, "FaultRate"))
        if (const auto value = parseDecimal(*text))
            config.faultRate = *value;
    return sanitized(config);
}

} // namespace tarvio
