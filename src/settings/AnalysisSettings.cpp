#include "settings/AnalysisSettings.h"

#include "settings/NumberFormat.h"

#include <charconv>
#include <string>

namespace tarvio {

namespace {

constexpr const char* RegionsSection = "Regions";
constexpr const char* CalibrationSection = "EnergyCalibration";

std::string numbered(const char* key, std::size_t index) {
    return key + std::to_string(index + 1);
}

std::optional<double> readNumber(const IniFile& ini, const std::string& key) {
    const auto text = ini.value(CalibrationSection, key);
    return text ? tryParseFloat(*text, '.') : std::nullopt;
}

// "first-last", both whole channels of the spectrum.
std::optional<Region> parseRegion(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    const auto whole = [](std::string_view t) -> std::optional<std::uint32_t> {
        std::uint32_t v = 0;
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (error != std::errc() || end != t.data() + t.size() || v >= SpectrumChannels)
            return std::nullopt;
        return v;
    };
    const auto first = whole(text.substr(0, dash));
    const auto last = whole(text.substr(dash + 1));
    if (!first || !last || *first > *last)
        return std::nullopt;
    return Region{*first, *last};
}

} // namespace

AnalysisSettings readAnalysisSettings(const IniFile& ini) {
    AnalysisSettings s;
    for (std::size_t i = 0; i < MaxRegions; ++i) {
        const auto text = ini.value(RegionsSection, numbered("Region", i));
        if (!text)
            continue;
        if (const auto region = parseRegion(*text))
            s.regions.push_back(*region);
    }

    if (ini.value(CalibrationSection, "Model") == std::optional<std::string>("Quadratic"))
        s.calibrationModel = CalibrationModel::Quadratic;
    for (std::size_t i = 0; i < MaxCalibrationPairs; ++i) {
        const auto channel = readNumber(ini, numbered("Channel", i));
        const auto energy = readNumber(ini, numbered("Energy", i));
        if (channel && energy)
            s.calibrationPairs.push_back({*channel, *energy});
    }
    const auto c0 = readNumber(ini, "C0");
    const auto c1 = readNumber(ini, "C1");
    const auto c2 = readNumber(ini, "C2");
    if (ini.value(CalibrationSection, "Active") == std::optional<std::string>("1") && c0 && c1 &&
        c2)
        s.polynomial = EnergyCalibration::fromCoefficients(*c0, *c1, *c2);
    return s;
}

void writeAnalysisSettings(IniFile& ini, const AnalysisSettings& s) {
    ini.removeSection(RegionsSection);
    for (std::size_t i = 0; i < s.regions.size() && i < MaxRegions; ++i)
        ini.setValue(RegionsSection, numbered("Region", i),
                     std::to_string(s.regions[i].first) + "-" + std::to_string(s.regions[i].last));

    ini.removeSection(CalibrationSection);
    if (s.calibrationPairs.empty() && !s.polynomial)
        return;
    const auto number = [](double v) { return formatGeneral(v, '.'); };
    ini.setValue(CalibrationSection, "Active", s.polynomial ? "1" : "0");
    ini.setValue(CalibrationSection, "Model",
                 s.calibrationModel == CalibrationModel::Quadratic ? "Quadratic" : "Line");
    if (s.polynomial) {
        for (std::size_t k = 0; k < 3; ++k)
            ini.setValue(CalibrationSection, "C" + std::to_string(k),
                         number(s.polynomial->coefficients[k]));
    }
    for (std::size_t i = 0; i < s.calibrationPairs.size() && i < MaxCalibrationPairs; ++i) {
        ini.setValue(CalibrationSection, numbered("Channel", i),
                     number(s.calibrationPairs[i].channel));
        ini.setValue(CalibrationSection, numbered("Energy", i),
                     number(s.calibrationPairs[i].energy));
    }
}

} // namespace tarvio
