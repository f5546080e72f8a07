// The status bar and the Measurement menu: where they sit, what they say before and during a
// measurement, the presets dialog's checks, and a preset ending a measurement through the
// window.

#include "MainWindowTestSupport.h"

#include "app/SpectrumAnalysis.h"
#include "app/TfrmPresets.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

using namespace tarvio;
using namespace tarvio::test;

namespace {

using MainWindowStatus = MainWindowTest;

QString text(QLabel* label) {
    return label ? label->text() : QString();
}

TEST_F(MainWindowStatus, statusBar_belowTheControlsWhichStayWhereTheyWere) {
    // At the default size.
    addSimulator();
    createWindow();
    auto* client = control<QWidget>("client");
    auto* bar = control<QStatusBar>("sbStatus");
    ASSERT_TRUE(client && bar);
    EXPECT_EQ(client->size(), QSize(809, 384));
    EXPECT_EQ(bar->y(), client->geometry().bottom() + 1);
    EXPECT_EQ(window->height(), client->geometry().bottom() + 1 + bar->height());
    EXPECT_GT(bar->height(), 0);

    EXPECT_EQ(text(control<QLabel>("lblState")), "Idle");
    EXPECT_EQ(text(control<QLabel>("lblRealTime")), "Real --:--:--");
    EXPECT_EQ(text(control<QLabel>("lblCounts")), "Counts 0");
    EXPECT_TRUE(control<QProgressBar>("pbPreset")->isHidden());

    // The presets are the Measurement menu's last entry.
    auto* measurement = control<QMenu>("miMeasurement");
    ASSERT_NE(measurement, nullptr);
    ASSERT_FALSE(measurement->actions().isEmpty());
    EXPECT_EQ(measurement->actions().constLast()->objectName(), "miPresets");
    EXPECT_EQ(measurement->actions().constLast()->text(), QString::fromUtf8("Presets\u2026"));
}

TEST_F(MainWindowStatus, countPreset_stopsTheMeasurementAndTheWindowSaysSo) {
    writeText(settingsFile(), "[Presets]\nCounts=300\n");
    auto sim = addSimulator();
    createWindow();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    // The refresh shows the progress, then the end; the interface is told to stop.
    ASSERT_TRUE(eventually([&] { return text(control<QLabel>("lblState")) == "Preset reached"; }));
    ASSERT_TRUE(eventually([&] { return !sim->state().waitingForTrigger; }));
    EXPECT_TRUE(text(control<QLabel>("lblCounts")).startsWith("Counts 300"));
    EXPECT_TRUE(text(control<QLabel>("lblRealTime")).startsWith("Real 00:00:"));
    EXPECT_TRUE(control<QProgressBar>("pbPreset")->isHidden());
    PulseBuffer pulse;
    Spectrum spectrum;
    window->controller().Snapshot(pulse, spectrum);
    std::uint64_t total = 0;
    for (std::uint32_t c : spectrum.counts)
        total += c;
    EXPECT_EQ(total, 300u);

    // Stop leaves the verdict; the preset goes back into the file at close.
    QTest::mouseClick(control<QPushButton>("btnStop"), Qt::LeftButton);
    window->refreshStatus();
    EXPECT_EQ(text(control<QLabel>("lblState")), "Preset reached");
    closeWindow();
    EXPECT_NE(readText(settingsFile()).find("[Presets]\nCounts=300\nRealTime=\nLiveTime=\n"),
              std::string::npos)
        << readText(settingsFile());
}

TEST_F(MainWindowStatus, regionPreset_stopsAtItsCountsAndTheRegionsRateUsesTheLiveTime) {
    // Gross counts of the whole spectrum: the preset must leave exactly that many.
    writeText(settingsFile(),
              "[Settings]\nDelay=1\n[Presets]\nRegionCounts=120\nRegionFirst=0\nRegionLast=4095\n"
              "RegionGross=1\n");
    // On the wall clock, so that the interface's hold-off leaves some live time (0.3 s).
    SimulatorConfig config;
    config.fastMode = false;
    config.serialNumber = "SIM0001";
    installBackend(std::make_shared<SimulatedBackend>(config));
    createWindow();
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return text(control<QLabel>("lblState")) == "Preset reached"; }));
    EXPECT_TRUE(text(control<QLabel>("lblCounts")).startsWith("Counts 120"));

    window->analysis().addRegion(Region{0, 4095});
    const MeasurementInfo info = window->controller().Measurement();
    ASSERT_TRUE(info.liveSeconds && *info.liveSeconds > 0);
    // The figures follow the spectrum at the next refresh.
    ASSERT_TRUE(eventually([&] { return window->analysis().figures().at(0).gross == 120.0; }));
    const RegionFigures& figures = window->analysis().figures()[0];
    ASSERT_TRUE(figures.netRate) << figures.remark;
    EXPECT_NEAR(*figures.netRate, figures.net / *info.liveSeconds, 1e-9);
    closeWindow();
    EXPECT_NE(readText(settingsFile())
                  .find("RegionCounts=120\nRegionFirst=0\nRegionLast=4095\n"
                        "RegionGross=1\n"),
              std::string::npos)
        << readText(settingsFile());
}

class PresetsDialog : public ::testing::Test {
protected:
    // Types into the fields while the dialog is open, presses OK, and says whether it closed.
    bool typeAndPressOK(const QString& real, const QString& live, const QString& counts) {
        bool closed = false;
        whileModal(
            dialog,
            [&] {
                dialog.edtRealTime->setText(real);
                dialog.edtLiveTime->setText(live);
                dialog.edtCounts->setText(counts);
                click(dialog.btnOK);
                closed = !dialog.isVisible();
            },
            [&] { dialog.exec(); });
        return closed;
    }

    ScopedLocale locale{ScopedLocale::point()};
    BoxRecorder recorder;
    MeasurementPresets presets;
    TfrmPresets dialog{presets};
};

TEST_F(PresetsDialog, eachFieldChecked_warningNamesTheFieldAndNothingIsTaken) {
    // A wrong time names the forms a time may take.
    const std::string forms = " Type a time above 0 in seconds (90 or 1.5) or as h:mm:ss (1:30 "
                              "or 2:00:00), or leave it empty for no preset.";
    const struct {
        const char *real, *live, *counts;
        std::string message;
    } bad[] = {
        {"abc", "", "", "Invalid value in Real time field." + forms},
        {"0", "", "", "Invalid value in Real time field." + forms},
        {"1:75", "", "", "Invalid value in Real time field." + forms},
        {"", "-3", "", "Invalid value in Live time field." + forms},
        {"", "", "1.5", "Invalid value in Counts field."},
        {"", "", "0", "Invalid value in Counts field."},
        {"10", "5", "lots", "Invalid value in Counts field."},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(std::string(b.real) + "|" + b.live + "|" + b.counts);
        recorder.boxes.clear();
        EXPECT_FALSE(typeAndPressOK(b.real, b.live, b.counts));
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].icon, BoxIcon::Warning);
        EXPECT_EQ(recorder.boxes[0].caption, "Error");
        EXPECT_EQ(recorder.boxes[0].text, QString::fromStdString(b.message));
        EXPECT_FALSE(presets.any());
    }
}

TEST_F(PresetsDialog, validFields_writtenBackAndShownAgainEmptyMeaningNone) {
    EXPECT_TRUE(typeAndPressOK("1:30:00", " 45.5 ", "1000000"));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(presets, (MeasurementPresets{5400.0, 45.5, 1000000, std::nullopt}));

    // Shown again: as the operator typed them, times as h:mm:ss where whole.
    whileModal(
        dialog,
        [&] {
            EXPECT_EQ(dialog.edtRealTime->text(), "1:30:00");
            EXPECT_EQ(dialog.edtLiveTime->text(), "45.5");
            EXPECT_EQ(dialog.edtCounts->text(), "1000000");
            dialog.edtCounts->setText("7");
            click(dialog.btnCancel);
        },
        [&] { dialog.exec(); });
    EXPECT_EQ(presets.counts, 1000000u); // Cancel takes nothing

    EXPECT_TRUE(typeAndPressOK("", "", ""));
    EXPECT_FALSE(presets.any());
    EXPECT_EQ(tabChain(dialog.edtRealTime),
              (std::vector<QWidget*>{dialog.edtRealTime, dialog.edtLiveTime, dialog.edtCounts,
                                     dialog.edtRegionCounts, dialog.chbRegionGross,
                                     dialog.edtRegion, dialog.btnOK, dialog.btnCancel}));
}

TEST_F(PresetsDialog, regionPreset_needsChannelsWithinTheSpectrumAndOffersTheFirstRegion) {
    dialog.suggestRegion = [] { return QStringLiteral("340:370"); };
    const auto typeRegion = [&](const QString& counts, const QString& channels, bool gross) {
        bool closed = false;
        whileModal(
            dialog,
            [&] {
                EXPECT_EQ(dialog.edtRegion->text(), presets.region ? "100:120" : "340:370");
                dialog.edtRegionCounts->setText(counts);
                dialog.edtRegion->setText(channels);
                dialog.chbRegionGross->setChecked(gross);
                click(dialog.btnOK);
                closed = !dialog.isVisible();
                if (!closed)
                    click(dialog.btnCancel);
            },
            [&] { dialog.exec(); });
        return closed;
    };
    for (const char* channels : {"", "120:100", "0:4096", "abc", "1:2:3"}) {
        recorder.boxes.clear();
        EXPECT_FALSE(typeRegion("500", channels, false)) << channels;
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text, "Invalid value in Region field.");
    }
    recorder.boxes.clear();
    EXPECT_FALSE(typeRegion("-1", "1:2", false));
    EXPECT_EQ(recorder.boxes.at(0).text, "Invalid value in Region counts field.");
    EXPECT_FALSE(presets.any());

    EXPECT_TRUE(typeRegion("500", " 100-120 ", true));
    ASSERT_TRUE(presets.region);
    EXPECT_EQ(*presets.region, (RegionCountsPreset{100, 120, 500, true}));
    // Empty counts: no region preset, whatever the channels say.
    EXPECT_TRUE(typeRegion("", "junk", false));
    EXPECT_FALSE(presets.region);
}

} // namespace
