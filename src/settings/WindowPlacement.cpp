#include "settings/WindowPlacement.h"

#include "settings/IniFile.h"
#include "settings/NumberFormat.h"

#include <string>

namespace tarvio {

namespace {

constexpr const char* WindowSection = "Window";
// Far beyond any screen yet, but a window placed there is lost; the file is the operator's to
// edit, so such values are refused rather than obeyed.
constexpr std::int32_t Farthest = 100000;

std::optional<std::int32_t> readInRange(const IniFile& ini, const char* key, std::int32_t low,
                                        std::int32_t high) {
    const auto text = ini.value(WindowSection, key);
    if (!text)
        return std::nullopt;
    const auto value = tryParseInt(*text);
    if (!value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<WindowPlacement> readWindowPlacement(const IniFile& ini) {
    const auto left = readInRange(ini, "Left", -Farthest, Farthest);
    const auto top = readInRange(ini, "Top", -Farthest, Farthest);
    const auto width = readInRange(ini, "Width", 1, Farthest);
    const auto height = readInRange(ini, "Height", 1, Farthest);
    if (!left || !top || !width || !height)
        return std::nullopt;
    const bool maximised = readInRange(ini, "Maximised", 0, 1).value_or(0) == 1;
    return WindowPlacement{*left, *top, *width, *height, maximised};
}

void writeWindowPlacement(IniFile& ini, const WindowPlacement& placement) {
    ini.setValue(WindowSection, "Left", std::to_string(placement.left));
    ini.setValue(WindowSection, "Top", std::to_string(placement.top));
    ini.setValue(WindowSection, "Width", std::to_string(placement.width));
    ini.setValue(WindowSection, "Height", std::to_string(placement.height));
    ini.setValue(WindowSection, "Maximised", placement.maximised ? "1" : "0");
}

} // namespace tarvio
