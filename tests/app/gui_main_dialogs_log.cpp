// The dialogs as the main window opens them, editing the window's settings and the graph's
// calibration in place; the log view fed from other threads.

#include "MainWindowTestSupport.h"

#include "sim/SimFaults.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextBlock>

#include <thread>

using namespace tarvio;
using namespace tarvio::test;

namespace {

using MainWindowDialogs = MainWindowTest;

void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    edit->insert(text);
}

TEST_F(MainWindowDialogs, settingsOk_newLimitsUsedByTheNextBiasSetAndSavedAtClose) {
    auto sim = addSimulator();
    createWindow();
    QAction* menu = control<QAction>("miSettings");
    whileModal(
        *frmSettings,
        [&] {
            EXPECT_EQ(frmSettings->edtMin->text(), "16");
            EXPECT_EQ(frmSettings->edtDelay->text(), "200");
            typeInto(frmSettings->edtMin, "20");
            typeInto(frmSettings->edtMax, "60");
            typeInto(frmSettings->edtDelay, "150");
            click(frmSettings->Button1);
        },
        [&] { menu->trigger(); });
    EXPECT_EQ(window->settings().biasMinVolts, 20);
    EXPECT_EQ(window->settings().biasMaxVolts, 60);
    EXPECT_DOUBLE_EQ(window->settings().delaySeconds, 0.15);

    control<QCheckBox>("chbBiasOn")->setChecked(true);
    control<QLineEdit>("edtBias")->setText("40");
    click(control<QPushButton>("btnSetBias"));
    EXPECT_EQ(sim->state().biasCode, 128); // 255 - trunc(254 / 40 x 20)

    // Cancel changes nothing.
    whileModal(
        *frmSettings,
        [&] {
            typeInto(frmSettings->edtMin, "1");
            click(frmSettings->Button2);
        },
        [&] { menu->trigger(); });
    EXPECT_EQ(window->settings().biasMinVolts, 20);

    window->close();
    const std::string saved = readText(settingsFile());
    EXPECT_NE(saved.find("Delay=150\nBiasMax=60\nBiasMin=20\n"), std::string::npos) << saved;
}

TEST_F(MainWindowDialogs, settingsDelayNotANumber_errorBoxDialogStaysOpen) {
    createWindow();
    whileModal(
        *frmSettings,
        [&] {
            typeInto(frmSettings->edtDelay, "fast");
            click(frmSettings->Button1);
            EXPECT_TRUE(frmSettings->isVisible());
            click(frmSettings->Button2);
        },
        [&] { control<QAction>("miSettings")->trigger(); });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "'fast' is not a valid floating point value");
    EXPECT_DOUBLE_EQ(window->settings().delaySeconds, 0.2);
}

TEST_F(MainWindowDialogs, calibrateOk_pointsOfTheGraphChangedAndSavedAtClose) {
    createWindow();
    auto* button = control<QPushButton>("btnCalibrate");
    whileModal(
        *frmCalibrate,
        [&] {
            EXPECT_EQ(frmCalibrate->edtSample1->text(), "0");
            typeInto(frmCalibrate->edtSample1, "5000");
            click(frmCalibrate->btnOK);
            EXPECT_TRUE(frmCalibrate->isVisible());
            typeInto(frmCalibrate->edtSample1, "100");
            typeInto(frmCalibrate->edtEnergy1, "59.5");
            typeInto(frmCalibrate->edtSample2, "200");
            typeInto(frmCalibrate->edtEnergy2, "122.06");
            click(frmCalibrate->btnOK);
        },
        [&] { click(button); });
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Invalid value in Sample1 field.");
    const AnalysisState& analysis = window->session().analysis();
    EXPECT_DOUBLE_EQ(analysis.point1().channel, 100);
    EXPECT_DOUBLE_EQ(analysis.point1().energy, 59.5);
    EXPECT_DOUBLE_EQ(analysis.point2().channel, 200);
    EXPECT_DOUBLE_EQ(analysis.point2().energy, 122.06);

    whileModal(
        *frmCalibrate,
        [&] {
            typeInto(frmCalibrate->edtEnergy1, "1");
            click(frmCalibrate->btnCancel);
        },
        [&] { click(button); });
    EXPECT_DOUBLE_EQ(analysis.point1().energy, 59.5);

    window->close();
    const std::string saved = readText(settingsFile());
    EXPECT_NE(saved.find("Peak1=100\nPeak2=200\nEnergy1=59.5\nEnergy2=122.06\n"), std::string::npos)
        << saved;
}

TEST_F(MainWindowDialogs, measuring_refreshGoesOnWhileADialogIsOpen) {
    addSimulator();
    createWindow();
    click(control<QPushButton>("btnStart"));
    auto* label = control<QLabel>("lblChannel");
    label->setText("-");
    whileModal(
        *frmSettings,
        [&] {
            EXPECT_TRUE(eventually([&] { return label->text() != "-"; }));
            click(frmSettings->Button2);
        },
        [&] { control<QAction>("miSettings")->trigger(); });
}

using MainWindowLog = MainWindowTest;

TEST_F(MainWindowLog, errorLinesFromTheMonitoringThread_appearInOrderInTheLog) {
    auto sim = addSimulator();
    createWindow();
    constexpr int errors = 20;
    for (int i = 0; i < errors; ++i)
        sim->injectFault(SimFault::errorLine("Fault " + std::to_string(i), SimFaultTarget::Pulse));
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    click(control<QPushButton>("btnStart"));
    // Shown by the event loop on its own, no flush asked for.
    auto* log = control<QPlainTextEdit>("memLog");
    ASSERT_TRUE(eventually([&] {
        return log->toPlainText().contains("Fault " + QString::number(errors - 1));
    })) << log->toPlainText().toStdString();
    click(control<QPushButton>("btnStop"));
    int next = 0;
    for (const QString& line : logLines())
        if (line.contains("Fault " + QString::number(next)))
            ++next;
    EXPECT_EQ(next, errors);
}

TEST_F(MainWindowLog, floodFromAnotherThread_windowKeepsTheNewestLinesWithinItsBound) {
    createWindow();
    constexpr int lines = 3 * TfrmMain::MaxLogLines;
    std::thread flood([&] {
        for (int i = 0; i < lines; ++i)
            window->logInbox().pushLine("error " + std::to_string(i));
    });
    auto* log = control<QPlainTextEdit>("memLog");
    const bool shown = eventually(
        [&] { return log->document()->lastBlock().text().endsWith(QString::number(lines - 1)); });
    flood.join();
    ASSERT_TRUE(shown);
    EXPECT_LE(log->document()->blockCount(), TfrmMain::MaxLogLines);
}

} // namespace
