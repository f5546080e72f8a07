#include "app/SpectrumAnalysis.h"

#include "app/CalibrationFromPeaks.h"
#include "app/ClientArea.h"
#include "app/HandlerGuard.h"
#include "app/ImageView.h"
#include "app/RegionTable.h"
#include "app/ZoomShape.h"
#include "records/TextFormat.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// The Log box: caption on the left like Calibrated's, in the free space left of it.
constexpr int LogBoxTop = 319;
constexpr int LogBoxHeight = 17;
constexpr int LogBoxGap = 8;

// One line of what a fit found, or why there is none.
std::string fitSummary(const PeakFitResult& result) {
    if (!result.fit)
        return result.error;
    const PeakFit& f = *result.fit;
    std::string line = "centroid " + formatFixed(f.centroid.value, 2) + " +- " +
                       formatFixed(f.centroid.uncertainty, 2) + ", FWHM " +
                       formatFixed(f.fwhm.value, 2) + " +- " + formatFixed(f.fwhm.uncertainty, 2) +
                       ", area " + formatFixed(f.area.value, 0) + " +- " +
                       formatFixed(f.area.uncertainty, 0);
    if (f.degreesOfFreedom > 0)
        line += ", chi2/dof " + formatFixed(f.chiSquare / f.degreesOfFreedom, 2);
    return line + ".";
}

} // namespace

SpectrumAnalysis::SpectrumAnalysis(Parts parts, Hooks hooks)
    : window_(parts.window), graph_(*parts.graph), state_(*parts.state),
      calibrated_(parts.calibrated), image_(parts.image), hooks_(std::move(hooks)) {
    createControls(parts);
    runDialog_ = [](CalibrationFromPeaks& dialog) { return dialog.exec() == QDialog::Accepted; };
    image_->installEventFilter(this);
    refreshFigures();
}

SpectrumAnalysis::~SpectrumAnalysis() = default;

void SpectrumAnalysis::createControls(const Parts& parts) {
    chbLog_ = new QCheckBox(QStringLiteral("Log"), parts.spectrumGroup);
    chbLog_->setObjectName(QStringLiteral("chbLog"));
    chbLog_->setLayoutDirection(Qt::RightToLeft);
    chbLog_->setToolTip(QStringLiteral("Counts on a logarithmic axis (Ctrl+L)"));
    // Reached by Ctrl+L and the mouse; the window's Tab order stays as it was.
    chbLog_->setFocusPolicy(Qt::ClickFocus);
    const int width = chbLog_->sizeHint().width();
    chbLog_->setGeometry(calibrated_->x() - LogBoxGap - width, LogBoxTop, width, LogBoxHeight);
    parts.area->anchor(chbLog_, anchor::DownRight);
    connect(chbLog_, &QCheckBox::toggled, this, [this](bool on) { setLogScale(on); });

    QMenu* view = parts.menu(QStringLiteral("View"));
    view->addSeparator();
    miLogScale_ = view->addAction(QStringLiteral("Log Scale"));
    miLogScale_->setObjectName(QStringLiteral("miLogScale"));
    miLogScale_->setCheckable(true);
    miLogScale_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(miLogScale_, &QAction::toggled, this, [this](bool on) { setLogScale(on); });

    QMenu* analysis = parts.menu(QStringLiteral("Analysis"));
    const auto add = [&](const char* name, const char* text, auto&& handler) {
        QAction* a = analysis->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, handler] { runGuarded(window_, handler); });
        return a;
    };
    add("miRegions", "Regions...", [this] { showRegionTable(); });
    miMarkEdge_ =
        add("miMarkRegionEdge", "Mark Region Edge at Cursor", [this] { markRegionEdgeAtCursor(); });
    miMarkEdge_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    add("miFitRegion", "Fit Selected Region", [this] {
        if (selected_)
            fitRegion(*selected_);
    });
    add("miDeleteRegion", "Delete Selected Region", [this] {
        if (selected_)
            deleteRegion(*selected_);
    });
    add("miDeleteAllRegions", "Delete All Regions", [this] { deleteAllRegions(); });
    analysis->addSeparator();
    add("miCalibrateFromPeaks", "Calibrate from Peaks...", [this] { showCalibrationFromPeaks(); });

    // The region being dragged: an outline over the image's full height.
    shpRegion_ = new ZoomShape(image_);
    shpRegion_->setObjectName(QStringLiteral("shpRegion"));

    table_ = new RegionTable(parts.window);
    connect(table_, &RegionTable::rowSelected, this, [this](int row) {
        selectRegion(row < 0 ? std::nullopt : std::optional<std::size_t>(row));
    });
    connect(table_->fitButton(), &QPushButton::clicked, this, [this] {
        if (selected_)
            fitRegion(*selected_);
    });
    connect(table_->deleteButton(), &QPushButton::clicked, this, [this] {
        if (selected_)
            deleteRegion(*selected_);
    });
    connect(table_->calibrateButton(), &QPushButton::clicked, this,
            [this] { showCalibrationFromPeaks(); });

    calibrationDialog_ = new CalibrationFromPeaks(parts.window);
}

void SpectrumAnalysis::setDialogRunner(std::function<bool(CalibrationFromPeaks&)> runner) {
    runDialog_ = std::move(runner);
}

void SpectrumAnalysis::prepareDraw() {
    graph_.setLogScale(logScale());
    std::vector<RegionBand> bands;
    const auto& regions = state_.regions();
    for (std::size_t i = 0; i < regions.size(); ++i) {
        RegionBand band;
        band.first = regions[i].first;
        band.last = regions[i].last;
        band.colour = regionBandColour(i);
        if (i < figures_.size()) {
            band.backgroundAtFirst = figures_[i].backgroundAtFirst;
            band.backgroundAtLast = figures_[i].backgroundAtLast;
        }
        band.selected = selected_ == i;
        // The fitted model over the bars, so the operator sees what the fit took as peak.
        if (const auto& fit = state_.fit(i)) {
            for (std::uint32_t c = band.first; c <= band.last; ++c)
                band.fitCounts.push_back(fittedCounts(*fit, c));
        }
        bands.push_back(band);
    }
    graph_.setRegionBands(std::move(bands));
}

void SpectrumAnalysis::spectrumReplaced() {
    state_.clearFits();
    table_->showMessage({});
    refreshTable();
}

void SpectrumAnalysis::spectrumDrawn(const Spectrum& spectrum) {
    if (&spectrum != &lastSpectrum_)
        lastSpectrum_.copyFrom(spectrum);
    refreshFigures();
    refreshTable();
}

std::optional<EnergyCalibration> SpectrumAnalysis::shownCalibration() const {
    if (!calibrated_->isChecked())
        return std::nullopt;
    return state_.activeCalibration();
}

void SpectrumAnalysis::setLogScale(bool log) {
    // The box and the menu entry show the same state; each sets the other.
    if (chbLog_->isChecked() != log)
        chbLog_->setChecked(log);
    if (miLogScale_->isChecked() != log)
        miLogScale_->setChecked(log);
    if (graph_.logScale() == log)
        return;
    graph_.setLogScale(log);
    hooks_.redraw();
}

bool SpectrumAnalysis::logScale() const {
    return chbLog_->isChecked();
}

void SpectrumAnalysis::addRegion(Region region) {
    if (!state_.addRegion(region)) {
        table_->showMessage(QStringLiteral("At most %1 regions can be marked.").arg(MaxRegions));
        return;
    }
    selected_ = state_.regions().size() - 1;
    regionsChanged();
}

void SpectrumAnalysis::deleteRegion(std::size_t index) {
    if (index >= state_.regions().size())
        return;
    state_.deleteRegion(index);
    selected_.reset();
    regionsChanged();
}

void SpectrumAnalysis::deleteAllRegions() {
    state_.deleteAllRegions();
    selected_.reset();
    regionsChanged();
}

void SpectrumAnalysis::selectRegion(std::optional<std::size_t> index) {
    if (index && *index >= state_.regions().size())
        index.reset();
    if (selected_ == index)
        return;
    selected_ = index;
    table_->selectRow(selected_);
    hooks_.redraw();
}

void SpectrumAnalysis::markRegionEdgeAtCursor() {
    const auto cursor = static_cast<std::uint32_t>(graph_.cursorChannel());
    if (!pendingEdge_) {
        pendingEdge_ = cursor;
        miMarkEdge_->setText(QStringLiteral("Mark Region End at Cursor (start: %1)").arg(cursor));
        table_->showMessage(QStringLiteral("Region starts at channel %1: move the cursor to its "
                                           "other edge and mark again (Ctrl+R).")
                                .arg(cursor));
        return;
    }
    const std::uint32_t start = *pendingEdge_;
    pendingEdge_.reset();
    miMarkEdge_->setText(QStringLiteral("Mark Region Edge at Cursor"));
    table_->showMessage({});
    addRegion(Region::between(start, cursor));
}

void SpectrumAnalysis::fitRegion(std::size_t index) {
    if (index >= state_.regions().size())
        return;
    const PeakFitResult r = state_.fitRegion(index, lastSpectrum_);
    table_->showMessage(
        r.fit
            ? QString()
            : QStringLiteral("Region %1: %2").arg(index + 1).arg(QString::fromStdString(r.error)));
    refreshTable();
    // Also heard with the Regions window closed (a fit from the band's menu): the log says
    // what came of it, and the curve appears over the bars.
    if (hooks_.log)
        hooks_.log("Region " + std::to_string(index + 1) + " fit: " + fitSummary(r));
    hooks_.redraw();
}

void SpectrumAnalysis::showRegionTable() {
    table_->show();
    refreshTable();
    table_->raise();
    table_->activateWindow();
}

void SpectrumAnalysis::showCalibrationFromPeaks() {
    std::vector<ChannelSuggestion> suggestions;
    for (std::size_t i = 0; i < state_.regions().size(); ++i) {
        const QString region = QStringLiteral("region %1").arg(i + 1);
        if (i < figures_.size() && figures_[i].centroid)
            suggestions.push_back({*figures_[i].centroid, region + QStringLiteral(" centroid")});
        if (const auto& fit = state_.fit(i))
            suggestions.push_back({fit->centroid.value, region + QStringLiteral(" fit")});
    }
    calibrationDialog_->setPairs(state_.calibrationPairs(), state_.calibrationModel(), suggestions);
    if (!runDialog_(*calibrationDialog_) || !calibrationDialog_->result().fit)
        return;
    // The operator calibrated to see keV.
    calibrated_->setChecked(true);
    graph_.setCalibrated(true);
    state_.setCalibrationFromPeaks(calibrationDialog_->pairs(), calibrationDialog_->model(),
                                   calibrationDialog_->result().fit->calibration);
    refreshTable();
    hooks_.redraw();
}

std::optional<std::size_t> SpectrumAnalysis::regionAtColumn(int x) const {
    const double channel = graph_.channelAt(x);
    const auto& regions = state_.regions();
    for (std::size_t i = regions.size(); i-- > 0;)
        if (channel >= regions[i].first && channel < regions[i].last + 1.0)
            return i;
    return std::nullopt;
}

QMenu* SpectrumAnalysis::regionMenu(std::size_t index, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("mnuRegion"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const Region r = state_.regions().at(index);
    const QString name =
        QStringLiteral("Region %1 (%2 \u2013 %3)").arg(index + 1).arg(r.first).arg(r.last);
    menu->addAction(QStringLiteral("Fit ") + name, this, [this, index] { fitRegion(index); });
    menu->addAction(QStringLiteral("Delete ") + name, this, [this, index] { deleteRegion(index); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Regions..."), this, [this] { showRegionTable(); });
    // What the right button does everywhere else.
    menu->addAction(QStringLiteral("Reset Zoom"), this, [this] { hooks_.resetZoom(); });
    return menu;
}

bool SpectrumAnalysis::eventFilter(QObject* watched, QEvent* event) {
    if (watched != image_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        bool taken = false;
        runGuarded(image_,
                   [&] { taken = mouse(event->type(), *static_cast<QMouseEvent*>(event)); });
        return taken;
    }
    default:
        return false;
    }
}

bool SpectrumAnalysis::mouse(QEvent::Type type, const QMouseEvent& event) {
    // In image pixels, as the graph and the rubber bands count them.
    const QPoint at = (event.position() * image_->pixelRatio()).toPoint();
    const int height = image_->image().height();
    if (type == QEvent::MouseButtonPress) {
        if (event.button() == Qt::LeftButton && (event.modifiers() & Qt::ShiftModifier)) {
            dragStart_ = at.x();
            shpRegion_->setBand({at.x(), 0, 0, height - 1});
            shpRegion_->show();
            return true;
        }
        if (event.button() == Qt::RightButton && !dragStart_) {
            if (const auto index = regionAtColumn(at.x())) {
                regionMenu(*index, image_)->popup(event.globalPosition().toPoint());
                return true;
            }
        }
        return false;
    }
    if (!dragStart_)
        return false;
    if (type == QEvent::MouseMove) {
        shpRegion_->setBand({*dragStart_, 0, at.x() - *dragStart_, height - 1});
        return true;
    }
    // Release: the channels under the band, within the window shown; a click is no region.
    shpRegion_->hide();
    const int from = std::min(*dragStart_, at.x());
    const int to = std::max(*dragStart_, at.x());
    dragStart_.reset();
    const std::uint32_t first = graph_.drawnFirstChannel();
    const std::uint32_t last = graph_.drawnLastChannel();
    if (to == from || last <= first)
        return true;
    const auto channelUnder = [&](int x) {
        const double c = std::floor(graph_.channelAt(x));
        return static_cast<std::int64_t>(std::clamp<double>(c, first, last - 1.0));
    };
    addRegion(Region::between(channelUnder(from), channelUnder(to)));
    return true;
}

void SpectrumAnalysis::regionsChanged() {
    refreshFigures();
    refreshTable();
    hooks_.redraw();
}

void SpectrumAnalysis::refreshFigures() {
    figures_ = state_.figures(lastSpectrum_, liveSeconds());
}

void SpectrumAnalysis::refreshTable() {
    if (!table_->isVisible())
        return;
    std::vector<RegionRow> rows;
    for (std::size_t i = 0; i < state_.regions().size(); ++i)
        rows.push_back({figures_[i], state_.fit(i)});
    table_->showRows(rows, shownCalibration());
    // While the reference is subtracted the figures are of the difference: say so.
    table_->setWindowTitle(graph_.showsDifference()
                               ? QStringLiteral("Regions: figures of the difference, live "
                                                "less reference")
                               : QStringLiteral("Regions"));
    table_->selectRow(selected_);
}

std::optional<double> SpectrumAnalysis::liveSeconds() const {
    return hooks_.liveSeconds ? hooks_.liveSeconds() : std::nullopt;
}

} // namespace tarvio
