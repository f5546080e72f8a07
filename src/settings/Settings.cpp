#include "settings/Settings.h"

#include "records/AtomicFile.h"
#include "settings/AppError.h"
#include "settings/IniFile.h"
#include "settings/NumberFormat.h"
#include "settings/SettingsLocation.h"
#include "records/TextFile.h"

#include <cmath>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvio {

namespace {

constexpr const char* CalibrationSection = "Calibration";
constexpr const char* SettingsSection = "Settings";

std::int32_t readInt(const IniFile& ini, const char* section, const char* key,
                     std::int32_t fallback) {
    const auto text = ini.value(section, key);
    if (!text)
        return fallback;
    return tryParseInt(*text).value_or(fallback);
}

double readFloat(const IniFile& ini, const char* section, const char* key, double fallback) {
    const auto text = ini.value(section, key);
    if (!text)
        return fallback;
    return tryParseFloat(*text).value_or(fallback);
}

[[noreturn]] void unableToWrite(const std::string& path) {
    throw AppError("Unable to write to " + path);
}

// A settings.ini that is a link is written through to the file it points at, so the link
// survives the rename.
std::string writeTarget(const std::string& path) {
    std::error_code error;
    if (std::filesystem::is_symlink(path, error)) {
        const auto target = std::filesystem::canonical(path, error);
        if (!error)
            return target.string();
    }
    return path;
}

} // namespace

std::string settingsPath() {
    return locateSettings(currentSettingsPlaces()).file;
}

IniFile readSettingsFile(const std::string& path) {
    const TextFileContents file = readTextFile(path);
    return file.status == ReadStatus::Ok ? IniFile::parse(file.text) : IniFile();
}

std::string loadSettings(const std::string& path, AppSettings& settings, CalibrationPoint& point1,
                         CalibrationPoint& point2) {
    const TextFileContents file = readTextFile(path);
    const IniFile ini = file.status == ReadStatus::Ok ? IniFile::parse(file.text) : IniFile();
    const AppSettings defaults;

    point1.channel = readInt(ini, CalibrationSection, "Peak1", 0);
    point1.energy = readFloat(ini, CalibrationSection, "Energy1", 0.0);
    point2.channel = readInt(ini, CalibrationSection, "Peak2", 0);
    point2.energy = readFloat(ini, CalibrationSection, "Energy2", 0.0);
    settings.delaySeconds = readInt(ini, SettingsSection, "Delay", 200) * 0.001;
    settings.biasMaxVolts = readInt(ini, SettingsSection, "BiasMax", defaults.biasMaxVolts);
    settings.biasMinVolts = readInt(ini, SettingsSection, "BiasMin", defaults.biasMinVolts);

    if (file.status == ReadStatus::TooLarge)
        return "Settings file " + path + " " + file.problem +
               " and was not read; the built-in settings apply and the file is left as it is.";
    if (file.status == ReadStatus::Failed)
        return "Settings file " + path + " " + file.problem +
               " and was not read; the built-in settings apply.";
    return {};
}

std::int32_t delayMilliseconds(double delaySeconds) {
    double ms = delaySeconds * 1000.0;
    // A delay typed as 12.5 ms is held as 0.0125 s, which times 1000 can land a hair below
    // 12.5; snap to the nearest millionth first so the half still goes up.
    if (std::fabs(ms) < 1e9)
        ms = std::nearbyint(ms * 1e6) / 1e6;
    return truncToInt(std::floor(ms + 0.5));
}

void saveSettings(const std::string& path, const AppSettings& settings,
                  const CalibrationPoint& point1, const CalibrationPoint& point2,
                  const std::function<void(IniFile&)>& moreSections) {
    const std::string target = writeTarget(path);
    const TextFileContents file = readTextFile(target);
    if (file.status == ReadStatus::TooLarge)
        return;
    // A file we cannot read would lose the operator's other keys if we replaced it.
    if (file.status == ReadStatus::Failed)
        unableToWrite(path);
    if (file.status == ReadStatus::Ok) {
        struct stat info {};
        if (::stat(target.c_str(), &info) != 0 || (info.st_mode & 0222) == 0 ||
            ::access(target.c_str(), W_OK) != 0)
            unableToWrite(path);
    }

    IniFile ini = file.status == ReadStatus::Ok ? IniFile::parse(file.text) : IniFile();
    ini.setValue(CalibrationSection, "Peak1", std::to_string(truncToInt(point1.channel)));
    ini.setValue(CalibrationSection, "Peak2", std::to_string(truncToInt(point2.channel)));
    ini.setValue(CalibrationSection, "Energy1", formatGeneral(point1.energy));
    ini.setValue(CalibrationSection, "Energy2", formatGeneral(point2.energy));
    ini.setValue(SettingsSection, "Delay",
                 std::to_string(delayMilliseconds(settings.delaySeconds)));
    ini.setValue(SettingsSection, "BiasMax", std::to_string(settings.biasMaxVolts));
    ini.setValue(SettingsSection, "BiasMin", std::to_string(settings.biasMinVolts));
    if (moreSections)
        moreSections(ini);

    if (!writeFileAtomically(target, ini.text()))
        unableToWrite(path);
}

} // namespace tarvio
