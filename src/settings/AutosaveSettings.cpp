#include "settings/AutosaveSettings.h"

#include "records/TextFile.h"
#include "settings/IniFile.h"
#include "settings/NumberFormat.h"

namespace tarvio {

AutosaveSettings loadAutosaveSettings(const std::string& path) {
    AutosaveSettings settings;
    const TextFileContents file = readTextFile(path);
    if (file.status != ReadStatus::Ok)
        return settings;
    const IniFile ini = IniFile::parse(file.text);
    const auto text = ini.value("Autosave", "Minutes");
    const auto minutes = text ? tryParseInt(*text) : std::nullopt;
    if (minutes && *minutes >= 0 && *minutes <= AutosaveSettings::MaxMinutes)
        settings.minutes = *minutes;
    const auto secondsText = ini.value("Autosave", "Seconds");
    const auto seconds = secondsText ? tryParseInt(*secondsText) : std::nullopt;
    if (seconds && *seconds >= 0 && *seconds <= AutosaveSettings::MaxMinutes * 60)
        settings.seconds = *seconds;
    return settings;
}

} // namespace tarvio
