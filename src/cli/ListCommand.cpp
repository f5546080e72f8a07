#include "cli/ListCommand.h"

#include "cli/CliInterfaces.h"
#include "cli/CliSettings.h"
#include "cli/ExitCodes.h"
#include "spectrometer/QrxController.h"

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tarvio {

CLI::App* addListCommand(CLI::App& app, ListOptions&) {
    return app.add_subcommand("list", "List the readout interfaces found, one a line");
}

int runList(const ListOptions&, const CliEnvironment& environment) {
    const CliSettings settings = loadCliSettings(environment.settingsFile);
    CliInterfaces interfaces(environment, settings.simulator, false);
    TQrxController controller;
    // What the driver has to say (an interface without access rights) goes to stderr.
    std::ostream& err = *environment.err;
    controller.SetLogHandler([&err](const char* line) { err << line << '\n'; });
    std::vector<std::string> devices;
    controller.ListDevices(devices);
    controller.SetLogHandler({});
    for (const std::string& device : devices)
        *environment.out << device << '\n';
    if (devices.empty()) {
        err << "No interface found.\n";
        return exitStatus(ExitCode::NoInterface);
    }
    return exitStatus(ExitCode::Done);
}

} // namespace tarvio
