// Tarvio2: the program starts here. The only options are --help and --version, answered
// before any window; settings.ini holds everything that can be configured
// (settings/SettingsLocation.h says where it lives).

#include "app/CloseSignals.h"
#include "app/HandlerGuard.h"
#include "app/InterfaceBackends.h"
#include "app/LinkErrorBoxes.h"
#include "app/MainWindow.h"
#include "app/MessageBoxes.h"
#include "app/QtDecimalSeparator.h"
#include "app/TfrmCalibrate.h"
#include "app/TfrmSettings.h"
#include "records/ProgramVersion.h"
#include "settings/SettingsLocation.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QTimer>

#include <exception>
#include <iostream>
#include <string_view>

namespace {

constexpr const char* Help =
    "Usage: tarvio2 [--help | --version] [Qt options]\n"
    "\n"
    "Tarvio2: a pulse-height spectrometer for USB readout interfaces, with a built-in\n"
    "simulated interface. Opens the window; every setting lives in settings.ini, beside\n"
    "the program when that folder can be written, else in ~/.config/tarvio2 (or\n"
    "$XDG_CONFIG_HOME/tarvio2). Autosaves of running measurements go to\n"
    "~/.local/share/tarvio2/autosave (or $XDG_DATA_HOME/tarvio2/autosave).\n"
    "\n"
    "  --help     print this and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Qt's own options (-platform, -display, ...) are passed on to Qt. Measuring without\n"
    "a window: tarvio2-cli --help. More in tarvio2(1).\n";

// Whether an option asks for an answer at the terminal; the window then never opens.
bool answeredAtTerminal(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--version" || option == "-v") {
            std::cout << "tarvio2 " << tarvio::programVersion() << '\n';
            return true;
        }
        if (option == "--help" || option == "-h") {
            std::cout << Help;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace tarvio;
    holdCloseSignals(); // before any thread starts: see CloseSignals.h
    if (answeredAtTerminal(argc, argv))
        return 0;
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
        const CloseSignals closeSignals(frmMain);
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
