#include "cli/Cli.h"

#include "cli/AcquireCommand.h"
#include "cli/AnalyzeCommand.h"
#include "cli/CommandErrors.h"
#include "cli/ConvertCommand.h"
#include "cli/ExitCodes.h"
#include "cli/ListCommand.h"
#include "cli/SelfTestCommand.h"
#include "cli/StopSignals.h"
#include "cli/ReplayCommand.h"
#include "records/ProgramVersion.h"

#include <CLI/CLI.hpp>

#include <string>

namespace tarvio {

namespace {

constexpr const char* ProgramName = "tarvio2-cli";

// The message of a parse error on one line, with where to find help.
int usage(const CliEnvironment& environment, const std::string& command,
          const std::string& message) {
    const std::string help =
        command.empty() ? ProgramName : std::string(ProgramName) + " " + command;
    *environment.err << help << ": " << message << " (see " << help << " --help)\n";
    return exitStatus(ExitCode::Usage);
}

std::string chosenCommand(const CLI::App& app) {
    const auto chosen = app.get_subcommands();
    return chosen.empty() ? std::string() : chosen.front()->get_name();
}

} // namespace

int runCli(int argc, const char* const* argv, const CliEnvironment& environment) {
    CLI::App app("Tarvio2 without a window: measure, analyse and convert spectra.", ProgramName);
    app.set_help_all_flag("--help-all", "Print the help of every subcommand");
    app.set_version_flag("--version",
                         std::string(ProgramName) + " " + std::string(programVersion()));
    app.require_subcommand(1);
    std::string settingsFile = environment.settingsFile;
    app.add_option("--settings", settingsFile, "settings.ini to read instead of the program's own")
        ->check(CLI::ExistingFile);

    ListOptions list;
    AcquireOptions acquire;
    AnalyzeOptions analyze;
    ConvertOptions convert;
    SelfTestCommandOptions selfTest;
    ReplayOptions replay;
    CLI::App* listCommand = addListCommand(app, list);
    CLI::App* acquireCommand = addAcquireCommand(app, acquire);
    CLI::App* analyzeCommand = addAnalyzeCommand(app, analyze);
    CLI::App* convertCommand = addConvertCommand(app, convert);
    CLI::App* selfTestCommand = addSelfTestCommand(app, selfTest);
    CLI::App* replayCommand = addReplayCommand(app, replay);
    for (CLI::App* command : app.get_subcommands({}))
        command->fallthrough();

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, *environment.out, *environment.err);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help, *environment.out, *environment.err);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version, *environment.out, *environment.err);
    } catch (const CLI::ParseError& error) {
        const std::string command = chosenCommand(app);
        const std::vector<std::string> unknown = app.remaining();
        if (command.empty() && !unknown.empty() && unknown.front().rfind('-', 0) != 0)
            return usage(
                environment, {},
                "'" + unknown.front() +
                    "' is not a subcommand; use list, acquire, analyze, convert, replay or selftest");
        return usage(environment, command, error.what());
    }

    CliEnvironment resolved = environment;
    resolved.settingsFile = settingsFile;
    // Only a measurement handles the stop signals; the other commands end by them as before.
    if (!acquireCommand->parsed())
        releaseStopSignals();
    try {
        if (listCommand->parsed())
            return runList(list, resolved);
        if (acquireCommand->parsed())
            return runAcquire(acquire, resolved);
        if (analyzeCommand->parsed())
            return runAnalyze(analyze, resolved);
        if (convertCommand->parsed())
            return runConvert(convert, resolved);
        if (selfTestCommand->parsed())
            return runSelfTestCommand(selfTest, resolved);
        if (replayCommand->parsed())
            return runReplay(replay, resolved);
    } catch (const UsageError& error) {
        return usage(environment, chosenCommand(app), error.what());
    } catch (const CommandFailure& failure) {
        *environment.err << failure.what() << '\n';
        return exitStatus(failure.code());
    }
    return usage(environment, {}, "no subcommand");
}

} // namespace tarvio
