// Start-up and shut-down of the main window, the device group, the dialogs and the log.

#include "app/MainWindow.h"

#include "app/DialogFrame.h"
#include "app/HandlerGuard.h"
#include "app/ImageView.h"
#include "app/LinkErrorBoxes.h"
#include "app/ListModeRecording.h"
#include "app/LogView.h"
#include "app/MeasurementStatusBar.h"
#include "app/SpectrumAnalysis.h"
#include "app/TfrmCalibrate.h"
#include "app/TfrmPresets.h"
#include "app/TfrmSettings.h"
#include "app/WindowProcessing.h"
#include "app/WindowPeaks.h"
#include "driver/TimeSource.h"
#include "session/MeasurementSession.h"
#include "spectrometer/OperatorAdvice.h"
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

#include <filesystem>
#include <utility>
#include <vector>

namespace tarvio {

namespace {

// How long settings.ini waits after a change, so that a run of changes makes one write.
constexpr int SettingsWriteMilliseconds = 2000;

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
    imgSpectrum->setCursor(Qt::CrossCursor);
    settingsTimer_ = new QTimer(this);
    settingsTimer_->setSingleShot(true);
    settingsTimer_->setInterval(SettingsWriteMilliseconds);
    connect(settingsTimer_, &QTimer::timeout, this,
            [this] { guarded([this] { writeSettings(); }); });

    logView_ = new LogView(*memLog, logInbox_, this);

    chooseSaveFile_ = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().constFirst()
                   : QString();
    };

    connectHandlers();
    startUp();
    createListModeEntries();
    adjustSize();
    placeWindow();
}

TfrmMain::~TfrmMain() {
    // FormDestroy. No refresh may run from here on.
    tmrGraphs->stop();
    settingsTimer_->stop();
    delete logView_;
    session_->setEndedListener({});
    controller().SetStateListener({});
    analysis_.reset();
    processing_.reset(); // its learning listens to the session
    destroyListModeEntries();
    session_.reset();
    pulseGraph_.reset();
    spectrumGraph_.reset();
}

void TfrmMain::startUp() {
    // 1. and 2.: the session with the window's handlers. The inbox is shared with the
    // handlers, so a line logged while the window goes still has somewhere to go.
    session_ = std::make_unique<MeasurementSession>();
    std::shared_ptr<LogInbox> inbox = logInbox_;
    session_->setLogHandler([inbox](const std::string& line) { inbox->pushLine(line); });
    controller().SetPulseHandler([inbox] { inbox->notifyPulse(); });
    // Any thread may end a measurement or change the state; the window follows on this one.
    session_->setEndedListener([this](const MeasurementEnd& end) {
        QMetaObject::invokeMethod(
            this, [this, end] { guarded([&] { measurementEnded(end); }); }, Qt::QueuedConnection);
    });
    controller().SetStateListener([this](MeasurementState) {
        QMetaObject::invokeMethod(
            this, [this] { guarded([this] { refreshStatus(); }); }, Qt::QueuedConnection);
    });
    createAutosave();

    // 3. and 4.: the interfaces, once; the list is never refreshed.
    for (const std::string& description : session_->listDevices())
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
                                spectrumGraph_.get(), &session_->analysis()},
        SpectrumAnalysis::Hooks{[this] { redrawGraphs(); }, [this] { resetZoom(); },
                                [this] { return session_->currentMeasurement().liveSeconds; },
                                [this](const std::string& line) { logInbox_->pushLine(line); }});
    peaks_ = std::make_unique<WindowPeaks>(
        WindowPeaks::Parts{this, [this](const QString& title) { return topMenu(title); },
                           spectrumGraph_.get()},
        WindowPeaks::Hooks{
            [this] { redrawGraphs(); }, [this] { return analysis_->shownCalibration(); },
            [this](std::vector<CalibrationPoint> pairs, CalibrationModel model,
                   EnergyCalibration calibration) {
                // The operator calibrated to see keV, as with Calibrate from Peaks.
                chbCalibrated->setChecked(true);
                spectrumGraph_->setCalibrated(true);
                session_->analysis().setCalibrationFromPeaks(std::move(pairs), model, calibration);
            },
            [this] { return session_->currentMeasurement().liveSeconds; },
            [] { return timeSource().now(); },
            (std::filesystem::path(settingsFile_).parent_path() / "nuclides.csv").string()});

    // 6. The list stays as step 4 left it; the session adopts the operating point.
    const std::string device = cmbDevices->currentText().toStdString();
    if (!device.empty()) {
        WaitCursor wait;
        const StartupOpenReports toTheLog(logInbox_, device);
        session_->open(device);
    }

    // 7. to 10.: built-in settings, the bias track bar's one and only range, the settings
    // file (which does not move the track bar's range).
    settings_ = AppSettings{};
    tbBias->setRange(settings_.biasMinVolts, settings_.biasMaxVolts);
    tbBias->setValue(tbBias->minimum());
    edtBias->setText(QString::number(tbBias->minimum()));
    CalibrationPoint point1;
    CalibrationPoint point2;
    const std::string settingsNote = loadSettings(settingsFile_, settings_, point1, point2);
    if (!settingsNote.empty())
        logInbox_->pushLine(settingsNote);
    const auto stored = readSettingsFile(settingsFile_);
    readMeasurementSettings(stored, measurementSettings_);
    view_ = readViewSettings(stored);
    spectrumGraph_->setReadableAxes(view_.readableAxes);
    pulseGraph_->readableAxes = view_.readableAxes;
    miReadableAxes->setChecked(view_.readableAxes);
    session_->setPresets(measurementSettings_.presets);
    session_->setExtraDeadTime(measurementSettings_.extraDeadTimeSeconds);
    session_->analysis().loadTwoPoints(point1, point2);
    session_->analysis().load(stored);
    processing_ = std::make_unique<WindowProcessing>(*this, *session_, *statusBar());
    processing_->load(stored);
    spectrumGraph_->setCalibration(session_->analysis().activeCalibration());
    // From here on a change is the operator's, and settings.ini keeps it.
    session_->analysis().addListener([this] { analysisChanged(); });

    // 11. The interface's operating point, as after every open.
    if (!device.empty())
        showOperatingPoint();
}

bool TfrmMain::deviceOpened() const {
    return session_->isOpen();
}

double TfrmMain::thresholdVolts() const {
    return session_->thresholdVolts();
}

TQrxController& TfrmMain::controller() {
    return session_->controller();
}

void TfrmMain::measurementEnded(const MeasurementEnd& end) {
    if (end.reason == EndReason::InterfaceLost) {
        interfaceLost();
    } else if (end.reason == EndReason::Preset) {
        logInbox_->pushLine(std::string("Ended by the ") +
                            (end.preset ? PresetKindName(*end.preset) : "a") + " preset.");
        refreshStatus();
    }
}

void TfrmMain::analysisChanged() {
    spectrumGraph_->setCalibration(session_->analysis().activeCalibration());
    redrawGraphs();
    settingsChanged();
}

void TfrmMain::settingsChanged() {
    settingsTimer_->start();
}

void TfrmMain::writeSettings() {
    settingsTimer_->stop();
    const AnalysisState& analysis = session_->analysis();
    saveSettings(settingsFile_, settings_, analysis.point1(), analysis.point2(),
                 [this](IniFile& ini) {
                     writeSections(ini);
                     session_->analysis().save(ini);
                     processing_->save(ini);
                 });
}

void TfrmMain::setDialogs(TfrmSettings* settings, TfrmCalibrate* calibrate) {
    frmSettings_ = settings;
    frmCalibrate_ = calibrate;
    if (settings)
        settings->setProcessingPage([this] { processing_->openPage(); });
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
        opened = session_->open(device);
    }
    cmbDevices->setEnabled(false);
    // A freshly opened interface has been reset: its bias is off whatever the On box showed.
    // An interface that did not open has nothing to agree with; the box is cleared all the same.
    if (opened)
        showOperatingPoint();
    else
        showBiasOff();
    if (opened && sbStatus->notice() == QLatin1String(NoInterfaceAdvice)) {
        sbStatus->setNotice({});
        refreshStatus();
    }
}

void TfrmMain::btnCloseDeviceClick() {
    if (cmbDevices->currentText().isEmpty())
        return;
    session_->close();
    if (cmbDevices->count() >= 2)
        cmbDevices->setEnabled(true);
}

void TfrmMain::miSettingsClick() {
    if (frmSettings_ && frmSettings_->exec() == QDialog::Accepted)
        settingsChanged();
}

void TfrmMain::btnCalibrateClick() {
    if (!frmCalibrate_)
        return;
    CalibrationPoint point1 = session_->analysis().point1();
    CalibrationPoint point2 = session_->analysis().point2();
    frmCalibrate_->EditCalibration(point1, point2);
    // The two points calibrate the axis again, in place of a calibration from peaks.
    if (frmCalibrate_->result() == QDialog::Accepted)
        session_->analysis().setTwoPoints(point1, point2);
}

void TfrmMain::Button2Click() {
    if (deviceOpened())
        session_->readMonitor();
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
        writeSettings();
    });
    // The log lines and repaints the close caused, before the window goes.
    flushLog();
    QCoreApplication::processEvents();
}

void TfrmMain::flushLog() {
    logView_->flush();
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
