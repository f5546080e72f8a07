// Start-up with an interface that commits every fault at the highest rate: the window comes
// up without a box to answer, the start-up open's reports in its log.

#include "MainWindowTestSupport.h"

#include "app/LinkErrorBoxes.h"
#include "sim/SimulatedBackend.h"

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowStartUpFaults : public MainWindowTest {};

TEST_F(MainWindowStartUpFaults, faultyInterface_noBoxBeforeTheWindow_reportsInTheLog) {
    // Paced as the real interface, as the program runs it: faults come by the second.
    SimulatorConfig faulty;
    faulty.serialNumber = "SIM0001";
    faulty.faults = SimFaultAll;
    faulty.faultRate = SimulatorConfig::MaxFaultRate;
    installBackend(std::make_shared<SimulatedBackend>(faulty));
    installLinkErrorBoxes();
    createWindow();
    removeLinkErrorBoxes();

    for (const BoxRequest& box : boxes.boxes)
        EXPECT_FALSE(box.caption.contains(QString::fromStdString(simulatorName())))
            << box.caption.toStdString() << ": " << box.text.toStdString();
    const QStringList lines = logLines();
    const QStringList reports = lines.filter("not responding") + lines.filter("failed") +
                                lines.filter("Bad") + lines.filter("error");
    EXPECT_FALSE(reports.isEmpty()) << lines.join("\n").toStdString();
}

} // namespace
