// The main window's start-up with none, one and two interfaces, the device group, and the
// close sequence.

#include "MainWindowTestSupport.h"

#include "app/LinkErrorBoxes.h"
#include "settings/Settings.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <filesystem>

using namespace tarvio;
using namespace tarvio::test;

namespace {

using MainWindowStartUp = MainWindowTest;

TEST_F(MainWindowStartUp, noInterface_emptyDisabledListAndEveryDeviceHandlerDoesNothing) {
    createWindow();
    auto* devices = control<QComboBox>("cmbDevices");
    EXPECT_EQ(devices->count(), 0);
    EXPECT_FALSE(devices->isEnabled());
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_FALSE(window->deviceOpened());

    QTest::mouseClick(control<QPushButton>("btnOpenDevice"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("Button1"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("btnTreshold"), Qt::LeftButton);
    EXPECT_FALSE(window->deviceOpened());
    EXPECT_FALSE(control<QTimer>("tmrGraphs")->isActive());
    EXPECT_EQ(control<QLabel>("lblChannel")->text(), "-");
    EXPECT_EQ(control<QLineEdit>("edtTreshold")->text(), "0,0");
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowStartUp, oneInterface_openedBiasOffThresholdAdoptedScopeConfigured) {
    auto sim = addSimulator();
    createWindow();
    const QString name = QString::fromStdString(simulatorName());

    auto* devices = control<QComboBox>("cmbDevices");
    EXPECT_EQ(devices->count(), 1);
    EXPECT_EQ(devices->currentText(), name);
    EXPECT_FALSE(devices->isEnabled());
    EXPECT_TRUE(window->deviceOpened());
    EXPECT_TRUE(window->controller().opened());
    const QStringList log = logLines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[0], "Opening device " + name + "...");
    EXPECT_EQ(log[1], "Device " + name + " opened.");

    const InterfaceState state = sim->state();
    EXPECT_EQ(state.biasCode, 0);
    EXPECT_EQ(state.scopeMode, 2);
    EXPECT_EQ(state.sampleCount, 450);
    // The threshold read back is sent again and shown truncated to hundredths; the track
    // bar follows the edit box.
    const double readBack = window->controller().monitorThreshold();
    EXPECT_DOUBLE_EQ(window->thresholdVolts(), readBack);
    EXPECT_EQ(state.thresholdDac, static_cast<std::uint16_t>(readBack * 4096.5 * 0.4));
    const QString shown = control<QLineEdit>("edtTreshold")->text();
    EXPECT_DOUBLE_EQ(shown.toDouble(), static_cast<int>(readBack * 100) * 0.01);
    EXPECT_EQ(control<QSlider>("tbTreshold")->value(), static_cast<int>(shown.toDouble() * 10));
    // Bias off, its controls disabled, the bias track bar over the built-in limits.
    EXPECT_FALSE(control<QCheckBox>("chbBiasOn")->isChecked());
    EXPECT_FALSE(control<QLineEdit>("edtBias")->isEnabled());
    EXPECT_EQ(control<QLineEdit>("edtBias")->text(), "16");
    EXPECT_EQ(control<QSlider>("tbBias")->minimum(), 16);
    EXPECT_EQ(control<QSlider>("tbBias")->maximum(), 71);
    EXPECT_EQ(control<QSlider>("tbBias")->value(), 16);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowStartUp, twoInterfaces_firstOpenedThenOpenSwitchesAndCloseReenablesList) {
    addSimulator("SIM0001");
    auto second = addSimulator("SIM0002");
    createWindow();
    const QString first = QString::fromStdString(simulatorName("SIM0001"));
    const QString other = QString::fromStdString(simulatorName("SIM0002"));

    auto* devices = control<QComboBox>("cmbDevices");
    ASSERT_EQ(devices->count(), 2);
    EXPECT_EQ(devices->currentText(), first);
    EXPECT_TRUE(devices->isEnabled());

    devices->setCurrentIndex(1);
    QTest::mouseClick(control<QPushButton>("btnOpenDevice"), Qt::LeftButton);
    EXPECT_FALSE(devices->isEnabled());
    EXPECT_TRUE(window->controller().opened());
    EXPECT_EQ(window->controller().deviceName(), other.toStdString());
    QStringList log = logLines();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.mid(log.size() - 3),
              QStringList({"Opening device " + other + "...", "Device " + first + " closed.",
                           "Device " + other + " opened."}));

    QTest::mouseClick(control<QPushButton>("btnCloseDevice"), Qt::LeftButton);
    EXPECT_FALSE(window->deviceOpened());
    EXPECT_FALSE(window->controller().opened());
    EXPECT_TRUE(devices->isEnabled());
    EXPECT_EQ(logLines().last(), "Device " + other + " closed.");

    // A second Close asks the controller again; nothing else changes.
    QTest::mouseClick(control<QPushButton>("btnCloseDevice"), Qt::LeftButton);
    EXPECT_FALSE(window->deviceOpened());
    EXPECT_EQ(logLines().last(), "Device " + other + " closed.");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowStartUp, closeAndOpen_biasShownOffThresholdReadBackScopeConfigured) {
    auto sim = addSimulator();
    createWindow();
    auto* biasOn = control<QCheckBox>("chbBiasOn");
    auto* threshold = control<QLineEdit>("edtTreshold");
    biasOn->setChecked(true);
    threshold->setText("1.5");
    QTest::mouseClick(control<QPushButton>("btnTreshold"), Qt::LeftButton);
    ASSERT_EQ(sim->state().biasCode, 255);
    window->controller().SetSampleCount(100); // as a Start with Samples 100 leaves it

    QTest::mouseClick(control<QPushButton>("btnCloseDevice"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("btnOpenDevice"), Qt::LeftButton);
    ASSERT_TRUE(window->controller().opened());
    // The reset interface has its bias off and its power-up threshold: the window says so.
    const InterfaceState state = sim->state();
    EXPECT_EQ(state.biasCode, 0);
    EXPECT_FALSE(biasOn->isChecked());
    for (const char* name : {"edtBias", "tbBias", "btnSetBias"})
        EXPECT_FALSE(control<QWidget>(name)->isEnabled()) << name;
    const double readBack = window->controller().monitorThreshold();
    EXPECT_LT(readBack, 1.0);
    EXPECT_DOUBLE_EQ(window->thresholdVolts(), readBack);
    EXPECT_DOUBLE_EQ(threshold->text().toDouble(), static_cast<int>(readBack * 100) * 0.01);
    EXPECT_EQ(state.scopeMode, 2);
    EXPECT_EQ(state.sampleCount, 100);
    EXPECT_TRUE(boxes.boxes.empty());
}

// A backend whose one interface notes the cursor shown while it is being opened.
class CursorNotingBackend final : public DriverBackend {
public:
    int rank() const override { return 0; }
    DriverStatus enumerate(std::vector<std::string>& descriptions) override {
        descriptions.push_back("Medipix2 slow to open");
        return DRV_OK;
    }
    DriverStatus open(const std::string&, std::unique_ptr<DriverDevice>&) override {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        cursorWhileOpening = cursor ? cursor->shape() : Qt::ArrowCursor;
        return DRV_DEVICE_NOT_FOUND;
    }
    Qt::CursorShape cursorWhileOpening = Qt::ArrowCursor;
};

TEST_F(MainWindowStartUp, interfaceThatCannotOpen_waitCursorWhileOpeningAndFailureLogged) {
    auto backend = std::make_shared<CursorNotingBackend>();
    installBackend(backend);
    installLinkErrorBoxes();
    createWindow();
    removeLinkErrorBoxes();

    EXPECT_EQ(backend->cursorWhileOpening, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    // One answer to whether it is open: the session's, which says it could not.
    EXPECT_FALSE(window->deviceOpened());
    EXPECT_FALSE(window->controller().opened());
    EXPECT_TRUE(logLines().contains("Device Medipix2 slow to open could not be opened!"));
    // Before the first open installs the report hook, the driver's error is a box.
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains("Device not found"))
        << boxes.boxes[0].text.toStdString();

    backend->cursorWhileOpening = Qt::ArrowCursor;
    QTest::mouseClick(control<QPushButton>("btnOpenDevice"), Qt::LeftButton);
    EXPECT_EQ(backend->cursorWhileOpening, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MainWindowStartUp, settingsFileLimits_changeBiasConversionButNotTrackBarRange) {
    writeText(settingsFile(), "[Settings]\nBiasMin=0\nBiasMax=100\nDelay=150\n");
    addSimulator();
    createWindow();
    EXPECT_EQ(window->settings().biasMinVolts, 0);
    EXPECT_EQ(window->settings().biasMaxVolts, 100);
    EXPECT_DOUBLE_EQ(window->settings().delaySeconds, 0.15);
    EXPECT_EQ(control<QSlider>("tbBias")->minimum(), 16);
    EXPECT_EQ(control<QSlider>("tbBias")->maximum(), 71);
}

TEST_F(MainWindowStartUp, closeWithoutSettingsFile_writesTheNineLineFile) {
    createWindow();
    window->close();
    EXPECT_EQ(readText(settingsFile()), "[Calibration]\nPeak1=0\nPeak2=0\nEnergy1=0\nEnergy2=0\n"
                                        "[Settings]\nDelay=200\nBiasMax=71\nBiasMin=16\n");
}

TEST_F(MainWindowStartUp, closeWhileMeasuring_stopsClosesSavesAndNoRefreshAfterwards) {
    auto sim = addSimulator();
    createWindow();
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    ASSERT_TRUE(sim->state().waitingForTrigger);
    ASSERT_TRUE(control<QTimer>("tmrGraphs")->isActive());
    window->settings().delaySeconds = 0.15;

    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(sim->state().waitingForTrigger);
    EXPECT_FALSE(sim->state().intervalRunning);
    EXPECT_FALSE(window->controller().opened());
    EXPECT_FALSE(control<QTimer>("tmrGraphs")->isActive());
    EXPECT_EQ(logLines().last(), "Device " + QString::fromStdString(simulatorName()) + " closed.");
    EXPECT_NE(readText(settingsFile()).find("Delay=150"), std::string::npos);
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MainWindowStartUp, settingsFileCannotBeWritten_errorShownAndWindowStillCloses) {
    // A folder where the file should be: it cannot be replaced.
    std::filesystem::create_directory(settingsFile());
    createWindow();
    window->close();
    EXPECT_FALSE(window->isVisible());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, "Tarvio2");
    EXPECT_TRUE(boxes.boxes[0].text.startsWith("Unable to write to " +
                                               QString::fromStdString(settingsFile())))
        << boxes.boxes[0].text.toStdString();
}

} // namespace
