#pragma once
// The main window, TfrmMain: a thin caller of the measurement session (session/), which owns
// the controller, the measurement, its presets, autosave and restore, and the analysis state.
// The window holds the two graphs, lists and opens interfaces through the session, shows the
// log and hosts the measurement, threshold and bias, and spectrum navigation controls. Every
// handler runs on the GUI thread inside runGuarded, so an error ends the handler and shows in the
// error box.
//
// The handlers carry the names operators and developers know the window by; the controls
// carry them as objectName, which is how tests find them.

#include "app/LogInbox.h"
#include "app/ZoomBand.h"
#include "records/EnergyCalibration.h"
#include "records/Measurement.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"
#include "settings/MeasurementSettings.h"
#include "settings/Settings.h"
#include "settings/ViewSettings.h"
#include "settings/WindowPlacement.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QFileDialog;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QSlider;
class QStatusBar;
class QTimer;
class QToolButton;

namespace tarvio {

class ClientArea;
class ImageView;
class MeasurementStatusBar;
class LogView;
class ListModeRecording;
class TimeHistoryWindow;
class PulseGraph;
struct MeasuredSpectrum;
struct ReferenceSpectrum;
class SpectrumAnalysis;
class WindowPeaks;
class SpectrumGraph;
class TQrxController;
class MeasurementSession;
struct MeasurementEnd;
class TfrmCalibrate;
class SpectrumOpening;
struct ReadResult;
class TfrmPresets;
class TfrmSettings;
class WindowProcessing;
struct MeasurementStatus;
class ZoomShape;

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    // The most lines memLog keeps; older ones scroll away.
    static constexpr int MaxLogLines = 5000;

    // Builds the controls, then runs the start-up sequence: lists the interfaces, opens the
    // first, reads the settings from `settingsFile` and sets the interface's operating point.
    explicit TfrmMain(std::string settingsFile = settingsPath(), QWidget* parent = nullptr);
    // FormDestroy: the controller (closing the interface if still open), then the graphs.
    ~TfrmMain() override;

    // The dialogs belong to the application and are created after this window.
    void setDialogs(TfrmSettings* settings, TfrmCalibrate* calibrate);

    // Chooses the file in one of the window's file dialogs (Save Spectrum, Save Spectrum As,
    // Open Spectrum); returns an empty string when the operator cancels. The default runs
    // the dialog; tests put their own in its place.
    using SaveFileChooser = std::function<QString(QFileDialog& dialog)>;
    void setSaveFileChooser(SaveFileChooser chooser);

    // Shows every log line and pulse notice waiting for the GUI thread now.
    void flushLog();
    // Where the controller's lines wait for the GUI thread; any thread may add to it.
    LogInbox& logInbox() { return *logInbox_; }

    // State that the handlers share. Whether an interface is open is the session's answer.
    bool deviceOpened() const;
    double thresholdVolts() const;
    AppSettings& settings() { return settings_; }
    MeasurementSettings& measurementSettings() { return measurementSettings_; }
    MeasurementSession& session() { return *session_; }
    TQrxController& controller();
    SpectrumGraph& spectrumGraph() { return *spectrumGraph_; }
    // Regions, fits, the log scale and the calibration from peaks.
    SpectrumAnalysis& analysis() { return *analysis_; }
    WindowPeaks& peaks() { return *peaks_; }
    const std::string& settingsFile() const { return settingsFile_; }
    // The pulse processing's settings, page, learning and status (WindowProcessing.h).
    WindowProcessing& processing() { return *processing_; }

    // Part of the device group.
    void btnOpenDeviceClick();
    void btnCloseDeviceClick();
    void miSettingsClick();
    void btnCalibrateClick();
    // Reads the monitor back; bound to no control.
    void Button2Click();
    // Measurement menu: the presets dialog; OK applies them at once.
    void miPresetsClick();
    // The status bar from where the measurement stands now.
    void refreshStatus();

    // Measurement and refresh.
    void btnStartClick();
    void btnStopClick();
    void Button1Click();
    void tmrGraphsTimer();
    void miSaveSpectrumClick();
    // The interface was lost: the measurement ends, its last refresh shows what arrived.
    void interfaceLost();
    // Draws the last refresh's records again, at the graphs' present size.
    void redrawGraphs();

    // Threshold and bias.
    void edtTresholdChange();
    void tbTresholdChange();
    void btnTresholdClick();
    void edtBiasChange();
    void tbBiasChange();
    void btnSetBiasClick();
    void chbBiasOnClick();

    // Spectrum files (MainWindowFiles.cpp): save with metadata, open a reference to compare
    // with or subtract.
    void miSaveSpectrumAsClick();
    void miOpenSpectrumClick();
    // A read of Open Spectrum is done: the reference, or the error in a box.
    void spectrumOpened(const std::string& path, ReadResult read);
    void miSubtractReferenceClick();
    void miClearReferenceClick();
    // What Save Spectrum As writes: the spectrum now, with its measurement and calibration.
    MeasuredSpectrum currentRecord() const;

    // Autosave and recovery (MainWindowAutosave.cpp), kept by the session. The offer comes
    // once the window shows at start-up: the newest autosave of a measurement that never
    // ended (and that no running program is writing), restored on Yes.
    void offerRestore();
    std::string autosaveFolder() const;
    void setAutosaveFolder(std::string folder);
    // Minutes from [Autosave] in settings.ini; tests set milliseconds. 0 switches it off.
    void setAutosaveIntervalMs(int milliseconds);

    // Something the operator changed that settings.ini keeps: written, atomically, a moment
    // later (several changes in a row make one write), so that a crash loses nothing.
    void settingsChanged();
    // Writes settings.ini now.
    void writeSettings();

    // Spectrum navigation; positions in image pixels, buttons as held at the event.
    void imgSpectrumMouseDown(int x, int y, Qt::MouseButtons buttons);
    void imgSpectrumMouseMove(int x, int y, Qt::MouseButtons buttons);
    void imgSpectrumMouseUp(int x, int y, Qt::MouseButtons buttons);
    void sbHorChange();
    void sbVerChange();
    void chbCursorClick();
    void tbCursorChange();
    void sbCurLeftClick();
    void sbCurRightClick();
    // The view of all channels with an automatic count axis, as a right-button click gives.
    void resetZoom();
    // Moves the cursor by that many channels, held within the spectrum.
    void moveCursorBy(int channels);

    // The top-level menu of that title after Save Spectrum and Settings, created on first use
    // and kept in the order File, Measurement, View, Analysis (MainWindowMenus.cpp).
    QMenu* topMenu(const QString& title);
    // A menu entry showing its keys, running the handler inside the error-box boundary.
    QAction* addMenuEntry(QMenu* menu, const char* name, const QString& text,
                          const QKeySequence& keys, std::function<void()> handler);

protected:
    // FormCloseQuery, then FormClose.
    void closeEvent(QCloseEvent* event) override;
    // The operator moved or resized the window: its place is kept.
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    // How every control follows the window as it grows (MainWindowResizing.cpp).
    void anchorControls();
    void createMenus();
    void createPresetsEntry();
    void createStatusBar();
    void connectHandlers();
    void applyTabOrder();
    void startUp();
    // Centred as by default, or where the settings file remembers the window
    // (MainWindowPlacement.cpp).
    void placeWindow();
    // Keeps the window's place for the settings file once the operator has changed it.
    void rememberPlacement();
    // After a move or resize: a new place is a change settings.ini keeps.
    void placementMaybeChanged();
    // The sections of settings.ini beyond [Settings] and [Calibration], written with them.
    void writeSections(IniFile& ini) const;
    // Shows the operating point the session adopted after an open: bias off, the threshold.
    void showOperatingPoint();
    // Clears the On box and disables the bias controls without sending anything.
    void showBiasOff();
    void FormClose();
    // Draws shownFrame_ on both graphs and the cursor's reading into lblChannel.
    void drawGraphs();
    // Runs a handler inside the error-box boundary.
    template <class Handler> void guarded(Handler&& handler);
    // View → Readable Axes: both graphs' readable look, kept in settings.ini's [View].
    void setReadableAxes(bool readable);
    void createFileMenu();
    // File → Record List Mode and View → Time History (MainWindowListMode.cpp).
    void createListModeEntries();
    void destroyListModeEntries();
    // The folder of a file just chosen: where every file dialog starts next.
    void rememberFolder(const QString& chosen);
    // The session told that a measurement ended; on this thread.
    void measurementEnded(const MeasurementEnd& end);
    // The analysis state changed: the graph's axis follows, and the settings are kept.
    void analysisChanged();
    // The tab-separated file of Save Spectrum, channel or keV form as Calibrated says.
    void saveSpectrumText(const std::string& path);
    // Draws the spectrum graph with the reference and writes the cursor's channel and count.
    void drawSpectrumGraph(const Spectrum& spectrum);
    // The same from the controller's records, also without an interface.
    void showSpectrumNow();
    // Hands the reference, scaled to the live spectrum, to the graph.
    // The reference scaled to the live spectrum, as the graph got it (empty: none).
    std::vector<double> applyReference(const Spectrum& live);
    void createAutosave();

    // Fields, in the order the window's data model gives them.
    std::unique_ptr<MeasurementSession> session_;
    // Consumers on the session's pulse seam: gone before the session (see ~TfrmMain).
    std::unique_ptr<ListModeRecording> listMode_;
    TimeHistoryWindow* frmTimeHistory_ = nullptr;
    std::unique_ptr<PulseGraph> pulseGraph_;
    std::unique_ptr<SpectrumGraph> spectrumGraph_;
    AppSettings settings_;
    MeasurementSettings measurementSettings_;

    std::unique_ptr<SpectrumAnalysis> analysis_;
    std::unique_ptr<WindowProcessing> processing_;
    std::unique_ptr<WindowPeaks> peaks_;

    const std::string settingsFile_;
    ViewSettings view_;
    bool viewChanged_ = false; // [View] is written only once the operator changed it
    std::shared_ptr<LogInbox> logInbox_;
    LogView* logView_ = nullptr;
    TfrmSettings* frmSettings_ = nullptr;
    TfrmCalibrate* frmCalibrate_ = nullptr;
    SaveFileChooser chooseSaveFile_;
    // The records the graphs show, so that a resize can draw them again at the new size;
    // none before the first refresh.
    struct Frame {
        PulseBuffer pulse;
        Spectrum spectrum;
    };
    std::unique_ptr<Frame> shownFrame_;
    // The geometry the window opened with, before anyone moved it, and where it is to open
    // next time; none until the operator moves, resizes or maximises it.
    QRect openedAt_;
    std::optional<WindowPlacement> placement_;
    std::unique_ptr<ReferenceSpectrum> reference_;
    int autosaveMs_ = 0;              // between autosaves; 0: only at the end
    QTimer* settingsTimer_ = nullptr; // the write a moment after a change

    // Controls (owned by Qt through their parents).
    ClientArea* client_ = nullptr;
    QMenuBar* MainMenu1 = nullptr;
    QAction* miSaveSpectrum = nullptr;
    QAction* miSettings = nullptr;
    QAction* miSaveSpectrumAs = nullptr;
    QAction* miOpenSpectrum = nullptr;
    QAction* miSubtractReference = nullptr;
    QAction* miClearReference = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QComboBox* cmbDevices = nullptr;
    QPushButton* btnOpenDevice = nullptr;
    QPushButton* btnCloseDevice = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QLineEdit* edtTreshold = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* btnTreshold = nullptr;
    QSlider* tbTreshold = nullptr;
    QGroupBox* GroupBox5 = nullptr;
    QCheckBox* chbBiasOn = nullptr;
    QLineEdit* edtBias = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* btnSetBias = nullptr;
    QSlider* tbBias = nullptr;
    QPlainTextEdit* memLog = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    ImageView* imgPulse = nullptr;
    QCheckBox* chbInverted = nullptr;
    QCheckBox* chbAutoScale = nullptr;
    QGroupBox* GroupBox6 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmbSamples = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    ImageView* imgSpectrum = nullptr;
    ZoomShape* shpZoom = nullptr;
    QCheckBox* chbCursor = nullptr;
    QCheckBox* chbCalibrated = nullptr;
    QPushButton* btnCalibrate = nullptr;
    QLabel* lblChannel = nullptr;
    QToolButton* sbCurLeft = nullptr;
    QSlider* tbCursor = nullptr;
    QToolButton* sbCurRight = nullptr;
    QScrollBar* sbHor = nullptr;
    QScrollBar* sbVer = nullptr;
    QTimer* tmrGraphs = nullptr;
    QAction* miReadableAxes = nullptr;
    QFileDialog* dlgSave = nullptr;
    QFileDialog* dlgSaveAs = nullptr;
    QFileDialog* dlgOpen = nullptr;
    SpectrumOpening* opening_ = nullptr; // reads Open Spectrum's file off the window's thread

    // The Presets entry of the Measurement menu and the status bar below the controls.
    QAction* miPresets = nullptr;
    std::unique_ptr<TfrmPresets> frmPresets; // a window of its own, like the other dialogs
    MeasurementStatusBar* sbStatus = nullptr;
};

} // namespace tarvio
