// What someone new to the program meets in the window: the status bar saying why nothing
// useful happens, the log telling what they did, figures that mean what they say (no
// resolution without an energy axis, no fit of an earlier spectrum), the readable axes kept in
// settings.ini, and the Help and Quit entries.

#include "MainWindowTestSupport.h"

#include "app/RegionTable.h"
#include "app/SpectrumAnalysis.h"
#include "formats/SpectrumFiles.h"
#include "records/ProgramVersion.h"
#include "support/SyntheticSpectrum.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

using namespace tarvio;
using namespace tarvio::test;

namespace {

using FirstHour = MainWindowTest;

TEST_F(FirstHour, statusBarAndLog_sayWhyNothingUsefulHappensAndWhatTheOperatorDid) {
    auto sim = addSimulator();
    createWindow();
    const auto rates = [this] { return control<QLabel>("lblRates")->text(); };

    // Start after Close: nothing starts, and the status bar says why.
    clickButton("btnCloseDevice");
    clickButton("btnStart");
    EXPECT_FALSE(control<QTimer>("tmrGraphs")->isActive());
    EXPECT_TRUE(rates().contains("No interface is open")) << rates().toStdString();

    // Start with the bias off: no pulses, and both the status bar and the log say so.
    clickButton("btnOpenDevice");
    clickButton("btnStart");
    EXPECT_TRUE(rates().contains("no pulses while the bias is off")) << rates().toStdString();
    EXPECT_TRUE(logLines().contains("Start: 450 samples per pulse, delay 200 ms; the bias is off, "
                                    "so no pulses will come."))
        << logLines().join("\n").toStdString();

    // Bias on at the default delay of 200 ms: the interface is held off nearly all the time,
    // and the status bar names the cause and the remedy.
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    EXPECT_FALSE(rates().contains("bias is off"));
    EXPECT_TRUE(eventually([&] {
        window->refreshStatus();
        return rates().contains("held off 200 ms after every pulse: lower Delay in Settings");
    })) << rates().toStdString();
    clickButton("btnStop");
    const QStringList log = logLines();
    EXPECT_TRUE(log.contains("Bias set to 16 V.")) << log.join("\n").toStdString();
    EXPECT_EQ(log.last(), "Stop.");
}

TEST_F(FirstHour, regions_resolutionOnlyOnAnEnergyAxisAndFitsOfTheLastSpectrumCleared) {
    addSimulator();
    createWindow();
    SpectrumAnalysis& analysis = window->analysis();
    analysis.spectrumDrawn(syntheticSpectrum({{397.5, 4.6, 4.0e4}}, {30.0}, 3));
    analysis.addRegion({370, 425});
    analysis.showRegionTable();
    QTableWidget* table = analysis.regionTable()->table();
    const int resolution = 7;
    ASSERT_EQ(table->horizontalHeaderItem(resolution)->text(), "Resolution (%)");
    EXPECT_TRUE(table->isColumnHidden(resolution));

    // A fit from the band's menu is heard in the log and drawn; its table cell has chi2/dof.
    analysis.regionTable()->hide();
    analysis.fitRegion(0);
    ASSERT_TRUE(analysis.fit(0));
    EXPECT_TRUE(logLines().last().startsWith("Region 1 fit: centroid 397."))
        << logLines().last().toStdString();
    EXPECT_TRUE(logLines().last().contains("chi2/dof"));

    // On the keV axis the resolution is FWHM over energy.
    window->session().analysis().setTwoPoints({100.0, 10.0}, {500.0, 90.0});
    control<QCheckBox>("chbCalibrated")->setChecked(true);
    analysis.showRegionTable();
    EXPECT_FALSE(table->isColumnHidden(resolution));
    const double keV = 4.6 * 2.3548 * 0.2 / (10.0 + 0.2 * 297.5) * 100;
    EXPECT_NEAR(table->item(0, resolution)->text().toDouble(), keV, 0.1);
    EXPECT_EQ(table->item(0, 8)->text().count(','), 3) << table->item(0, 8)->text().toStdString();

    // Start: a new spectrum, and the old fit describes it no more.
    clickButton("btnStart");
    EXPECT_FALSE(analysis.fit(0));
    clickButton("btnStop");
}

TEST_F(FirstHour, readableAxesAboutAndQuit_keptInSettingsOnlyOnceChanged) {
    createWindow();
    closeWindow();
    EXPECT_EQ(readText(settingsFile()).find("[View]"), std::string::npos);

    createWindow();
    auto* readable = control<QAction>("miReadableAxes");
    ASSERT_FALSE(readable->isChecked());
    readable->trigger();
    EXPECT_TRUE(window->spectrumGraph().readableAxes());
    closeWindow();
    EXPECT_NE(readText(settingsFile()).find("[View]\nReadableAxes=1\n"), std::string::npos);

    createWindow();
    EXPECT_TRUE(control<QAction>("miReadableAxes")->isChecked());
    EXPECT_TRUE(window->spectrumGraph().readableAxes());

    // Help → About: version, licence and where the files are.
    control<QAction>("miAbout")->trigger();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString about = boxes.boxes[0].text;
    EXPECT_TRUE(about.contains(QString::fromLatin1(programVersion().data())));
    EXPECT_TRUE(about.contains("MIT"));
    EXPECT_TRUE(about.contains(QString::fromStdString(settingsFile())));
    EXPECT_TRUE(about.contains("autosave"));

    // File → Quit, Ctrl+Q: the window closes as with its close box.
    auto* quit = control<QAction>("miQuit");
    EXPECT_EQ(quit->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->trigger();
    EXPECT_FALSE(window->isVisible());
}

// Subtract Reference: the graph says it shows a difference, and the regions' figures are the
// difference's, as the Regions window says.
TEST_F(FirstHour, subtractedReference_regionFiguresOfTheDifferenceAndSaidSo) {
    addSimulator();
    createWindow();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    clickButton("btnStart");
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount >= 5; }));
    clickButton("btnStop");
    MeasuredSpectrum twice = measuredSpectrum(spectrumNow());
    for (auto& c : twice.counts)
        c *= 2;
    const std::string path = dir.file("background.n42");
    ASSERT_TRUE(saveSpectrumFile(path, twice, FileFormat::N42));
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    control<QAction>("miOpenSpectrum")->trigger();

    SpectrumAnalysis& analysis = window->analysis();
    analysis.addRegion({0, 4095});
    analysis.showRegionTable();
    EXPECT_GT(analysis.figures().at(0).gross, 0.0);
    control<QAction>("miSubtractReference")->trigger();
    // Scaled by counts, the reference equals the live spectrum: nothing is left.
    EXPECT_EQ(analysis.figures().at(0).gross, 0.0);
    EXPECT_TRUE(analysis.regionTable()->windowTitle().contains("difference"));
    control<QAction>("miClearReference")->trigger();
    EXPECT_GT(analysis.figures().at(0).gross, 0.0);
    EXPECT_EQ(analysis.regionTable()->windowTitle(), "Regions");
}

} // namespace
