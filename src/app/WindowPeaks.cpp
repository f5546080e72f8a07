#include "app/WindowPeaks.h"

#include "analysis/KnownSourceEfficiency.h"
#include "analysis/PeakAnalysisText.h"
#include "analysis/SourceCalibration.h"
#include "analysis/SourceRemark.h"
#include "app/PeakMarkers.h"
#include "app/PeaksWindow.h"
#include "formats/SpectrumFiles.h"
#include "records/TextFormat.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

namespace tarvio {

namespace {

constexpr int PollMilliseconds = 200;

QString q(const std::string& s) {
    return QString::fromStdString(s);
}

WindowPeaks::Dialogs defaultDialogs(QWidget* owner) {
    WindowPeaks::Dialogs d;
    d.choose = [owner](const QString& title, const QString& label, const QStringList& items) {
        bool ok = false;
        const QString item = QInputDialog::getItem(owner, title, label, items, 0, false, &ok);
        return ok ? std::optional<QString>(item) : std::nullopt;
    };
    d.openFile = [owner](const QString& title) {
        const QString file = QFileDialog::getOpenFileName(
            owner, title, {}, QStringLiteral("Spectra (*.n42 *.spe *.csv *.txt)"));
        return file.isEmpty() ? std::nullopt : std::optional<QString>(file);
    };
    d.text = [owner](const QString& title, const QString& label) {
        bool ok = false;
        const QString text = QInputDialog::getText(owner, title, label, QLineEdit::Normal, {}, &ok);
        return ok ? std::optional<QString>(text) : std::nullopt;
    };
    d.confirm = [owner](const QString& title, const QString& text) {
        return QMessageBox::question(owner, title, text) == QMessageBox::Yes;
    };
    d.inform = [owner](const QString& title, const QString& text) {
        QMessageBox::information(owner, title, text);
    };
    return d;
}

} // namespace

WindowPeaks::WindowPeaks(Parts parts, Hooks hooks)
    : QObject(parts.window), owner_(parts.window), graph_(*parts.graph), hooks_(std::move(hooks)),
      dialogs_(defaultDialogs(parts.window)),
      library_(loadNuclideLibrary(hooks_.userNuclideFile, libraryErrors_)),
      window_(new PeaksWindow(parts.window)), poll_(new QTimer(this)) {
    last_.clear();
    QMenu* analysis = parts.menu(QStringLiteral("Analysis"));
    analysis->addSeparator();
    auto add = [&](const char* name, const char* text, auto slot) {
        QAction* a = analysis->addAction(QString::fromUtf8(text));
        a->setObjectName(QString::fromUtf8(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    add("miPeaks", "Peaks...", [this] { analyzeNow(); });
    miLive_ = add("miPeaksLive", "Find Peaks Live", [this](bool on) { setLive(on); });
    miLive_->setCheckable(true);
    add("miIdentify", "Identify", [this] { identify(); });
    add("miCalibrateWithSource", "Calibrate with Source...", [this] { calibrateWithSource(); });
    add("miEfficiency", "Efficiency...", [this] { efficiency(); });
    add("miShowLines", "Show Lines of...", [this] { showLines(); });
    poll_->setInterval(PollMilliseconds);
    connect(poll_, &QTimer::timeout, this, [this] { collect(); });
    for (const std::string& e : libraryErrors_)
        notes_.push_back(e);
}

WindowPeaks::~WindowPeaks() = default;

PeakAnalysisOptions WindowPeaks::options() const {
    PeakAnalysisOptions o;
    if (identifying_)
        o.library = &library_;
    o.efficiency = curve_;
    o.liveSeconds = hooks_.liveSeconds ? hooks_.liveSeconds().value_or(0.0) : 0.0;
    return o;
}

QStringList WindowPeaks::nuclideNames() const {
    QStringList names;
    for (const Nuclide& n : library_.nuclides())
        names << q(n.name);
    return names;
}

void WindowPeaks::prepareDraw() {
    PeakOverlay overlay = analysis_ ? peakOverlayOf(*analysis_) : PeakOverlay{};
    overlay.lines = lines_;
    graph_.setPeakOverlay(std::move(overlay));
}

void WindowPeaks::spectrumDrawn(const Spectrum& spectrum) {
    last_.copyFrom(spectrum);
    if (!live_ || !hooks_.nowSeconds)
        return;
    const double now = hooks_.nowSeconds();
    if (!worker_.due(now))
        return; // the refresh copies nothing while the worker has its turn
    const std::uint32_t n = spectrum.validChannels();
    worker_.offer(now, std::vector<double>(spectrum.counts.begin(), spectrum.counts.begin() + n),
                  hooks_.calibration ? hooks_.calibration() : std::nullopt, options());
}

void WindowPeaks::setLive(bool live) {
    live_ = live;
    miLive_->setChecked(live);
    if (live)
        poll_->start();
    else
        poll_->stop();
}

bool WindowPeaks::collect() {
    auto finished = worker_.take();
    if (!finished)
        return false;
    show(std::move(*finished));
    return true;
}

void WindowPeaks::show(PeakAnalysis analysis) {
    analysis_ = std::move(analysis);
    std::vector<std::string> notes = notes_;
    for (const NuclideActivity& a : analysis_->activities)
        notes.push_back("Activity of " + a.nuclide + ": " +
                        valueWithUncertainty(a.activityBq, a.uncertaintyBq) +
                        " Bq at the start of the measurement");
    window_->showAnalysis(*analysis_, notes);
    if (hooks_.redraw)
        hooks_.redraw();
}

void WindowPeaks::analyzeNow() {
    const std::uint32_t n = last_.validChannels();
    const std::vector<double> counts(last_.counts.begin(), last_.counts.begin() + n);
    show(analyzePeaks(counts, hooks_.calibration ? hooks_.calibration() : std::nullopt, options()));
    window_->show();
    window_->raise();
}

void WindowPeaks::identify() {
    identifying_ = true;
    if (!hooks_.calibration || !hooks_.calibration()) {
        dialogs_.inform(
            QStringLiteral("Identify"),
            QStringLiteral("Nuclides are named on an energy axis: calibrate first "
                           "(Calibrate with Source... makes one from a known source)."));
        return;
    }
    analyzeNow();
}

void WindowPeaks::calibrateWithSource() {
    const auto name =
        dialogs_.choose(QStringLiteral("Calibrate with Source"),
                        QStringLiteral("The source in front of the detector:"), nuclideNames());
    if (!name)
        return;
    const Nuclide* source = library_.find(name->toStdString());
    const std::uint32_t n = last_.validChannels();
    const std::vector<double> counts(last_.counts.begin(), last_.counts.begin() + n);
    const auto result =
        tarvio::calibrateWithSource(searchPeaks(counts, {}), *source, counts.size());
    if (!result.calibration) {
        dialogs_.inform(QStringLiteral("Calibrate with Source"), q(result.error));
        return;
    }
    const SourceCalibration& c = *result.calibration;
    QString text = QStringLiteral("%1 of %2's line groups found:\n")
                       .arg(c.matches.size())
                       .arg(q(source->name));
    std::vector<CalibrationPoint> pairs;
    for (const SourceLineMatch& m : c.matches) {
        text += QStringLiteral("channel %1  %2 keV %3  residual %4 keV\n")
                    .arg(q(formatFixed(m.channel, 2)), q(formatFixed(m.energyKeV, 3)), q(m.name),
                         q(formatFixed(m.residualKeV, 3)));
        pairs.push_back({m.channel, m.energyKeV});
    }
    text += QStringLiteral("\nUse this calibration?");
    if (!dialogs_.confirm(QStringLiteral("Calibrate with Source"), text))
        return;
    if (hooks_.acceptCalibration)
        hooks_.acceptCalibration(std::move(pairs), c.fit.model, c.fit.calibration);
    analyzeNow();
}

void WindowPeaks::efficiency() {
    const auto file = dialogs_.openFile(QStringLiteral("Efficiency: a spectrum of a known source"));
    if (!file)
        return;
    const ReadResult read = readSpectrumFile(file->toStdString());
    if (!read) {
        dialogs_.inform(QStringLiteral("Efficiency"), q(read.error));
        return;
    }
    const MeasuredSpectrum& known = *read.spectrum;
    std::optional<SourceNote> note = findSourceRemark(known.remarks);
    if (!note) {
        const auto typed = dialogs_.text(QStringLiteral("Efficiency"),
                                         QStringLiteral("The source and its activity, "
                                                        "NUCLIDE:BQ or NUCLIDE:BQ@DATE:"));
        if (!typed)
            return;
        note = parseSourceArgument(typed->trimmed().toStdString());
        if (!note) {
            dialogs_.inform(QStringLiteral("Efficiency"),
                            QStringLiteral("'%1' is not NUCLIDE:BQ or NUCLIDE:BQ@DATE "
                                           "(Am-241:37000@2024-01-01).")
                                .arg(*typed));
            return;
        }
    }
    const KnownSpectrum spectrum{std::vector<double>(known.counts.begin(), known.counts.end()),
                                 known.calibration, known.measurement.liveSeconds,
                                 known.measurement.realSeconds, known.measurement.startUtcMs};
    const KnownSourceEfficiency made = efficiencyFromKnownSource(spectrum, *note, library_, 3.0);
    if (!made.curve) {
        dialogs_.inform(QStringLiteral("Efficiency"), q(made.error));
        return;
    }
    curve_ = made.curve;
    notes_.clear();
    std::string text = "Efficiency from " + file->toStdString() + " (" + made.nuclide + ", " +
                       formatFixed(made.activityBq, 1) + " Bq):";
    for (const EfficiencyPoint& p : made.points)
        text += " " + formatFixed(p.energyKeV, 1) + " keV " +
                valueWithUncertainty(p.efficiency, p.uncertainty) + ";";
    notes_.push_back(text);
    analyzeNow();
}

void WindowPeaks::showLines() {
    QStringList items{QStringLiteral("None")};
    items += nuclideNames();
    const auto name = dialogs_.choose(QStringLiteral("Show Lines"),
                                      QStringLiteral("The nuclide whose lines to show:"), items);
    if (!name)
        return;
    lines_.clear();
    const Nuclide* nuclide = library_.find(name->toStdString());
    const auto axis = hooks_.calibration ? hooks_.calibration() : std::nullopt;
    if (nuclide && !axis) {
        dialogs_.inform(QStringLiteral("Show Lines"),
                        QStringLiteral("Lines are placed on an energy axis: calibrate first."));
        return;
    }
    if (nuclide)
        lines_ = nuclideLineMarkers(*nuclide, *axis);
    if (hooks_.redraw)
        hooks_.redraw();
}

} // namespace tarvio
