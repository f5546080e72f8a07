// Start, Stop and Single, the 100 ms refresh of both graphs and Save Spectrum.

#include "app/ImageView.h"
#include "app/MainWindow.h"
#include "app/SaveFailure.h"
#include "settings/NumberFormat.h"
#include "spectrometer/QrxController.h"
#include "views/PulseGraph.h"
#include "views/SpectrumGraph.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QTimer>

#include <algorithm>

namespace tarvio {

namespace {

// What the interface and the pulse buffer can take; the list offers 50 to 450.
constexpr std::int32_t MinSampleCount = 1;
constexpr std::int32_t MaxSampleCount = static_cast<std::int32_t>(MaxPulseSamples);
constexpr std::int32_t SampleCountIfNotANumber = 450;

} // namespace

void TfrmMain::btnStartClick() {
    if (!deviceOpened_)
        return;
    autosaveBegin();
    // A new measurement starts from an empty spectrum.
    controller_->ClearRecords();
    const std::int32_t typed =
        tryParseInt(cmbSamples->currentText().toStdString()).value_or(SampleCountIfNotANumber);
    controller_->SetSampleCount(
        static_cast<std::uint16_t>(std::clamp(typed, MinSampleCount, MaxSampleCount)));
    controller_->ConfigureScope();
    controller_->ArmMeasurement(settings_.delaySeconds);
    controller_->StartMeasurement();
    tmrGraphs->start();
}

void TfrmMain::btnStopClick() {
    if (!deviceOpened_)
        return;
    controller_->StopMeasurement();
    tmrGraphs->stop();
    autosaveEnd();
}

void TfrmMain::Button1Click() {
    if (!deviceOpened_)
        return;
    controller_->ConfigureScope();
    controller_->SingleShot();
    tmrGraphsTimer();
}

void TfrmMain::tmrGraphsTimer() {
    if (!deviceOpened_)
        return;
    // Copies made under the data lock; drawing happens after it is left.
    PulseBuffer pulse;
    Spectrum spectrum;
    controller_->Snapshot(pulse, spectrum);
    if (!shownFrame_)
        shownFrame_ = std::make_unique<Frame>();
    shownFrame_->pulse = pulse;
    shownFrame_->spectrum = spectrum;
    drawGraphs();
    // Also meets the time presets and stops the interface after one.
    refreshStatus();
}

void TfrmMain::redrawGraphs() {
    if (shownFrame_)
        drawGraphs();
}

void TfrmMain::drawGraphs() {
    const PulseBuffer& pulse = shownFrame_->pulse;
    const Spectrum& spectrum = shownFrame_->spectrum;
    pulseGraph_->draw(pulse, thresholdVolts_, chbInverted->isChecked(), chbAutoScale->isChecked());
    imgPulse->update();
    drawSpectrumGraph(spectrum);
}

void TfrmMain::interfaceLost() {
    autosaveEnd(); // the measurement ended with every pulse that arrived
    if (!tmrGraphs->isActive())
        return;
    tmrGraphsTimer();
    tmrGraphs->stop();
}

void TfrmMain::miSaveSpectrumClick() {
    const QString chosen = chooseSaveFile_(*dlgSave);
    if (chosen.isEmpty())
        return;
    saveSpectrumText(QDir::toNativeSeparators(chosen).toStdString());
}

void TfrmMain::saveSpectrumText(const std::string& path) {
    // The spectrum as it is now, copied under the data lock and written after it is left.
    PulseBuffer pulse;
    Spectrum spectrum;
    controller_->Snapshot(pulse, spectrum);
    // Calibrated: the energies the axis shows, from peaks or from the two points.
    const auto& polynomial = spectrumGraph_->polynomialCalibration();
    SaveResult saved;
    if (!chbCalibrated->isChecked())
        saved = spectrum.saveText(path);
    else if (polynomial)
        saved = spectrum.saveCalibratedText(path, *polynomial);
    else
        saved = spectrum.saveCalibratedText(path, spectrumGraph_->point1, spectrumGraph_->point2);
    throwIfNotSaved(saved, path);
}

} // namespace tarvio
