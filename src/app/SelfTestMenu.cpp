#include "app/SelfTestMenu.h"

#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/SelfTestDialog.h"
#include "selftest/SelfTest.h"
#include "session/MeasurementSession.h"

#include <QApplication>
#include <QComboBox>

namespace tarvio {

namespace {

double countingSeconds = 2.0;

} // namespace

void setSelfTestCountingSeconds(double seconds) {
    countingSeconds = seconds;
}

void runInterfaceSelfTest(TfrmMain& window) {
    const QString caption = QStringLiteral("Interface Self-Test");
    MeasurementSession& session = window.session();
    if (session.measuring()) {
        showMessageBox(&window, BoxIcon::Information, caption,
                       QStringLiteral("Stop the measurement before the self-test."));
        return;
    }
    if (!askQuestion(&window, caption,
                     QStringLiteral("The self-test takes the interface for a few seconds: it "
                                    "closes it, sends it 200 harmless commands and counts with "
                                    "the bias off. It clears the spectrum; save it first if you "
                                    "need it.\n\nRun the self-test?")))
        return;

    const auto* devices = window.findChild<QComboBox*>(QStringLiteral("cmbDevices"));
    SelfTestOptions options;
    options.device = devices ? devices->currentText().toStdString() : std::string();
    options.delaySeconds = window.settings().delaySeconds;
    options.countingSeconds = countingSeconds;
    const bool wasOpen = session.isOpen();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (wasOpen)
        session.close();
    SelfTestReport report = SelfTest(window.controller(), options).run();
    QApplication::restoreOverrideCursor();
    if (wasOpen)
        window.btnOpenDeviceClick();

    auto* dialog = new SelfTestDialog(&window, std::move(report));
    dialog->show();
}

} // namespace tarvio
