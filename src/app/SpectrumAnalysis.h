#pragma once
// The window's spectrum analysis: the Log box and the View and Analysis menus, regions of
// interest marked with Shift and the mouse or from the cursor, their bands on the graph and
// their figures in the Regions window, fits, and the calibration from peaks. What the
// operator makes (regions, fits, calibrations) lives in the session's AnalysisState; this
// only shows it and forwards what the operator does.
//
// The graph draws at the window's refresh; an analysis action (a region, the Log box, a new
// calibration) draws the last refreshed spectrum again at once, so that a stopped
// measurement can still be analysed.

#include "analysis/PeakFit.h"
#include "analysis/Region.h"
#include "analysis/RegionFigures.h"
#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"
#include "session/AnalysisState.h"
#include "settings/AnalysisSettings.h"

#include <QEvent>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QMenu;
class QMouseEvent;
class QString;
class QWidget;

namespace tarvio {

class CalibrationFromPeaks;
class ClientArea;
class ImageView;
class RegionTable;
class SpectrumGraph;
class ZoomShape;

class SpectrumAnalysis : public QObject {
    Q_OBJECT

public:
    struct Parts {
        QWidget* window; // owner of the Regions window and the dialogs
        // The window's top-level menu of that title ("View", "Analysis"), in its place.
        std::function<QMenu*(const QString&)> menu;
        ClientArea* area;         // moves the Log box as the window grows
        QGroupBox* spectrumGroup; // gets the Log box
        QCheckBox* calibrated;    // the Calibrated box, beside which Log sits
        ImageView* image;         // the spectrum image, for the mouse
        SpectrumGraph* graph;
        AnalysisState* state;
    };
    struct Hooks {
        // Draws the last refreshed records again; does nothing before the first refresh.
        std::function<void()> redraw;
        // What a right-click outside the regions does.
        std::function<void()> resetZoom;
        // Live time of the measurement for the rates; nullopt while unknown.
        std::function<std::optional<double>()> liveSeconds;
        // A line for the window's log (what a fit found, or why it failed).
        std::function<void(const std::string&)> log;
    };

    SpectrumAnalysis(Parts parts, Hooks hooks);
    ~SpectrumAnalysis() override;

    // Before every draw: the count axis and the region bands.
    void prepareDraw();
    // After every refresh: the spectrum as drawn, for the figures.
    void spectrumDrawn(const Spectrum& spectrum);
    // A new measurement replaces the spectrum: the fits of the old one are dropped.
    void spectrumReplaced();

    // The energy axis shown: the calibration in use while Calibrated is ticked.
    std::optional<EnergyCalibration> shownCalibration() const;

    // What the operator does, from the menus, the mouse and the Regions window.
    void setLogScale(bool log);
    bool logScale() const;
    void addRegion(Region region);
    void deleteRegion(std::size_t index);
    void deleteAllRegions();
    void selectRegion(std::optional<std::size_t> index);
    // First press marks one edge at the cursor, the second the other and makes the region.
    void markRegionEdgeAtCursor();
    void fitRegion(std::size_t index);
    void showRegionTable();
    // Runs the dialog modally; on OK its calibration labels the axis.
    void showCalibrationFromPeaks();

    const std::vector<Region>& regions() const { return state_.regions(); }
    std::optional<std::size_t> selectedRegion() const { return selected_; }
    std::optional<std::uint32_t> pendingEdge() const { return pendingEdge_; }
    const std::vector<RegionFigures>& figures() const { return figures_; }
    // The spectrum of the last refresh, which an analysis action draws again.
    const Spectrum& lastSpectrum() const { return lastSpectrum_; }
    const std::optional<PeakFit>& fit(std::size_t index) const { return state_.fit(index); }
    // The region whose band covers an image column, the newest first.
    std::optional<std::size_t> regionAtColumn(int x) const;
    // The menu a right-click on a region's band opens.
    QMenu* regionMenu(std::size_t index, QWidget* parent);

    QCheckBox* logBox() const { return chbLog_; }
    RegionTable* regionTable() const { return table_; }
    CalibrationFromPeaks* calibrationDialog() const { return calibrationDialog_; }
    // Modal dialog runner, replaced by tests; returns whether the dialog was accepted.
    void setDialogRunner(std::function<bool(CalibrationFromPeaks&)> runner);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls(const Parts& parts);
    bool mouse(QEvent::Type type, const QMouseEvent& event);
    void regionsChanged();
    void refreshFigures();
    void refreshTable();
    std::optional<double> liveSeconds() const;

    QWidget* window_;
    SpectrumGraph& graph_;
    AnalysisState& state_;
    QCheckBox* calibrated_;
    ImageView* image_;
    Hooks hooks_;
    QCheckBox* chbLog_ = nullptr;
    QAction* miLogScale_ = nullptr;
    QAction* miMarkEdge_ = nullptr;
    ZoomShape* shpRegion_ = nullptr;
    RegionTable* table_ = nullptr;
    CalibrationFromPeaks* calibrationDialog_ = nullptr;
    std::function<bool(CalibrationFromPeaks&)> runDialog_;

    std::vector<RegionFigures> figures_;
    std::optional<std::size_t> selected_;
    std::optional<std::uint32_t> pendingEdge_;
    std::optional<int> dragStart_; // image column where a Shift-drag began
    Spectrum lastSpectrum_;
};

} // namespace tarvio
