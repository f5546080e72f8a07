// The window's peak analysis on a simulated Am-241 spectrum, through its menu actions with
// the dialogs answered by the test: calibrate with the source (five lines, accepted), the
// Peaks window with the nuclide named, the graph's markers and a nuclide's lines, and the
// live search that takes one spectrum per interval on its own thread.

#include "app/PeaksWindow.h"
#include "app/WindowPeaks.h"
#include "sim/SpectrumSynthesis.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <QMenu>
#include <QMenuBar>
#include <QTableWidget>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

using namespace tarvio;

namespace {

Spectrum am241Spectrum(std::uint64_t seed) {
    SpectrumSynthesis request;
    request.liveSeconds = 10.0;
    request.seed = seed;
    const auto counts = synthesizeSpectrum(request);
    Spectrum s;
    s.clear();
    for (std::size_t c = 0; c < counts.size(); ++c)
        s.counts[c] = counts[c];
    return s;
}

struct Fixture {
    QWidget window;
    QMenuBar bar{&window};
    RecordingCanvas canvas{800, 400};
    SpectrumGraph graph{canvas};
    std::optional<EnergyCalibration> axis;
    std::size_t acceptedPairs = 0;
    double now = 100.0;
    int redraws = 0;
    WindowPeaks peaks{
        {&window, [this](const QString& title) { return bar.addMenu(title); }, &graph},
        {[this] { ++redraws; }, [this] { return axis; },
         [this](std::vector<CalibrationPoint> pairs, CalibrationModel, EnergyCalibration c) {
             acceptedPairs = pairs.size();
             axis = c;
         },
         [] { return std::optional<double>(10.0); }, [this] { return now; }, ""}};

    Fixture() {
        WindowPeaks::Dialogs d;
        d.choose = [this](const QString&, const QString&, const QStringList& items) {
            EXPECT_TRUE(items.contains(choice));
            return std::optional<QString>(choice);
        };
        d.openFile = [](const QString&) { return std::optional<QString>(); };
        d.text = [](const QString&, const QString&) { return std::optional<QString>(); };
        d.confirm = [](const QString&, const QString&) { return true; };
        d.inform = [this](const QString&, const QString& text) { informed = text; };
        peaks.setDialogs(d);
    }
    QString choice = QStringLiteral("Am-241");
    QString informed;
};

} // namespace

TEST(WindowPeaks, calibrateIdentifyMarkAndShowLines_throughTheMenuActions) {
    Fixture f;
    f.peaks.spectrumDrawn(am241Spectrum(1));
    f.peaks.identify();
    EXPECT_TRUE(f.informed.contains(QStringLiteral("calibrate first"))) << "no axis yet";

    f.peaks.calibrateWithSource();
    EXPECT_EQ(f.acceptedPairs, 5u);
    ASSERT_TRUE(f.axis);
    ASSERT_TRUE(f.peaks.lastAnalysis());
    QTableWidget* table = f.peaks.peaksWindow()->table();
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_TRUE(table->item(4, 5)->text().startsWith(QStringLiteral("Am-241")));
    EXPECT_TRUE(f.peaks.peaksWindow()->isVisible());

    f.peaks.prepareDraw();
    EXPECT_EQ(f.graph.peakOverlay().peaks.size(), 5u);
    EXPECT_FALSE(f.graph.peakOverlay().fits.empty());

    f.choice = QStringLiteral("Cs-137");
    f.peaks.showLines();
    f.peaks.prepareDraw();
    EXPECT_FALSE(f.graph.peakOverlay().lines.empty());
    EXPECT_EQ(f.graph.peakOverlay().lines.back().label, "Cs-137 661.7");
}

TEST(WindowPeaks, liveSearch_onePerIntervalOffTheRefresh) {
    Fixture f;
    f.peaks.setLive(true);
    f.peaks.spectrumDrawn(am241Spectrum(2));
    for (int i = 0; i < 1000 && !f.peaks.collect(); ++i)
        QThread::msleep(10);
    ASSERT_TRUE(f.peaks.lastAnalysis());
    EXPECT_EQ(f.peaks.lastAnalysis()->search.peaks.size(), 5u);

    // Within the interval the refresh offers nothing; after it, the next spectrum goes.
    f.now += 1.0;
    f.peaks.spectrumDrawn(Spectrum{});
    QThread::msleep(50);
    EXPECT_FALSE(f.peaks.collect());
    f.now += LiveIntervalSeconds;
    f.peaks.spectrumDrawn(am241Spectrum(3));
    for (int i = 0; i < 1000 && !f.peaks.collect(); ++i)
        QThread::msleep(10);
    EXPECT_EQ(f.peaks.lastAnalysis()->search.peaks.size(), 5u);
    f.peaks.setLive(false);
}
