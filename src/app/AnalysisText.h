#pragma once
// Figures of the spectrum analysis as the window shows them: the locale's decimal separator,
// a dash for a figure that is absent or not a finite number (never "nan" on screen), and a
// value with its uncertainty as "v ± u".

#include "records/EnergyCalibration.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tarvio {

inline const QString AbsentFigure = QStringLiteral("\u2013");

QString figureText(std::optional<double> value, int decimals);
QString figureText(std::optional<double> value, std::optional<double> uncertainty, int decimals);

// "Channel: 1200 Value: 35" as always; with an energy axis in use the channel's energy
// follows the channel: "Channel: 1200 (59.5 keV) Value: 35".
QString cursorLabelText(int channel, std::uint32_t value,
                        const std::optional<EnergyCalibration>& calibration);

} // namespace tarvio
