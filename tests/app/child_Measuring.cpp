// A measurement left running on the simulated interface (fast mode) until it is killed: the
// other half of the recovery test. Arguments: settings file, autosave folder, autosave
// interval in milliseconds.

#include "app/MainWindow.h"
#include "driver/Backend.h"
#include "sim/SimulatedBackend.h"

#include <QApplication>
#include <QCheckBox>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char* argv[]) {
    using namespace tarvio;
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s settings.ini autosave-folder interval-ms\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    SimulatorConfig config;
    config.fastMode = true;
    config.serialNumber = "SIM0001";
    installBackend(std::make_shared<SimulatedBackend>(config));

    TfrmMain window(argv[1]);
    window.setAutosaveFolder(argv[2]);
    window.setAutosaveIntervalMs(std::atoi(argv[3]));
    window.show();
    // Pulses come with the bias on.
    window.findChild<QCheckBox*>(QStringLiteral("chbBiasOn"))->setChecked(true);
    window.btnStartClick();
    return QApplication::exec();
}
