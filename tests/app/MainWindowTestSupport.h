#pragma once
// The main window as the program builds it, on simulated interfaces in fast mode, with the
// settings file in a fresh folder and a recorder in place of the message boxes.

#include "DialogTestSupport.h"
#include "ScopedLocale.h"
#include "support/TempDir.h"

#include "app/MainWindow.h"
#include "app/TfrmCalibrate.h"
#include "app/TfrmSettings.h"
#include "driver/Backend.h"
#include "session/MeasurementSession.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/QrxController.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tarvio::test {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        removeAllBackends();
        // Autosaves go to the test's own folder, never to the user's.
        ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    }

    void TearDown() override {
        closeWindow();
        removeAllBackends();
    }

    // A simulated interface in fast mode, listed after those added before it.
    std::shared_ptr<SimulatedInterface> addSimulator(const std::string& serial = "SIM0001",
                                                     SimulatorConfig config = {}) {
        config.fastMode = true;
        config.serialNumber = serial;
        auto backend = std::make_shared<SimulatedBackend>(config);
        installBackend(backend);
        return backend->interface();
    }

    static std::string simulatorName(const std::string& serial = "SIM0001") {
        return "Medipix2 ver 2.0 simulated: " + serial;
    }

    // The program's start: the main window, then the two dialogs.
    void createWindow() {
        window = std::make_unique<TfrmMain>(settingsFile());
        frmSettings = std::make_unique<TfrmSettings>(window->settings());
        frmCalibrate = std::make_unique<TfrmCalibrate>();
        window->setDialogs(frmSettings.get(), frmCalibrate.get());
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->flushLog();
    }

    // The close box, then the objects go as the program ends.
    void closeWindow() {
        if (!window)
            return;
        if (window->isVisible())
            window->close();
        frmCalibrate.reset();
        frmSettings.reset();
        window.reset();
    }

    std::string settingsFile() const { return dir.file("settings.ini"); }

    template <class Widget> Widget* control(const char* name) const {
        Widget* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    void clickButton(const char* name) {
        QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton);
    }

    // The controller's spectrum now, copied under its data lock.
    Spectrum spectrumNow() const {
        PulseBuffer pulse;
        Spectrum spectrum;
        window->controller().Snapshot(pulse, spectrum);
        return spectrum;
    }

    QStringList logLines() {
        window->flushLog();
        const QString text = control<QPlainTextEdit>("memLog")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    // Waits, letting the event loop run, until the condition holds or 20 s have passed.
    static bool eventually(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            QTest::qWait(5);
        }
        return true;
    }

    ScopedLocale locale{ScopedLocale::point()};
    TempDir dir;
    BoxRecorder boxes;
    std::unique_ptr<TfrmMain> window;
    std::unique_ptr<TfrmSettings> frmSettings;
    std::unique_ptr<TfrmCalibrate> frmCalibrate;
};

} // namespace tarvio::test
