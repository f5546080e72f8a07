// The peak analysis in the main window: Analysis → Calibrate with Source… on a simulated
// Am-241 spectrum (the dialogs answered by the test) gives the session's calibration, ticks
// Calibrated and opens the Peaks window with Am-241 named; the graph gets its markers.

#include "MainWindowTestSupport.h"
#include "app/PeaksWindow.h"
#include "app/WindowPeaks.h"
#include "session/AnalysisState.h"
#include "session/MeasurementSession.h"
#include "sim/SpectrumSynthesis.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTableWidget>

using namespace tarvio;
using namespace tarvio::test;

TEST_F(MainWindowTest, calibrateWithSourceFromTheMenu_peaksWindowNamesAm241AndTheGraphMarksIt) {
    createWindow();
    SpectrumSynthesis request;
    request.liveSeconds = 10.0;
    const auto counts = synthesizeSpectrum(request);
    Spectrum spectrum;
    spectrum.clear();
    for (std::size_t c = 0; c < counts.size(); ++c)
        spectrum.counts[c] = counts[c];
    WindowPeaks& peaks = window->peaks();
    peaks.spectrumDrawn(spectrum);

    WindowPeaks::Dialogs dialogs;
    dialogs.choose = [](const QString&, const QString&, const QStringList&) {
        return std::optional<QString>(QStringLiteral("Am-241"));
    };
    QString asked;
    dialogs.confirm = [&](const QString&, const QString& text) {
        asked = text;
        return true;
    };
    dialogs.inform = [](const QString&, const QString& text) {
        ADD_FAILURE() << text.toStdString();
    };
    peaks.setDialogs(dialogs);

    auto* action = window->findChild<QAction*>(QStringLiteral("miCalibrateWithSource"));
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_TRUE(asked.contains(QStringLiteral("5 of Am-241's line groups found")))
        << asked.toStdString();
    EXPECT_TRUE(control<QCheckBox>("chbCalibrated")->isChecked());
    const auto axis = window->session().analysis().activeCalibration();
    ASSERT_TRUE(axis);
    EXPECT_NEAR(axis->energy(396.66), 59.54, 0.1);

    QTableWidget* table = peaks.peaksWindow()->table();
    ASSERT_EQ(table->rowCount(), 5);
    EXPECT_TRUE(
        peaks.peaksWindow()->evidence()->toPlainText().contains(QStringLiteral("1. Am-241")));
    peaks.prepareDraw();
    EXPECT_EQ(window->spectrumGraph().peakOverlay().peaks.size(), 5u);
}
