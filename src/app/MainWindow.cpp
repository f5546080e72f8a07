// Start-up and shut-down of the main window, the device group, the dialogs and the log.

#include "app/MainWindow.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "app/ImageView.h"
#include "app/LinkErrorBoxes.h"
#include "app/SpectrumAnalysis.h"
#include "app/TfrmCalibrate.h"
#include "app/TfrmPresets.h"
#include "app/TfrmSettings.h"
#include "app/WindowAutosave.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"
#include "views/PulseGraph.h"
#include "views/ReferenceOverlay.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

#include <utility>
#include <vector>

namespace tarvio {

namespace {

// How long log lines gather before the window shows them in one go: a device that reports an
// error per message then costs the window a few appends a second, not thousands.
constexpr int LogBatchMilliseconds = 50;
// Lines shown per batch: appending a line to the log view costs some 25 us, so a batch takes
// at most about 5 ms of each 50 ms, and the window stays responsive under any flood.
constexpr std::size_t LogLinesPerBatch = 200;

// The wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

template <class Handler> void TfrmMain::guarded(Handler&& handler) {
    runGuarded(this, std::forward<Handler>(handler));
}

TfrmMain::TfrmMain(std::string settingsFile, QWidget* parent)
    : QMainWindow(parent), settingsFile_(std::move(settingsFile)),
      logInbox_(std::make_shared<LogInbox>()) {
    setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    createControls();
    createFileMenu();
    createAutosave();
    imgSpectrum->setCursor(Qt::CrossCursor);

    logFlushTimer_ = new QTimer(this);
    logFlushTimer_->setSingleShot(true);
    logFlushTimer_->setInterval(LogBatchMilliseconds);
    connect(logFlushTimer_, &QTimer::timeout, this, [this] { showNextLogBatch(); });
    // Called on whichever thread logs; it only posts to this window's thread. Queued events
    // die with the window, and the controller (whose thread calls this) dies before it.
    logInbox_->setWake([this] {
        QMetaObject::invokeMethod(
            this, [this] { scheduleLogFlush(); }, Qt::QueuedConnection);
    });

    chooseSaveFile_ = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().constFirst()
                   : QString();
    };

    connectHandlers();
    startUp();
    adjustSize();
    placeWindow();
}

TfrmMain::~TfrmMain() {
    // FormDestroy. No refresh may run from here on.
    deviceOpened_ = false;
    tmrGraphs->stop();
    logInbox_->setWake({});
    SetMonitorRescue({});
    controller_->SetStateListener({});
    controller_.reset();
    analysis_.reset();
    pulseGraph_.reset();
    spectrumGraph_.reset();
}

void TfrmMain::startUp() {
    // 1. and 2.: the controller with the window's two handlers. The inbox is shared with the
    // handlers, so a line logged while the window goes still has somewhere to go.
    thresholdVolts_ = 0.0;
    deviceOpened_ = false;
    controller_ = std::make_unique<TQrxController>();
    std::shared_ptr<LogInbox> inbox = logInbox_;
    controller_->SetLogHandler([inbox](const char* line) { inbox->pushLine(line ? line : ""); });
    controller_->SetPulseHandler([inbox] { inbox->notifyPulse(); });
    // Called on the thread that noticed the loss; the controller dies before this window.
    controller_->SetInterfaceLostHandler([this] {
        QMetaObject::invokeMethod(
            this, [this] { interfaceLost(); }, Qt::QueuedConnection);
    });
    // Any thread may change the state; the status bar follows on this one.
    controller_->SetStateListener([this](MeasurementState) {
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { refreshStatus(); }); }, Qt::QueuedConnection);
    });

    // 3. and 4.: the interfaces, once; the list is never refreshed.
    std::vector<std::string> devices;
    controller_->ListDevices(devices);
    for (const std::string& description : devices)
        cmbDevices->addItem(QString::fromStdString(description));
    if (cmbDevices->count() > 0)
        cmbDevices->setCurrentIndex(0);
    if (cmbDevices->count() < 2)
        cmbDevices->setEnabled(false);
    // Descriptions are longer than the list is wide.
    cmbDevices->setToolTip(cmbDevices->currentText());
    connect(cmbDevices, &QComboBox::currentTextChanged, cmbDevices, &QWidget::setToolTip);

    // 5.
    pulseGraph_ = std::make_unique<PulseGraph>(imgPulse->canvas());
    spectrumGraph_ = std::make_unique<SpectrumGraph>(imgSpectrum->canvas());
    analysis_ = std::make_unique<SpectrumAnalysis>(
        SpectrumAnalysis::Parts{this, [this](const QString& title) { return topMenu(title); },
                                client_, GroupBox3, chbCalibrated, imgSpectrum,
                                spectrumGraph_.get()},
        SpectrumAnalysis::Hooks{[this] { redrawGraphs(); }, [this] { resetZoom(); },
                                [this] { return currentMeasurement().liveSeconds; }});

    // 6. The list stays as step 4 left it.
    const std::string device = cmbDevices->currentText().toStdString();
    if (!device.empty()) {
        WaitCursor wait;
        const StartupOpenReports toTheLog(logInbox_, device);
        controller_->Open(device);
        deviceOpened_ = true;
    }

    // 7. to 10.: built-in settings, the bias track bar's one and only range, the settings
    // file (which does not move the track bar's range).
    settings_ = AppSettings{};
    tbBias->setRange(settings_.biasMinVolts, settings_.biasMaxVolts);
    tbBias->setValue(tbBias->minimum());
    edtBias->setText(QString::number(tbBias->minimum()));
    controller_->ClearRecords();
    const std::string settingsNote =
        loadSettings(settingsFile_, settings_, spectrumGraph_->point1, spectrumGraph_->point2);
    if (!settingsNote.empty())
        logInbox_->pushLine(settingsNote);
    {
        const auto stored = readSettingsFile(settingsFile_);
        readMeasurementSettings(stored, measurementSettings_);
        controller_->SetPresets(measurementSettings_.presets);
        controller_->SetExtraDeadTime(measurementSettings_.extraDeadTimeSeconds);
        analysis_->load(stored);
    }

    // 11. The interface's operating point, as after every open.
    if (!device.empty())
        adoptOperatingPoint();
}

void TfrmMain::setDialogs(TfrmSettings* settings, TfrmCalibrate* calibrate) {
    frmSettings_ = settings;
    frmCalibrate_ = calibrate;
}

void TfrmMain::setSaveFileChooser(SaveFileChooser chooser) {
    chooseSaveFile_ = std::move(chooser);
}

void TfrmMain::btnOpenDeviceClick() {
    const std::string device = cmbDevices->currentText().toStdString();
    if (device.empty())
        return;
    bool opened = false;
    {
        WaitCursor wait;
        opened = controller_->Open(device);
    }
    cmbDevices->setEnabled(false);
    deviceOpened_ = true;
    // A freshly opened interface has been reset: its bias is off whatever the On box showed.
    // Window and interface agree again as after start-up; an interface that did not open has
    // nothing to agree with, and the box is cleared all the same.
    if (opened) {
        WaitCursor wait;
        adoptOperatingPoint();
    } else {
        showBiasOff();
    }
}

void TfrmMain::btnCloseDeviceClick() {
    if (cmbDevices->currentText().isEmpty())
        return;
    // A lost interface has no measurement left to stop.
    if (!controller_->interfaceLost())
        controller_->StopMeasurement();
    autosaveEnd();
    controller_->Close();
    deviceOpened_ = false;
    if (cmbDevices->count() >= 2)
        cmbDevices->setEnabled(true);
}

void TfrmMain::miSettingsClick() {
    if (frmSettings_)
        frmSettings_->exec();
}

void TfrmMain::btnCalibrateClick() {
    if (!frmCalibrate_)
        return;
    frmCalibrate_->EditCalibration(spectrumGraph_->point1, spectrumGraph_->point2);
    // The two points calibrate the axis again, in place of a calibration from peaks.
    if (frmCalibrate_->result() == QDialog::Accepted)
        analysis_->twoPointCalibrationAccepted();
}

void TfrmMain::Button2Click() {
    if (!deviceOpened_)
        return;
    controller_->ReadMonitor();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    // FormCloseQuery allows every close.
    FormClose();
    event->accept();
}

void TfrmMain::FormClose() {
    // Each step gets its own boundary: a settings file that cannot be written shows its
    // error, and the window still closes.
    guarded([this] { btnStopClick(); });
    guarded([this] { btnCloseDeviceClick(); });
    guarded([this] {
        rememberPlacement();
        saveSettings(settingsFile_, settings_, spectrumGraph_->point1, spectrumGraph_->point2,
                     [this](IniFile& ini) {
                         writeSections(ini);
                         analysis_->save(ini);
                     });
    });
    // The log lines and repaints the close caused, before the window goes.
    flushLog();
    QCoreApplication::processEvents();
}

void TfrmMain::appendLogLine(const char* line) {
    memLog->appendPlainText(QString::fromUtf8(line));
}

void TfrmMain::onPulseArrived() {
    // The display is refreshed by the timer and by Single only.
}

void TfrmMain::scheduleLogFlush() {
    if (!logFlushTimer_->isActive())
        logFlushTimer_->start();
}

void TfrmMain::flushLog() {
    logFlushTimer_->stop();
    showLogBatch(SIZE_MAX);
}

void TfrmMain::showNextLogBatch() {
    // A device that floods the log gets a few milliseconds of the GUI thread per batch; the
    // rest waits in the inbox, whose oldest lines go when it is full.
    if (showLogBatch(LogLinesPerBatch))
        logFlushTimer_->start();
}

bool TfrmMain::showLogBatch(std::size_t maxLines) {
    LogInbox::Batch batch = logInbox_->take(maxLines);
    if (batch.droppedLines > 0)
        appendLogLine(QStringLiteral("(%1 log lines came faster than they could be shown and "
                                     "were left out)")
                          .arg(batch.droppedLines)
                          .toUtf8()
                          .constData());
    if (!batch.lines.empty()) {
        // One append for the whole batch: one layout and one scroll, however many lines.
        std::string text;
        for (std::size_t i = 0; i < batch.lines.size(); ++i) {
            if (i > 0)
                text += '\n';
            text += batch.lines[i];
        }
        appendLogLine(text.c_str());
    }
    if (batch.pulses > 0)
        onPulseArrived();
    return batch.more;
}

void TfrmMain::connectHandlers() {
    auto on = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { guarded([this, handler] { (this->*handler)(); }); });
    };
    on(btnOpenDevice, &QPushButton::clicked, &TfrmMain::btnOpenDeviceClick);
    on(btnCloseDevice, &QPushButton::clicked, &TfrmMain::btnCloseDeviceClick);
    on(miSettings, &QAction::triggered, &TfrmMain::miSettingsClick);
    on(btnCalibrate, &QPushButton::clicked, &TfrmMain::btnCalibrateClick);

    on(btnStart, &QPushButton::clicked, &TfrmMain::btnStartClick);
    on(btnStop, &QPushButton::clicked, &TfrmMain::btnStopClick);
    on(Button1, &QPushButton::clicked, &TfrmMain::Button1Click);
    on(tmrGraphs, &QTimer::timeout, &TfrmMain::tmrGraphsTimer);
    on(miSaveSpectrum, &QAction::triggered, &TfrmMain::miSaveSpectrumClick);

    // Change notifications fire for values the program sets, as well as typed ones.
    on(edtTreshold, &QLineEdit::textChanged, &TfrmMain::edtTresholdChange);
    on(tbTreshold, &QSlider::valueChanged, &TfrmMain::tbTresholdChange);
    on(btnTreshold, &QPushButton::clicked, &TfrmMain::btnTresholdClick);
    on(edtBias, &QLineEdit::textChanged, &TfrmMain::edtBiasChange);
    on(tbBias, &QSlider::valueChanged, &TfrmMain::tbBiasChange);
    on(btnSetBias, &QPushButton::clicked, &TfrmMain::btnSetBiasClick);
    on(chbBiasOn, &QCheckBox::toggled, &TfrmMain::chbBiasOnClick);

    on(sbHor, &QScrollBar::valueChanged, &TfrmMain::sbHorChange);
    on(sbVer, &QScrollBar::valueChanged, &TfrmMain::sbVerChange);
    on(chbCursor, &QCheckBox::toggled, &TfrmMain::chbCursorClick);
    on(tbCursor, &QSlider::valueChanged, &TfrmMain::tbCursorChange);
    on(sbCurLeft, &QToolButton::clicked, &TfrmMain::sbCurLeftClick);
    on(sbCurRight, &QToolButton::clicked, &TfrmMain::sbCurRightClick);

    using Mouse = void (TfrmMain::*)(int, int, Qt::MouseButtons);
    auto mouse = [this](auto signal, Mouse handler) {
        connect(imgSpectrum, signal, this, [this, handler](int x, int y, Qt::MouseButtons b) {
            guarded([&] { (this->*handler)(x, y, b); });
        });
    };
    mouse(&ImageView::mouseDown, &TfrmMain::imgSpectrumMouseDown);
    mouse(&ImageView::mouseMove, &TfrmMain::imgSpectrumMouseMove);
    mouse(&ImageView::mouseUp, &TfrmMain::imgSpectrumMouseUp);
}

} // namespace tarvio
