// Start, Stop and Single, the 100 ms refresh of both graphs and Save Spectrum.

#include "app/ImageView.h"
#include "app/ListModeRecording.h"
#include "app/MainWindow.h"
#include "app/MeasurementStatusBar.h"
#include "app/SaveFailure.h"
#include "app/WindowProcessing.h"
#include "app/SpectrumAnalysis.h"
#include "session/MeasurementSession.h"
#include "settings/NumberFormat.h"
#include "spectrometer/OperatorAdvice.h"
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
    if (!deviceOpened()) {
        // Start after Close (or with no interface at all) does nothing, as always; the status
        // bar says why, the log stays the interface's.
        sbStatus->setNotice(QString::fromLatin1(NoInterfaceAdvice));
        refreshStatus();
        return;
    }
    const std::int32_t typed =
        tryParseInt(cmbSamples->currentText().toStdString()).value_or(SampleCountIfNotANumber);
    listMode_->beforeStart();
    const auto samples =
        static_cast<std::uint16_t>(std::clamp(typed, MinSampleCount, MaxSampleCount));
    // A new measurement starts from an empty spectrum.
    session_->start({samples, settings_.delaySeconds});
    analysis_->spectrumReplaced(); // fits of the last spectrum describe it no more
    const bool biasOff = !chbBiasOn->isChecked();
    sbStatus->setNotice(biasOff ? QString::fromLatin1(BiasOffAdvice) : QString());
    logInbox_->pushLine("Start: " + std::to_string(samples) + " samples per pulse, delay " +
                        formatGeneral(settings_.delaySeconds * 1000.0) + " ms" +
                        (biasOff ? "; the bias is off, so no pulses will come." : "."));
    tmrGraphs->start();
    refreshStatus();
}

void TfrmMain::btnStopClick() {
    if (!deviceOpened())
        return;
    const bool wasMeasuring = session_->measuring();
    session_->stop();
    tmrGraphs->stop();
    if (wasMeasuring)
        logInbox_->pushLine("Stop.");
}

void TfrmMain::Button1Click() {
    if (!deviceOpened())
        return;
    session_->single();
    tmrGraphsTimer();
}

void TfrmMain::tmrGraphsTimer() {
    if (!deviceOpened())
        return;
    // Copies made under the data lock; drawing happens after it is left.
    PulseBuffer pulse;
    Spectrum spectrum;
    session_->snapshot(pulse, spectrum);
    if (!shownFrame_)
        shownFrame_ = std::make_unique<Frame>();
    shownFrame_->pulse = pulse;
    shownFrame_->spectrum = spectrum;
    drawGraphs();
    refreshStatus();
    processing_->refresh(session_->currentMeasurement());
}

void TfrmMain::redrawGraphs() {
    if (shownFrame_)
        drawGraphs();
}

void TfrmMain::drawGraphs() {
    const PulseBuffer& pulse = shownFrame_->pulse;
    const Spectrum& spectrum = shownFrame_->spectrum;
    pulseGraph_->draw(pulse, session_->thresholdVolts(), chbInverted->isChecked(),
                      chbAutoScale->isChecked(), processing_->fittedCurve(pulse));
    imgPulse->update();
    drawSpectrumGraph(spectrum);
}

void TfrmMain::interfaceLost() {
    // The measurement ended with every pulse that arrived: a last refresh shows them.
    if (!tmrGraphs->isActive())
        return;
    tmrGraphsTimer();
    tmrGraphs->stop();
}

void TfrmMain::miSaveSpectrumClick() {
    const QString chosen = chooseSaveFile_(*dlgSave);
    if (chosen.isEmpty())
        return;
    rememberFolder(chosen);
    saveSpectrumText(QDir::toNativeSeparators(chosen).toStdString());
}

void TfrmMain::saveSpectrumText(const std::string& path) {
    // The spectrum as it is now, copied under the data lock and written after it is left.
    PulseBuffer pulse;
    Spectrum spectrum;
    session_->snapshot(pulse, spectrum);
    // Calibrated: the energies the axis shows, or why there are none.
    const AnalysisState& analysis = session_->analysis();
    const auto axis = analysis.activeCalibration();
    const SaveResult saved = !chbCalibrated->isChecked() ? spectrum.saveText(path)
                             : axis                      ? spectrum.saveCalibratedText(path, *axis)
                                    : SaveResult::failure(analysis.calibrationProblem());
    throwIfNotSaved(saved, path);
    logInbox_->pushLine("Spectrum saved to " + path + ".");
}

} // namespace tarvio
