// The threshold and bias groups: edit boxes and track bars that follow each other, and the
// Set buttons and the bias switch that send.

#include "app/MainWindow.h"
#include "app/OperatingPoint.h"
#include "settings/NumberFormat.h"
#include "spectrometer/QrxController.h"

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
    if (!deviceOpened_)
        return;
    thresholdVolts_ = tryParseFloat(textOf(edtTreshold)).value_or(ThresholdIfNotANumber);
    controller_->SetThreshold(thresholdVolts_);
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
    if (!deviceOpened_)
        return;
    const std::int32_t volts = parseInt(textOf(edtBias));
    if (controller_->SetBias(biasCode(volts, settings_.biasMinVolts, settings_.biasMaxVolts)))
        controller_->NoteBiasVolts(
            biasVoltsInForce(volts, settings_.biasMinVolts, settings_.biasMaxVolts));
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

void TfrmMain::adoptOperatingPoint() {
    // Bias off, the threshold the interface holds adopted and sent back, the scope set up.
    showBiasOff();
    controller_->SetBias(0);
    controller_->NoteBiasVolts(std::nullopt);
    controller_->ReadMonitor();
    thresholdVolts_ = controller_->monitorThreshold();
    controller_->SetThreshold(thresholdVolts_);
    edtTreshold->setText(
        QString::fromStdString(formatGeneral(truncateToHundredths(thresholdVolts_))));
    controller_->ConfigureScope();
}

void TfrmMain::chbBiasOnClick() {
    const bool on = chbBiasOn->isChecked();
    edtBias->setEnabled(on);
    tbBias->setEnabled(on);
    btnSetBias->setEnabled(on);
    if (!deviceOpened_)
        return;
    if (on)
        btnSetBiasClick();
    else if (controller_->SetBias(0))
        controller_->NoteBiasVolts(std::nullopt);
}

} // namespace tarvio
