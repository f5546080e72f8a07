#pragma once
// Runs tarvio2-cli's subcommands in the test's own process: string streams for stdout and
// stderr, a settings.ini of the test's choosing, only the simulated interface, and a look at
// what that interface was sent.

#include "cli/AcquireProgress.h"
#include "cli/Cli.h"
#include "cli/CliEnvironment.h"
#include "sim/SimulatedInterface.h"
#include "support/TempDir.h"

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace tarvio::test {

struct CliResult {
    int status = -1;
    std::string out;
    std::string err;
};

class CliRunner {
public:
    CliRunner() {
        settingsFile = folder.file("settings.ini");
        writeText(settingsFile, "[Settings]\nDelay=0\n");
    }

    CliResult run(std::vector<std::string> args) {
        args.insert(args.begin(), "tarvio2-cli");
        std::vector<const char*> argv;
        for (const std::string& arg : args)
            argv.push_back(arg.c_str());
        std::ostringstream out;
        std::ostringstream err;
        CliEnvironment environment;
        environment.out = &out;
        environment.err = &err;
        environment.settingsFile = settingsFile;
        environment.handleSignals = false;
        environment.simulatorReady = [this](const std::shared_ptr<SimulatedInterface>& sim) {
            simulator = sim;
        };
        environment.acquireTick = tick;
        CliResult result;
        result.status = runCli(static_cast<int>(argv.size()), argv.data(), environment);
        result.out = out.str();
        result.err = err.str();
        return result;
    }

    std::string file(const std::string& name) const { return folder.file(name); }

    TempDir folder;
    std::string settingsFile;
    std::function<void(const AcquireProgress&)> tick;
    std::shared_ptr<SimulatedInterface> simulator; // the last one a command set up
};

} // namespace tarvio::test
