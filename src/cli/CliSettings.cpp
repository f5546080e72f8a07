#include "cli/CliSettings.h"

#include "session/AnalysisState.h"
#include "settings/AnalysisSettings.h"
#include "settings/MeasurementSettings.h"
#include "settings/NumberFormat.h"
#include "settings/SettingsLocation.h"
#include "settings/SimulatorSettings.h"

#include <clocale>
#include <langinfo.h>
#include <locale.h>

namespace tarvio {

namespace {

char userSeparator = '.';

char userDecimalSeparator() {
    return userSeparator;
}

} // namespace

std::optional<EnergyCalibration> CliSettings::calibration() const {
    return activeCalibration(point1, point2, fromPeaks);
}

void useUserDecimalSeparator() {
    if (const locale_t user = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0))) {
        const char* radix = nl_langinfo_l(RADIXCHAR, user);
        if (radix && radix[0] != '\0' && radix[1] == '\0' &&
            static_cast<unsigned char>(radix[0]) < 0x80)
            userSeparator = radix[0];
        freelocale(user);
    }
    setDecimalSeparatorSource(&userDecimalSeparator);
}

CliSettings loadCliSettings(const std::string& explicitFile) {
    CliSettings settings;
    settings.file =
        explicitFile.empty() ? locateSettings(currentSettingsPlaces()).file : explicitFile;
    loadSettings(settings.file, settings.app, settings.point1, settings.point2);
    settings.simulator = loadSimulatorConfig(settings.file);
    const IniFile stored = readSettingsFile(settings.file);
    MeasurementSettings measurement;
    readMeasurementSettings(stored, measurement);
    settings.extraDeadTimeSeconds = measurement.extraDeadTimeSeconds;
    settings.fromPeaks = readAnalysisSettings(stored).polynomial;
    return settings;
}

} // namespace tarvio
