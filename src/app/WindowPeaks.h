#pragma once
// The window's peak analysis: Analysis → Peaks…, Find Peaks Live, Identify, Calibrate with
// Source…, Efficiency…, Show Lines of…; the Peaks window; the markers, fitted curves and a
// nuclide's lines on the spectrum graph.
//
// Live: while Find Peaks Live is ticked, every refresh offers the spectrum to a
// PeakSearchWorker, which takes one offer per LiveIntervalSeconds and analyses it on its own
// thread; a timer collects the result. The refresh only copies the counts when an offer is
// due, so it never waits for the analysis.

#include "analysis/Activity.h"
#include "analysis/CalibrationFit.h"
#include "analysis/NuclideLibrary.h"
#include "analysis/PeakAnalysis.h"
#include "analysis/PeakSearchWorker.h"
#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"
#include "views/PeakOverlay.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QMenu;
class QTimer;
class QWidget;

namespace tarvio {

class PeaksWindow;
class SpectrumGraph;

inline constexpr double LiveIntervalSeconds = 2.0;

class WindowPeaks : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window; // owner of the Peaks window and the dialogs
        std::function<QMenu*(const QString&)> menu;
        SpectrumGraph* graph;
    };
    struct Hooks {
        std::function<void()> redraw;
        // The energy axis shown, if any.
        std::function<std::optional<EnergyCalibration>()> calibration;
        // A calibration made with a source, accepted by the operator.
        std::function<void(std::vector<CalibrationPoint>, CalibrationModel, EnergyCalibration)>
            acceptCalibration;
        std::function<std::optional<double>()> liveSeconds;
        std::function<double()> nowSeconds; // a steady clock, for the live interval
        std::string userNuclideFile;        // nuclides.csv beside settings.ini
    };
    // What asks the operator; tests replace them.
    struct Dialogs {
        std::function<std::optional<QString>(const QString& title, const QString& label,
                                             const QStringList& items)>
            choose;
        std::function<std::optional<QString>(const QString& title)> openFile;
        std::function<std::optional<QString>(const QString& title, const QString& label)> text;
        std::function<bool(const QString& title, const QString& text)> confirm;
        std::function<void(const QString& title, const QString& text)> inform;
    };

    WindowPeaks(Parts parts, Hooks hooks);
    ~WindowPeaks() override;
    void setDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }

    // Before every draw: the overlay. After every refresh: the spectrum drawn.
    void prepareDraw();
    void spectrumDrawn(const Spectrum& spectrum);

    void setLive(bool live);
    bool live() const { return live_; }
    // The analysis of the last spectrum now, in the Peaks window.
    void analyzeNow();
    void identify();
    void calibrateWithSource();
    void efficiency();
    void showLines();

    PeaksWindow* peaksWindow() const { return window_; }
    const std::optional<PeakAnalysis>& lastAnalysis() const { return analysis_; }
    const std::optional<EfficiencyCurve>& efficiencyCurve() const { return curve_; }
    const NuclideLibrary& library() const { return library_; }
    // Collects a finished live analysis; the timer calls it, tests may too.
    bool collect();

private:
    PeakAnalysisOptions options() const;
    void show(PeakAnalysis analysis);
    QStringList nuclideNames() const;

    QWidget* owner_;
    SpectrumGraph& graph_;
    Hooks hooks_;
    Dialogs dialogs_;
    NuclideLibrary library_;
    std::vector<std::string> libraryErrors_;
    PeaksWindow* window_;
    QAction* miLive_ = nullptr;
    QTimer* poll_;
    bool live_ = false;
    bool identifying_ = true;
    Spectrum last_;
    std::optional<PeakAnalysis> analysis_;
    std::optional<EfficiencyCurve> curve_;
    std::vector<LineMarker> lines_;
    std::vector<std::string> notes_;
    PeakSearchWorker worker_{LiveIntervalSeconds}; // last: its thread reads the options above
};

} // namespace tarvio
