// Tarvio2: the program starts here. There are no command-line options; settings.ini holds
// everything that can be configured (settings/SettingsLocation.h says where it lives).

#include "app/HandlerGuard.h"
#include "app/InterfaceBackends.h"
#include "app/LinkErrorBoxes.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/QtDecimalSeparator.h"
#include "app/TfrmCalibrate.h"
#include "app/TfrmSettings.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QTimer>

#include <exception>

int main(int argc, char* argv[]) {
    using namespace tarvio;
    QApplication application(argc, argv);
    // Lets the desktop match the window to its menu entry and icon, where they are installed.
    QGuiApplication::setDesktopFileName(QStringLiteral(TARVIO_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(TARVIO_APP_ID)));
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 8));
    useQtDecimalSeparator();
    installLinkErrorBoxes();
    try {
        const SettingsLocation settings = locateSettings(currentSettingsPlaces());
        installInterfaceBackends(settings.file);
        // The main window first: its construction lists and opens the interface.
        TfrmMain frmMain(settings.file);
        // After the opening lines, as the file is read after the open.
        frmMain.logInbox().pushLine(describeSettingsLocation(settings));
        TfrmSettings frmSettings(frmMain.settings());
        TfrmCalibrate frmCalibrate;
        frmMain.setDialogs(&frmSettings, &frmCalibrate);
        frmMain.show();
        // Once the window shows: a measurement a crash left behind is offered back.
        QTimer::singleShot(0, &frmMain,
                           [&frmMain] { runGuarded(&frmMain, [&] { frmMain.offerRestore(); }); });
        QApplication::exec();
    } catch (const std::exception& error) {
        showErrorBox(nullptr, QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorBox(nullptr, QString());
    }
    // A failure at start-up has been shown; it ends the program as a normal close does.
    return 0;
}
