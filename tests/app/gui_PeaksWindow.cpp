// The Peaks window and the graph's overlay on a simulated Am-241 spectrum: one row per peak
// with its nuclide, sorted by a column as numbers, copied as tab-separated text; the
// evidence below; a marker and a fitted curve per peak for the graph.

#include "analysis/SourceCalibration.h"
#include "app/PeakMarkers.h"
#include "app/PeaksWindow.h"
#include "sim/SpectrumSynthesis.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>

#include <gtest/gtest.h>

using namespace tarvio;

namespace {

PeakAnalysis am241Analysis() {
    SpectrumSynthesis request;
    request.liveSeconds = 10.0;
    const auto raw = synthesizeSpectrum(request);
    const std::vector<double> counts(raw.begin(), raw.end());
    const auto axis = calibrateWithSource(searchPeaks(counts, {}),
                                          *NuclideLibrary::builtIn().find("Am-241"), counts.size());
    PeakAnalysisOptions options;
    options.library = &NuclideLibrary::builtIn();
    return analyzePeaks(counts, axis.calibration->fit.calibration, options);
}

} // namespace

TEST(PeaksWindow, am241_rowsWithNuclidesSortedAsNumbersAndCopiedAsText) {
    const PeakAnalysis analysis = am241Analysis();
    PeaksWindow window(nullptr);
    window.showAnalysis(analysis);
    QTableWidget* table = window.table();
    ASSERT_EQ(table->rowCount(), 5);
    for (int r = 0; r < 5; ++r)
        EXPECT_TRUE(table->item(r, 5)->text().startsWith(QStringLiteral("Am-241"))) << r;
    EXPECT_TRUE(window.evidence()->toPlainText().contains(QStringLiteral("1. Am-241")));

    // By net area, largest first: the 59.5 keV line (as numbers: "52016" above "7223").
    table->sortItems(3, Qt::DescendingOrder);
    EXPECT_TRUE(table->item(0, 1)->text().startsWith(QStringLiteral("59.5")))
        << table->item(0, 1)->text().toStdString();

    const QStringList all = window.tableText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(all.size(), 6);
    EXPECT_TRUE(all[0].startsWith(QStringLiteral("Channel\tEnergy (keV)\tFWHM (keV)")));
    table->selectRow(1);
    window.copyButton()->click();
    const QStringList copied =
        QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(copied.size(), 2);
    EXPECT_EQ(copied[1].split(QLatin1Char('\t')).size(), 6);

    const PeakOverlay overlay = peakOverlayOf(analysis);
    ASSERT_EQ(overlay.peaks.size(), 5u);
    EXPECT_EQ(overlay.fits.size(), analysis.search.fits.size());
    bool gammaMarked = false;
    for (const PeakMarker& m : overlay.peaks)
        gammaMarked |= m.label.find("keV Am-241 gamma") != std::string::npos;
    EXPECT_TRUE(gammaMarked);
}
