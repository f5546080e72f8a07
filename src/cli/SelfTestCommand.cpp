#include "cli/SelfTestCommand.h"

#include "cli/CliInterfaces.h"
#include "cli/CliSettings.h"
#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "link/Report.h"
#include "records/AtomicFile.h"
#include "selftest/SelfTest.h"
#include "settings/AppError.h"
#include "settings/BiasConversion.h"
#include "settings/NumberFormat.h"
#include "spectrometer/QrxController.h"

#include <CLI/CLI.hpp>

#include <poll.h>
#include <unistd.h>

namespace tarvio {

namespace {

bool endsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether a line has been typed on the terminal; takes it.
bool lineTyped() {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0)
        return false;
    char chunk[256];
    return ::read(STDIN_FILENO, chunk, sizeof chunk) >= 0;
}

// Link reports made while no report hook is installed (opening) go into the report's log.
class ErrorBoxesToTest {
public:
    explicit ErrorBoxesToTest(SelfTest& test) {
        SetErrorBoxSink([&test](const char*, const char* text) { test.note(text ? text : ""); });
    }
    ~ErrorBoxesToTest() { SetErrorBoxSink({}); }
    ErrorBoxesToTest(const ErrorBoxesToTest&) = delete;
    ErrorBoxesToTest& operator=(const ErrorBoxesToTest&) = delete;
};

} // namespace

CLI::App* addSelfTestCommand(CLI::App& app, SelfTestCommandOptions& o) {
    CLI::App* c = app.add_subcommand(
        "selftest", "Test a readout interface step by step and report what works; run it first "
                    "with new hardware");
    c->option_defaults()->always_capture_default(false);
    c->add_option("--device", o.device,
                  "Interface description, as list shows it (default: the first real one)")
        ->type_name("TEXT");
    c->add_option("--report", o.reportFile,
                  "Also write the report to FILE (JSON when it ends in .json) for a bug report")
        ->type_name("FILE");
    c->add_option("--bias-safe", o.biasSafe,
                  "Count with this bias in volts, which you know is safe for the detector "
                  "(default: the bias stays off)")
        ->type_name("V");
    c->add_flag("--show-serial", o.showSerial, "Show the interface's serial number unmasked");
    c->add_flag("--json", o.json, "Print the report as JSON instead of text");
    CLI::Validator range = CLI::Range(0.05, 600.0);
    range.description(""); // the help text states it
    c->add_option("--seconds", o.countingSeconds,
                  "Length of each of the two counting phases, 0.05 to 600 (default: 2)")
        ->type_name("S")
        ->check(range);
    return c;
}

int runSelfTestCommand(const SelfTestCommandOptions& o, const CliEnvironment& environment) {
    const CliSettings settings = loadCliSettings(environment.settingsFile);
    std::ostream& err = *environment.err;
    SelfTestOptions options;
    options.device = o.device;
    options.showSerial = o.showSerial;
    options.countingSeconds = o.countingSeconds;
    options.delaySeconds = settings.app.delaySeconds;
    if (o.biasSafe) {
        try {
            const std::int32_t volts = parseInt(*o.biasSafe);
            options.biasCode =
                biasCode(volts, settings.app.biasMinVolts, settings.app.biasMaxVolts);
            options.biasVolts =
                biasVoltsInForce(volts, settings.app.biasMinVolts, settings.app.biasMaxVolts);
        } catch (const AppError& error) {
            throw UsageError(std::string("--bias-safe: ") + error.what());
        }
    }
    // Only a person at a terminal can be asked to pull the cable.
    if (::isatty(STDIN_FILENO) == 1 && environment.errIsTerminal) {
        options.prompt = [&err](const std::string& text) { err << text << '\n' << std::flush; };
        options.skipRequested = lineTyped;
    }
    if (environment.errIsTerminal)
        options.stepDone = [&err](const SelfTestStep& step) {
            err << "[" << verdictName(step.verdict) << "] " << step.title << '\n' << std::flush;
        };

    CliInterfaces interfaces(environment, settings.simulator, false);
    TQrxController controller;
    SelfTest test(controller, options);
    SelfTestReport report;
    controller.SetLogHandler([&test](const char* line) { test.note(line ? line : ""); });
    {
        ErrorBoxesToTest boxes(test);
        report = test.run();
    }
    controller.SetLogHandler({});

    const std::string text = reportText(report);
    const std::string json = reportJson(report).dump(2) + "\n";
    *environment.out << (o.json ? json : text) << std::flush;
    if (!o.reportFile.empty()) {
        const SaveResult saved =
            writeFileAtomically(o.reportFile, endsWith(o.reportFile, ".json") ? json : text);
        if (!saved) {
            err << "The report could not be written: " << saved.error << '\n';
            return exitStatus(ExitCode::OutputNotWritten);
        }
        err << "Report written to " << o.reportFile
            << ". Attach it to a bug report on the project's issue tracker.\n";
    }
    if (report.overall() == Verdict::Failed)
        return exitStatus(ExitCode::SelfTestFailed);
    return exitStatus(ExitCode::Done);
}

} // namespace tarvio
