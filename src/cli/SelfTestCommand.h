#pragma once
// tarvio2-cli selftest: the interface self-test, its report as text (or JSON) on stdout and,
// when asked, into a file for a bug report. Exit status 0 when no step failed, 7 when one did.

#include "cli/CliEnvironment.h"

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tarvio {

struct SelfTestCommandOptions {
    std::string device;
    std::string reportFile;
    std::optional<std::string> biasSafe; // volts as typed
    bool showSerial = false;
    bool json = false;
    double countingSeconds = 2.0;
};

CLI::App* addSelfTestCommand(CLI::App& app, SelfTestCommandOptions& options);
int runSelfTestCommand(const SelfTestCommandOptions& options, const CliEnvironment& environment);

} // namespace tarvio
