#include "settings/AutosaveSettings.h"

#include "settings/IniFile.h"
#include "settings/NumberFormat.h"
#include "records/TextFile.h"

namespace tarvio {

AutosaveSettings loadAutosaveSettings(const std::string& path) {
    AutosaveSettings settings;
    const TextFileContents file = readTextFile(path);
    if (file.status != ReadStatus::Ok)
        return settings;
    const auto text = IniFile::parse(file.text).value("Autosave", "Minutes");
    const auto minutes = text ? tryParseInt(*text) : std::nullopt;
    if (minutes && *minutes >= 0 && *minutes <= AutosaveSettings::MaxMinutes)
        settings.minutes = *minutes;
    return settings;
}

} // namespace tarvio
