// Start, Stop, Single, the refresh and Save Spectrum, driven through the window's controls
// against the simulated interface.

#include "MainWindowTestSupport.h"

#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <filesystem>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowMeasurement : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        sim = addSimulator();
        createWindow();
    }

    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

    void typeSamples(const QString& text) {
        auto* samples = control<QComboBox>("cmbSamples");
        samples->lineEdit()->selectAll();
        QTest::keyClick(samples, Qt::Key_Delete);
        QTest::keyClicks(samples, text);
        ASSERT_EQ(samples->currentText(), text);
    }

    Spectrum spectrumNow() {
        PulseBuffer pulse;
        Spectrum spectrum;
        window->controller().Snapshot(pulse, spectrum);
        return spectrum;
    }

    void saveSpectrum() { control<QAction>("miSaveSpectrum")->trigger(); }

    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowMeasurement, sampleCountText_parsedDefaultedAndHeldToWhatAPulseHolds) {
    // "1" and "5" begin listed counts and are not completed to them.
    const std::pair<QString, int> cases[] = {
        {"150", 150}, {"abc", 450}, {"", 450}, {"45x", 450}, {"9999", 450},
        {"0", 1},     {"-5", 1},    {"1", 1},  {"5", 5},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text.toStdString());
        typeSamples(text);
        click("btnStart");
        EXPECT_EQ(sim->state().sampleCount, expected);
        EXPECT_EQ(window->controller().sampleCount(), expected);
        click("btnStop");
    }
}

TEST_F(MainWindowMeasurement, startStopStart_armsRefreshesAndEmptiesTheSpectrumAgain) {
    click("btnStart");
    const InterfaceState armed = sim->state();
    EXPECT_TRUE(armed.waitingForTrigger);
    EXPECT_TRUE(armed.intervalRunning);
    EXPECT_NEAR(armed.intervalSeconds(), 0.2, 1e-6);
    auto* timer = control<QTimer>("tmrGraphs");
    EXPECT_TRUE(timer->isActive());

    // Pulses only come with the bias on.
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount >= 5; }));
    // The timer's own ticks put the cursor reading into the label.
    auto* label = control<QLabel>("lblChannel");
    ASSERT_TRUE(eventually([&] { return label->text().startsWith("Channel: 0 Value: "); }));

    click("btnStop");
    EXPECT_FALSE(timer->isActive());
    EXPECT_FALSE(sim->state().waitingForTrigger);
    EXPECT_FALSE(sim->state().intervalRunning);

    const std::uint64_t armedBefore = sim->state().armCount;
    // Bias off, so that no pulse can fill the spectrum again before it is looked at.
    control<QCheckBox>("chbBiasOn")->setChecked(false);
    click("btnStart");
    EXPECT_TRUE(timer->isActive());
    EXPECT_LT(spectrumNow().maxCount, 5u);
    EXPECT_GT(sim->state().armCount, armedBefore);
}

TEST_F(MainWindowMeasurement, refresh_labelReadsTheCursorChannelAndItsCount) {
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    click("btnStart");
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount >= 20; }));
    click("btnStop");
    QTest::qWait(100);

    const Spectrum spectrum = spectrumNow();
    const auto peak = std::max_element(spectrum.counts.begin(), spectrum.counts.end());
    const int channel = static_cast<int>(peak - spectrum.counts.begin());
    control<QSlider>("tbCursor")->setValue(channel);
    window->tmrGraphsTimer();
    EXPECT_EQ(control<QLabel>("lblChannel")->text(),
              QStringLiteral("Channel: %1 Value: %2").arg(channel).arg(*peak));
}

TEST_F(MainWindowMeasurement, single_addsOnePulseAndRefreshesOnceWithoutTheTimer) {
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    click("Button1");
    EXPECT_FALSE(control<QTimer>("tmrGraphs")->isActive());
    EXPECT_EQ(control<QLabel>("lblChannel")->text(), "Channel: 0 Value: 0");
    EXPECT_EQ(sim->stats().singleShots, 1u);
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount == 1; }));
}

TEST_F(MainWindowMeasurement, afterClose_stopAndRefreshDoNothingWhileTheTimerRuns) {
    click("btnStart");
    click("btnCloseDevice");
    auto* timer = control<QTimer>("tmrGraphs");
    EXPECT_TRUE(timer->isActive());
    click("btnStop");
    EXPECT_TRUE(timer->isActive());
    window->tmrGraphsTimer();
    EXPECT_EQ(control<QLabel>("lblChannel")->text(), "-");
}

TEST_F(MainWindowMeasurement, saveSpectrum_writesTheControllersSpectrumToTheChosenFile) {
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    click("Button1");
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount == 1; }));
    const Spectrum spectrum = spectrumNow();
    const auto hit = std::max_element(spectrum.counts.begin(), spectrum.counts.end());
    const int channel = static_cast<int>(hit - spectrum.counts.begin());

    const std::string path = dir.file("am241.txt");
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    saveSpectrum();
    const std::string text = readText(path);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4096);
    const std::string line = std::to_string(channel) + "\t1\r\n";
    EXPECT_NE(text.find("\n" + line), std::string::npos) << line;
    EXPECT_TRUE(boxes.boxes.empty());

    // Cancelled: nothing written, nothing shown.
    window->setSaveFileChooser([](QFileDialog&) { return QString(); });
    saveSpectrum();
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowMeasurement, saveSpectrumFails_errorBoxNamesFileAndReason) {
    const std::string path = dir.file("missing-folder/spectrum.txt");
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    saveSpectrum();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const QString text = boxes.boxes[0].text;
    EXPECT_TRUE(text.contains(QString::fromStdString(path))) << text.toStdString();
    EXPECT_TRUE(text.contains("No such file or directory")) << text.toStdString();
}

TEST_F(MainWindowMeasurement, saveCalibratedWithUndefinedCalibration_reasonShownNothingWritten) {
    const std::string path = dir.file("calibrated.txt");
    writeText(path, "an earlier measurement");
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    control<QCheckBox>("chbCalibrated")->setChecked(true);
    saveSpectrum();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(CalibrationUndefinedText))
        << boxes.boxes[0].text.toStdString();
    EXPECT_TRUE(boxes.boxes[0].text.contains(QString::fromStdString(path)));
    EXPECT_EQ(readText(path), "an earlier measurement");

    // With two points a channel apart the energies are written.
    window->session().analysis().setTwoPoints({100, 59.5}, {200, 122.06});
    saveSpectrum();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(readText(path).substr(0, 13), "-2.5000\t0\r\n-1");
}

} // namespace

TEST_F(MainWindowMeasurement, interfaceUnpluggedWhileMeasuring_endsTheMeasurementAndClosesQuietly) {
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    click("btnStart");
    ASSERT_TRUE(eventually([&] { return spectrumNow().maxCount >= 5; }));
    auto* timer = control<QTimer>("tmrGraphs");
    ASSERT_TRUE(timer->isActive());

    sim->unplug();
    ASSERT_TRUE(eventually([&] { return !timer->isActive(); }));
    const Spectrum kept = spectrumNow();
    EXPECT_GE(kept.maxCount, 5u);
    const QString lost = QString::fromStdString("Device " + simulatorName() + " lost.");
    EXPECT_EQ(logLines().count(lost), 1);

    // Close has no measurement left to stop: it only closes.
    const qsizetype before = logLines().size();
    click("btnCloseDevice");
    const QStringList after = logLines().mid(before);
    EXPECT_EQ(after, QStringList{QString::fromStdString("Device " + simulatorName() + " closed.")});
    EXPECT_EQ(spectrumNow().counts, kept.counts);
    EXPECT_TRUE(boxes.boxes.empty());
}
