#include "app/AnalysisText.h"

#include <QLocale>

#include <cmath>

namespace tarvio {

QString figureText(std::optional<double> value, int decimals) {
    if (!value || !std::isfinite(*value))
        return AbsentFigure;
    // The locale's decimal separator, but no group separators: 9324 cannot be misread.
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(*value, 'f', decimals);
}

QString figureText(std::optional<double> value, std::optional<double> uncertainty, int decimals) {
    const QString v = figureText(value, decimals);
    if (v == AbsentFigure || !uncertainty || !std::isfinite(*uncertainty))
        return v;
    return v + QStringLiteral(" \u00b1 ") + figureText(uncertainty, decimals);
}

QString cursorLabelText(int channel, std::uint32_t value,
                        const std::optional<EnergyCalibration>& calibration) {
    QString where = QString::number(channel);
    if (calibration) {
        const double keV = calibration->energy(channel);
        if (std::isfinite(keV))
            where += QStringLiteral(" (%1 keV)").arg(figureText(keV, 1));
    }
    return QStringLiteral("Channel: %1 Value: %2").arg(where).arg(value);
}

} // namespace tarvio
