// The threshold and bias groups: edit boxes and track bars that follow each other, and the
// Set buttons and the bias switch that send.

#include "app/MainWindow.h"
#include "app/MeasurementStatusBar.h"
#include "app/OperatingPoint.h"
#include "session/MeasurementSession.h"
#include "settings/NumberFormat.h"
#include "spectrometer/OperatorAdvice.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

namespace tarvio {

namespace {

// A value the threshold Set button sends when the edit box holds no number.
constexpr double ThresholdIfNotANumber = 0.1;

std::string textOf(const QLineEdit* edit) {
    return edit->text().toStdString();
}

} // namespace

void TfrmMain::tbTresholdChange() {
    // Only the operator's moves are written back; a position set from the edit box is not.
    if (!tbTreshold->hasFocus())
        return;
    edtTreshold->setText(
        QString::fromStdString(formatGeneral(tbTreshold->value() * ThresholdVoltsPerStep)));
}

void TfrmMain::edtTresholdChange() {
    tbTreshold->setValue(thresholdTrackPosition(tryParseFloat(textOf(edtTreshold)).value_or(0.0)));
}

void TfrmMain::btnTresholdClick() {
    if (!deviceOpened())
        return;
    const double volts = tryParseFloat(textOf(edtTreshold)).value_or(ThresholdIfNotANumber);
    session_->setThreshold(volts);
    logInbox_->pushLine("Threshold set to " + formatGeneral(volts) + " V.");
}

void TfrmMain::tbBiasChange() {
    if (!tbBias->hasFocus())
        return;
    edtBias->setText(QString::number(tbBias->value()));
}

void TfrmMain::edtBiasChange() {
    // The track bar holds the position to its range.
    tbBias->setValue(tryParseInt(textOf(edtBias)).value_or(0));
}

void TfrmMain::btnSetBiasClick() {
    if (!deviceOpened())
        return;
    const std::int32_t volts = parseInt(textOf(edtBias));
    const auto inForce = biasVoltsInForce(volts, settings_.biasMinVolts, settings_.biasMaxVolts);
    session_->setBias(biasCode(volts, settings_.biasMinVolts, settings_.biasMaxVolts), inForce);
    logInbox_->pushLine("Bias set to " + formatGeneral(inForce) + " V.");
}

void TfrmMain::showBiasOff() {
    {
        // Only the box changes here; the caller sends the bias itself.
        const QSignalBlocker quiet(chbBiasOn);
        chbBiasOn->setChecked(false);
    }
    edtBias->setEnabled(false);
    tbBias->setEnabled(false);
    btnSetBias->setEnabled(false);
}

void TfrmMain::showOperatingPoint() {
    showBiasOff();
    edtTreshold->setText(
        QString::fromStdString(formatGeneral(truncateToHundredths(session_->thresholdVolts()))));
}

void TfrmMain::chbBiasOnClick() {
    const bool on = chbBiasOn->isChecked();
    edtBias->setEnabled(on);
    tbBias->setEnabled(on);
    btnSetBias->setEnabled(on);
    if (!deviceOpened())
        return;
    if (on) {
        btnSetBiasClick();
        if (sbStatus->notice() == QLatin1String(BiasOffAdvice)) {
            sbStatus->setNotice({});
            refreshStatus();
        }
    } else {
        session_->setBias(0, std::nullopt);
        logInbox_->pushLine("Bias off.");
    }
}

} // namespace tarvio
