// Autosave while measuring and at Stop, and the offer at start to restore a measurement that
// never ended, against the simulated interface.

#include "MainWindowTestSupport.h"

#include "autosave/AutosaveStore.h"
#include "formats/SpectrumFiles.h"

#include <QCheckBox>
#include <QPushButton>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowAutosave : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        sim = addSimulator();
        createWindow();
    }

    // The one autosave in the folder, if there is exactly one.
    std::optional<MeasuredSpectrum> theAutosave() {
        std::vector<std::string> files;
        std::error_code error;
        for (std::filesystem::directory_iterator it(window->autosaveFolder(), error), end;
             !error && it != end; it.increment(error))
            files.push_back(it->path().string());
        if (files.size() != 1)
            return std::nullopt;
        return readSpectrumFile(files[0]).spectrum;
    }

    // The boxes the next offer shows, answered with Yes or No.
    const std::vector<BoxRequest>& offer(bool yes) {
        boxes.boxes.clear();
        boxes.answerYes = yes;
        window->offerRestore();
        return boxes.boxes;
    }

    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowAutosave, defaultsToTheDataFolderAndFiveMinutes) {
    EXPECT_EQ(window->autosaveFolder(), dir.file("data") + "/tarvio2/autosave");
    clickButton("btnStart");
    clickButton("btnStop");
    // A measurement without a single autosave tick is still saved at Stop.
    const auto saved = theAutosave();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->measurement.ended);
}

TEST_F(MainWindowAutosave, measuringWritesUnfinishedAutosaves_stopMarksThemEnded) {
    window->setAutosaveIntervalMs(20);
    control<QCheckBox>("chbBiasOn")->setChecked(true); // pulses come with the bias on
    clickButton("btnStart");
    ASSERT_TRUE(eventually([&] {
        const auto saved = theAutosave();
        return saved && saved->totalCounts() > 0;
    }));
    EXPECT_FALSE(theAutosave()->measurement.ended);
    clickButton("btnStop");
    const auto saved = theAutosave();
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->measurement.ended);
    EXPECT_EQ(saved->counts, measuredSpectrum(spectrumNow()).counts);
    EXPECT_EQ(saved->measurement.operatingPoint.interfaceDescription, simulatorName());
}

TEST_F(MainWindowAutosave, presetEnd_finalAutosaveWithExactlyThePresetsCountsAndTimes) {
    window->controller().SetPresets({std::nullopt, std::nullopt, 40, std::nullopt});
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    clickButton("btnStart");
    ASSERT_TRUE(eventually([&] {
        const auto saved = theAutosave();
        return saved && saved->measurement.ended;
    }));
    const auto saved = theAutosave();
    EXPECT_EQ(saved->totalCounts(), 40u);
    ASSERT_TRUE(saved->measurement.realSeconds);
    EXPECT_NEAR(*saved->measurement.realSeconds, *window->controller().Measurement().realSeconds,
                0.001);
}

TEST_F(MainWindowAutosave, interfaceUnplugged_autosavesEveryCountedPulseAsEnded) {
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    clickButton("btnStart");
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount >= 3; }));
    sim->unplug();
    ASSERT_TRUE(eventually([&] {
        const auto saved = theAutosave();
        return saved && saved->measurement.ended;
    }));
    EXPECT_EQ(theAutosave()->counts, measuredSpectrum(spectrumNow()).counts);
}

TEST_F(MainWindowAutosave, unfinishedAutosave_isOfferedAndRestoredOnYes_keptOnNo) {
    AutosaveStore store(window->autosaveFolder());
    MeasuredSpectrum crashed;
    crashed.counts.assign(SpectrumChannels, 0);
    crashed.counts[1234] = 4000000000u;
    crashed.measurement.ended = false;
    crashed.measurement.startUtcMs = 1714566896789;
    crashed.measurement.liveSeconds = 3600.0;
    crashed.calibration = EnergyCalibration{{1.5, 0.25, 0.0}};
    const std::string path = store.fileFor(1714566896789);
    ASSERT_TRUE(store.write(path, crashed));

    const auto declined = offer(false);
    ASSERT_EQ(declined.size(), 1u);
    EXPECT_EQ(declined[0].icon, BoxIcon::Question);
    EXPECT_TRUE(declined[0].text.contains("started 2024-05-01T12:34:56.789Z"));
    EXPECT_TRUE(declined[0].text.contains(QString::fromStdString(path)));
    EXPECT_EQ(spectrumNow().counts[1234], 0u);

    ASSERT_EQ(offer(true).size(), 1u);
    EXPECT_EQ(spectrumNow().counts[1234], 4000000000u);
    // Ready to save with its times and calibration.
    const MeasuredSpectrum record = window->currentRecord();
    EXPECT_EQ(record.measurement.startUtcMs, 1714566896789);
    EXPECT_EQ(record.measurement.liveSeconds, 3600.0);
    ASSERT_TRUE(record.calibration);
    EXPECT_EQ(record.calibration->coefficients[1], 0.25);

    EXPECT_TRUE(offer(true).empty()); // restored once is not offered again
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace
