#include "cli/AcquireCommand.h"

#include "analysis/SourceRemark.h"
#include "autosave/AutosaveStore.h"
#include "cli/AcquireRun.h"
#include "cli/CliInterfaces.h"
#include "cli/CommandErrors.h"
#include "cli/Console.h"
#include "cli/ExitCodes.h"
#include "cli/NumberChecks.h"
#include "cli/StopSignals.h"
#include "records/AtomicFile.h"
#include "records/PulseBuffer.h"
#include "settings/AppError.h"
#include "settings/BiasConversion.h"
#include "settings/Duration.h"
#include "settings/NumberFormat.h"
#include "sim/SourcePhysics.h"
#include "spectrometer/QrxController.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvio {

namespace {

// Why a file cannot be written there, or empty; asked before measuring, so that a run of a
// week does not end in a folder that does not exist.
std::string whyNotWritable(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty())
        folder = ".";
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0)
        return folder.string() + ": " + std::strerror(errno);
    if (!S_ISDIR(info.st_mode))
        return folder.string() + ": not a folder";
    if (::access(folder.c_str(), W_OK) != 0)
        return folder.string() + ": " + std::strerror(errno);
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        return path + ": a folder";
    // The same reasons the write itself would give at the end.
    if (const std::string why = whyNotReplaceable(path); !why.empty())
        return why;
    return {};
}

// A check whose range the option's help text already states.
CLI::Validator quiet(CLI::Validator validator) {
    validator.description("");
    return validator;
}

// A time above zero in the forms the presets dialog takes: seconds, m:ss or h:mm:ss. The
// text becomes the plain seconds the option then reads.
CLI::Validator duration() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const std::optional<double> seconds = tryParseDuration(text);
            if (!seconds || !std::isfinite(*seconds) || !(*seconds > 0.0))
                return "'" + text + "' is not a time above 0 (seconds, m:ss or h:mm:ss)";
            char digits[32];
            const auto written = std::to_chars(digits, digits + sizeof digits, *seconds);
            text.assign(digits, written.ptr);
            return {};
        },
        "");
}

} // namespace

CLI::App* addAcquireCommand(CLI::App& app, AcquireOptions& o) {
    CLI::App* c = app.add_subcommand("acquire", "Measure one spectrum from start to file");
    c->option_defaults()->always_capture_default(false);
    const auto group = [c](CLI::Option* option, const char* name) { return option->group(name); };

    const char* interface = "Interface";
    auto* device = group(c->add_option("--device", o.device,
                                       "Interface description, as list shows it "
                                       "(default: the first listed)")
                             ->type_name("TEXT"),
                         interface);
    auto* simulate =
        group(c->add_option("--simulate", o.simulate,
                            "Use the simulated interface with a source: Am-241 (default), "
                            "Co-57 or Cs-137")
                  ->expected(0, 1)
                  ->type_name("[SOURCE]"),
              interface);
    simulate->excludes(device);
    group(c->add_option("--activity", o.activity, "Simulated source: decays per second")
              ->type_name("N")
              ->check(finiteNumber())
              ->check(quiet(CLI::Range(1.0, SimulatorConfig::MaxActivity)))
              ->needs(simulate),
          interface);
    group(c->add_option("--seed", o.seed, "Simulated source: seed of its random numbers")
              ->type_name("N")
              ->check(wholeNumber())
              ->needs(simulate),
          interface);
    group(c->add_flag("--fast", o.fast,
                      "Simulated interface without pacing: the next pulse as soon as the "
                      "last one is read")
              ->needs(simulate),
          interface);

    const char* point = "Operating point (defaults from settings.ini)";
    group(
        c->add_option("--bias", o.bias, "Bias in volts, within BiasMin..BiasMax (default: BiasMin)")
            ->type_name("V"),
        point);
    group(c->add_option("--threshold", o.threshold,
                        "Threshold in volts, 0 to 2.5 (default: the interface's own)")
              ->type_name("V")
              ->check(finiteNumber())
              ->check(quiet(CLI::Range(0.0, 2.5))),
          point);
    group(c->add_option("--delay", o.delayMilliseconds,
                        "Interval of the measurement in milliseconds (default: Delay)")
              ->type_name("MS")
              ->check(finiteNumber())
              ->check(quiet(CLI::Range(0.0, 1.0e7))),
          point);
    group(c->add_option("--samples", o.samples, "Samples per pulse, 1 to 450 (default: 450)")
              ->type_name("N")
              ->check(quiet(CLI::Range(1, static_cast<int>(MaxPulseSamples)))),
          point);

    const char* presets = "Presets (without any: until interrupted)";
    group(c->add_option("--real-time", o.realTime,
                        "Stop after this much real time: seconds or h:mm:ss")
              ->type_name("TIME")
              ->transform(duration()),
          presets);
    group(c->add_option("--live-time", o.liveTime,
                        "Stop after this much live time: seconds or h:mm:ss")
              ->type_name("TIME")
              ->transform(duration()),
          presets);
    group(c->add_option("--counts", o.counts, "Stop at this many counts in the spectrum")
              ->type_name("N")
              ->check(finiteAboveZero())
              ->check(wholeNumber()),
          presets);
    group(c->add_option("--roi-counts", o.regionCounts,
                        "Stop at N net counts in the region FIRST:LAST")
              ->type_name("FIRST:LAST:N"),
          presets);

    const char* output = "Output";
    group(c->add_option("--output", o.output,
                        "Spectrum file; the format follows the extension: .n42, .spe, .csv, "
                        ".txt")
              ->type_name("FILE")
              ->required(),
          output);
    group(c->add_flag("--calibrated", o.calibrated,
                      "Write the .txt file in keV, with the calibration of settings.ini"),
          output);
    group(c->add_option("--autosave", o.autosaveMinutes,
                        "Save the spectrum so far beside the output every MIN minutes")
              ->type_name("MIN")
              ->check(finiteAboveZero()),
          output);
    group(
        c->add_option("--roi", o.regions, "Region FIRST:LAST to report at the end; repeat for more")
            ->type_name("FIRST:LAST")
            ->take_all(),
        output);
    group(c->add_flag("--fit", o.fit, "Fit a Gaussian to each --roi as well"), output);
    group(c->add_option("--status", o.status,
                        "json: one JSON status object a second on stdout, instead of the "
                        "progress on stderr")
              ->type_name("json")
              ->check(quiet(CLI::IsMember({"text", "json"}))),
          output);

    const char* processing = "Pulse processing (default: [Processing] of settings.ini)";
    group(c->add_option("--height", o.height,
                        "How a pulse's height is taken: largest (the largest sample) or fit "
                        "(a least-squares fit of the pulse template)")
              ->type_name("largest|fit"),
          processing);
    group(c->add_option("--reject", o.reject,
                        "Pulses kept out of the spectrum (counted, and in the dead time): "
                        "saturated, pileup, shape, all or none, separated by commas")
              ->type_name("LIST"),
          processing);
    group(c->add_option("--tolerance", o.tolerance,
                        "How far a pulse may stray from the template before pileup or shape "
                        "rejects it, in standard deviations of the noise (default 5)")
              ->type_name("SIGMA")
              ->check(quiet(
                  CLI::Range(ProcessingOptions::MinTolerance, ProcessingOptions::MaxTolerance))),
          processing);
    auto* listMode = group(c->add_option("--list-mode", o.listMode,
                                         "Record every pulse into this HDF5 file as well "
                                         "(replay rebuilds spectra from it)")
                               ->type_name("FILE.h5"),
                           output);
    group(c->add_flag("--samples-too", o.samplesToo,
                      "With --list-mode: keep each pulse's raw samples too")
              ->needs(listMode),
          output);
    return c;
}

AcquirePlan planAcquisition(const AcquireOptions& o, const CliSettings& settings,
                            std::vector<std::string>& notes) {
    AcquirePlan plan;
    plan.device = o.device;
    if (o.simulate) {
        SimulatorConfig simulator = settings.simulator;
        simulator.enabled = true;
        if (!o.simulate->empty() && !parseSimSource(*o.simulate, simulator.source))
            throw UsageError("--simulate: '" + *o.simulate +
                             "' is not a source; use Am-241, Co-57 or Cs-137");
        simulator.activity = o.activity.value_or(simulator.activity);
        simulator.seed = o.seed.value_or(simulator.seed);
        simulator.fastMode = o.fast;
        plan.simulator = sanitized(simulator);
        if (o.fast)
            notes.push_back("--fast: the simulated interface runs without pacing, so the real "
                            "and live times measure this computer, not the simulated source.");
    }

    // The bias as the window converts the text of its edit box.
    const std::int32_t low = std::min(settings.app.biasMinVolts, settings.app.biasMaxVolts);
    const std::int32_t high = std::max(settings.app.biasMinVolts, settings.app.biasMaxVolts);
    std::int32_t volts = settings.app.biasMinVolts;
    try {
        if (o.bias)
            volts = parseInt(*o.bias);
        plan.biasCode = biasCode(volts, settings.app.biasMinVolts, settings.app.biasMaxVolts);
    } catch (const AppError& error) {
        throw UsageError(std::string("--bias: ") + error.what() +
                         (o.bias ? "" : " (BiasMin and BiasMax of " + settings.file + ")"));
    }
    // The window holds a voltage to the limits; at a terminal a typo must not apply the
    // highest bias, so the command line refuses it.
    if (volts < low || volts > high)
        throw UsageError("--bias: " + std::to_string(volts) + " V lies outside " +
                         std::to_string(low) + " to " + std::to_string(high) +
                         " V (BiasMin and BiasMax of " + settings.file + ")");
    plan.biasVolts = volts;

    plan.thresholdVolts = o.threshold;
    plan.delaySeconds =
        o.delayMilliseconds ? *o.delayMilliseconds / 1000.0 : settings.app.delaySeconds;
    if (!(plan.delaySeconds >= 0.0) || !std::isfinite(plan.delaySeconds))
        throw UsageError("the measurement delay of " + settings.file +
                         " is not a number of zero or more; give --delay");
    plan.samples = static_cast<std::uint16_t>(o.samples.value_or(DefaultSampleCount));

    plan.limits.realSeconds = o.realTime;
    plan.limits.liveSeconds = o.liveTime;
    plan.limits.counts = o.counts;
    if (o.regionCounts) {
        std::string error;
        plan.limits.region = parseRegionCountPreset(*o.regionCounts, error);
        if (!plan.limits.region)
            throw UsageError("--roi-counts " + error);
    }

    plan.output = spectrumOutput(o.output, o.calibrated);
    if (plan.simulator) // the truth an activity found from the file can be checked against
        plan.output.remarks.push_back(
            sourceRemark(simSourceName(plan.simulator->source),
                         SourceModel(plan.simulator->source).activityBq(plan.simulator->activity)));
    plan.point1 = settings.point1;
    plan.point2 = settings.point2;
    plan.fromPeaks = settings.fromPeaks;
    plan.calibration = settings.calibration();
    if (o.calibrated && !plan.calibration)
        throw UsageError(
            "--calibrated: " + settings.file +
            " holds no energy calibration (two points at least a channel and a keV apart)");
    if (o.autosaveMinutes)
        plan.autosaveSeconds = *o.autosaveMinutes * 60.0;
    plan.regions = parseRegionOptions("--roi", o.regions);
    plan.fit = o.fit;
    plan.jsonStatus = o.status == "json";

    plan.processing = settings.processing.options;
    if (o.height && !parseHeightMethod(*o.height, plan.processing.method))
        throw UsageError("--height: '" + *o.height + "' is not a method; use largest or fit");
    if (o.reject && !parseRejections(*o.reject, plan.processing))
        throw UsageError("--reject: '" + *o.reject +
                         "' names no rejection; use saturated, pileup, shape, all or none");
    if (o.tolerance)
        plan.processing.tolerance = *o.tolerance;
    plan.listMode = {o.listMode, o.samplesToo};
    if (!o.listMode.empty() &&
        std::filesystem::absolute(o.listMode) == std::filesystem::absolute(plan.output.path))
        throw UsageError("--list-mode: the recording and the spectrum need files of their own");
    return plan;
}

int runAcquire(const AcquireOptions& options, const CliEnvironment& environment) {
    const CliSettings settings = loadCliSettings(environment.settingsFile);
    std::vector<std::string> notes;
    AcquirePlan plan = planAcquisition(options, settings, notes);

    Console console(*environment.err, environment.errIsTerminal);
    for (const std::string& note : notes)
        console.line(note);
    if (const std::string why = whyNotWritable(plan.output.path); !why.empty()) {
        console.line("The spectrum cannot be written to " + plan.output.path + ": " + why);
        return exitStatus(ExitCode::OutputNotWritten);
    }
    if (!plan.listMode.path.empty()) {
        if (const std::string why = whyNotWritable(plan.listMode.path); !why.empty()) {
            console.line("The list-mode recording cannot be written to " + plan.listMode.path +
                         ": " + why);
            return exitStatus(ExitCode::OutputNotWritten);
        }
    }

    // A crash left a measurement behind: the window offers it back; a command only says so.
    if (const auto unfinished = AutosaveStore(AutosaveStore::defaultFolder()).newestUnfinished())
        console.line("A measurement did not end properly; its last autosave is " +
                     unfinished->path + ". The window offers to restore it.");

    clearStopRequest();
    std::optional<StopSignals> signals;
    if (environment.handleSignals)
        signals.emplace();
    CliInterfaces interfaces(environment, plan.simulator.value_or(settings.simulator),
                             plan.simulator.has_value());
    if (plan.simulator)
        plan.device = interfaces.simulatedDescription();
    AcquireRun run(plan, settings.extraDeadTimeSeconds, console, environment);
    return run.run();
}

} // namespace tarvio
