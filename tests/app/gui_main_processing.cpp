// The pulse processing through the window: the Processing page of the settings, a
// measurement whose rejected pulses show in the status bar and whose file says how it was
// made, and a template learned from the next pulses and kept in settings.ini.

#include "MainWindowTestSupport.h"

#include "app/TfrmProcessing.h"
#include "app/WindowProcessing.h"
#include "formats/SpectrumFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowProcessing : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        SimulatorConfig noisy;
        noisy.noiseCodes = 8.0;
        noisy.pileUp = true;
        noisy.activity = 35000.0; // a tenth of the records carry a second photon
        sim = addSimulator("SIM0001", noisy);
        createWindow();
    }

    // Settings, then its Processing page, where `onPage` acts.
    void onProcessingPage(const std::function<void(TfrmProcessing&)>& onPage) {
        TfrmProcessing& page = window->processing().page();
        whileModal(
            *frmSettings,
            [&] {
                ASSERT_TRUE(frmSettings->btnProcessing->isVisible());
                whileModal(
                    page, [&] { onPage(page); }, [&] { click(frmSettings->btnProcessing); });
                click(frmSettings->Button2);
            },
            [&] { control<QAction>("miSettings")->trigger(); });
    }

    void measure(std::uint64_t counts) {
        control<QCheckBox>("chbBiasOn")->setChecked(true);
        clickButton("btnStart");
        ASSERT_TRUE(eventually(
            [&] { return window->session().currentMeasurement().acceptedCount >= counts; }));
        clickButton("btnStop");
    }

    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowProcessing, fitWithPileUpRejection_statusBarCountsAndTheFileSaysHow) {
    auto* status = control<QLabel>("lblProcessing");
    EXPECT_FALSE(status->isVisible()); // the plain largest sample has nothing to tell
    onProcessingPage([](TfrmProcessing& page) {
        EXPECT_EQ(page.cmbHeight->currentText(), "Largest sample");
        page.cmbHeight->setCurrentIndex(1);
        page.chbPileUp->setChecked(true);
        click(page.Button1);
    });
    EXPECT_EQ(window->processing().settings().options.method, HeightMethod::Fit);

    measure(1000);
    window->tmrGraphsTimer();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->text().startsWith("Rejected ")) << status->text().toStdString();
    EXPECT_GT(status->text().mid(9).toInt(), 20);

    const std::string path = dir.file("fit.n42");
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    control<QAction>("miSaveSpectrumAs")->trigger();
    const ReadResult read = readSpectrumFile(path);
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.spectrum->measurement.processing,
              "template fit (built-in CR-RC shape); rejected: pile-up beyond 5 sigma");
    EXPECT_GT(read.spectrum->measurement.rejected.pileUp, 20u);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowProcessing, learnFromTheNextPulses_templateLearnedAndKeptInSettings) {
    onProcessingPage([](TfrmProcessing& page) {
        page.edtLearnPulses->setText("60");
        click(page.btnLearn);
    });
    EXPECT_TRUE(window->processing().learning());
    measure(300);
    ASSERT_TRUE(eventually([&] {
        window->tmrGraphsTimer();
        return !window->processing().learning();
    }));
    const auto& shape = window->processing().settings().options.shape;
    ASSERT_TRUE(shape);
    EXPECT_EQ(shape->learnedFrom(), 60);
    EXPECT_NEAR(shape->at(PulseTemplate::BuiltInShapingSamples), 1.0, 0.05);
    EXPECT_TRUE(logLines().filter("learned from 60 pulses").size() == 1);

    closeWindow();
    const std::string ini = readText(settingsFile());
    EXPECT_NE(ini.find("[Processing]"), std::string::npos) << ini;
    EXPECT_NE(ini.find("Template=60 "), std::string::npos);
}

} // namespace
