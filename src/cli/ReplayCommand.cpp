#include "cli/ReplayCommand.h"

#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "cli/SpectrumOutput.h"
#include "formats/N42Format.h"
#include "listmode/ListFileReader.h"
#include "listmode/Replay.h"
#include "processing/ProcessingOptions.h"
#include "records/AtomicFile.h"
#include "records/PulseEvent.h"
#include "settings/Duration.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace tarvio {

namespace {

std::string secondsText(std::int64_t ns) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", static_cast<double>(ns) * 1e-9);
    return text;
}

std::int64_t timeOption(const std::string& text, const char* option) {
    const auto ns = parseTimeArgument(text);
    if (!ns)
        throw UsageError(std::string(option) + " '" + text +
                         "' is not a length of time (90, 1:30, 10s, 2.5m, 1h, 250ms)");
    return *ns;
}

MeasuredSpectrum toMeasured(const ReplayedSpectrum& replayed, const ListFileInfo& info,
                            const std::string& input, const std::string& what) {
    MeasuredSpectrum spectrum;
    spectrum.counts = replayed.counts;
    spectrum.measurement = replayed.measurement;
    spectrum.calibration = info.calibration;
    spectrum.title = what;
    spectrum.remarks.push_back("Replayed from the list-mode recording " + input + ", " +
                               secondsText(replayed.range.fromNs) + " to " +
                               secondsText(replayed.range.toNs) + " after its start");
    if (info.droppedEvents > 0)
        spectrum.remarks.push_back("The recording lost " + std::to_string(info.droppedEvents) +
                                   " pulses its writer could not keep up with");
    return spectrum;
}

} // namespace

std::optional<std::int64_t> parseTimeArgument(const std::string& text) {
    struct Unit {
        const char* suffix;
        double ns;
    };
    constexpr Unit Units[] = {{"ms", 1e6}, {"us", 1e3},   {"ns", 1.0},  {"s", 1e9},
                              {"m", 60e9}, {"min", 60e9}, {"h", 3600e9}};
    for (const Unit& unit : Units) {
        const std::string suffix = unit.suffix;
        if (text.size() > suffix.size() &&
            text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
            const std::string number = text.substr(0, text.size() - suffix.size());
            if (number.find(':') != std::string::npos)
                return std::nullopt;
            const auto value = tryParseDuration(number);
            if (!value || !std::isfinite(*value * unit.ns) || *value * unit.ns > 9.2e18)
                return std::nullopt;
            return static_cast<std::int64_t>(std::llround(*value * unit.ns));
        }
    }
    const auto seconds = tryParseDuration(text);
    if (!seconds || *seconds * 1e9 > 9.2e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*seconds * 1e9));
}

CLI::App* addReplayCommand(CLI::App& app, ReplayOptions& options) {
    CLI::App* command = app.add_subcommand(
        "replay", "Rebuild the spectrum from a list-mode recording (.h5), over a time range or "
                  "in slices");
    command->add_option("FILE", options.input, "List-mode recording to read")->required();
    command
        ->add_option("--output,-o", options.output,
                     "Spectrum file to write (.n42, .spe, .csv, .txt; .n42 for --slices)")
        ->required();
    command->add_option("--from", options.from,
                        "Start of the time range after the measurement's start (90, 1:30, 10s, "
                        "2.5m, 1h, 250ms; default: 0)");
    command->add_option("--to", options.to,
                        "End of the time range, not included (default: the recording's end)");
    command->add_option("--slices", options.slices,
                        "One spectrum per interval of this length, all in one N42 file");
    command->add_flag("--calibrated", options.calibrated,
                      "Write the .txt file in keV instead of channels");
    const char* processing = "Another pulse processing (recordings made with --samples-too)";
    command
        ->add_option("--height", options.height,
                     "Take each pulse's height again from its samples: largest or fit")
        ->type_name("largest|fit")
        ->group(processing);
    command
        ->add_option("--reject", options.reject,
                     "With --height: pulses kept out (saturated, pileup, shape, all or none)")
        ->type_name("LIST")
        ->group(processing);
    command
        ->add_option("--tolerance", options.tolerance,
                     "With --height: how far a pulse may stray, in noise sigmas (default 5)")
        ->type_name("SIGMA")
        ->check(CLI::Range(ProcessingOptions::MinTolerance, ProcessingOptions::MaxTolerance))
        ->group(processing);
    return command;
}

int runReplay(const ReplayOptions& options, const CliEnvironment& environment) {
    std::ostream& err = *environment.err;
    const SpectrumOutput output = spectrumOutput(options.output, options.calibrated);
    TimeRange range;
    if (!options.from.empty())
        range.fromNs = timeOption(options.from, "--from");
    if (!options.to.empty())
        range.toNs = timeOption(options.to, "--to");
    if (range.toNs <= range.fromNs)
        throw UsageError("--to must come after --from");
    std::optional<std::int64_t> slice;
    if (!options.slices.empty()) {
        slice = timeOption(options.slices, "--slices");
        if (*slice <= 0)
            throw UsageError("--slices must be longer than 0");
        if (output.format != FileFormat::N42)
            throw UsageError("--slices writes one N42 file of several measurements; give "
                             "--output a .n42 name");
    }

    std::optional<ProcessingOptions> processing;
    if (options.height) {
        processing.emplace();
        if (!parseHeightMethod(*options.height, processing->method))
            throw UsageError("--height: '" + *options.height +
                             "' is not a method; use largest or fit");
        if (options.reject && !parseRejections(*options.reject, *processing))
            throw UsageError("--reject: '" + *options.reject +
                             "' names no rejection; use saturated, pileup, shape, all or none");
        if (options.tolerance)
            processing->tolerance = *options.tolerance;
    } else if (options.reject || options.tolerance) {
        throw UsageError("--reject and --tolerance go with --height");
    }

    std::optional<ListFileReader> reader;
    try {
        reader.emplace(options.input);
    } catch (const ListFileError& error) {
        throw CommandFailure(ExitCode::InputUnreadable, error.what());
    }
    const ListFileInfo& info = reader->info();
    if (processing && info.sampleWidth == 0)
        throw UsageError("--height: " + options.input +
                         " holds no raw samples (record with --samples-too to process again)");
    // Every pulse again through the chosen processing: its height, its rejection; whether it
    // came after a preset stays as recorded.
    const std::unique_ptr<PulseProcessor> processor =
        processing ? makePulseProcessor(*processing) : nullptr;
    ReprocessEvent reprocess;
    if (processing)
        reprocess = [&](std::uint64_t event, double& height, std::uint32_t& flags) {
            const std::vector<std::uint16_t> samples = reader->samples(event);
            PulseEvent pulse;
            pulse.samples = samples.data();
            pulse.sampleCount = static_cast<std::uint32_t>(samples.size());
            pulse.height =
                samples.empty() ? 0.0 : *std::max_element(samples.begin(), samples.end());
            pulse.flags = flags & ~PulseRejectionMask;
            if (processor && !samples.empty())
                processor->process(pulse);
            height = pulse.height;
            flags = pulse.flags;
        };
    const auto described = [&](MeasuredSpectrum spectrum) {
        if (processing) {
            spectrum.measurement.processing = processingDescription(*processing);
            spectrum.remarks.push_back("Pulse heights taken again from the recorded samples");
        }
        return spectrum;
    };
    if (info.openedWhileWriting)
        err << options.input
            << ": still marked open for writing (its recording was killed or "
               "still runs): read up to its last flush, "
            << info.events << " pulses\n";
    else if (!info.finished)
        err << options.input << ": the recording did not note its end; read " << info.events
            << " pulses\n";
    if (!info.stopReason.empty())
        err << options.input << ": the recording stopped early: " << info.stopReason << '\n';

    try {
        if (!slice) {
            const ReplayedSpectrum replayed = replaySpectrum(*reader, range, reprocess);
            const MeasuredSpectrum spectrum =
                described(toMeasured(replayed, info, options.input, "List-mode replay"));
            return writeSpectrumReporting(output, spectrum, options.input, err);
        }
        const std::vector<ReplayedSpectrum> slices =
            replaySlices(*reader, range, *slice, reprocess);
        std::vector<MeasuredSpectrum> measurements;
        for (std::size_t i = 0; i < slices.size(); ++i)
            measurements.push_back(described(toMeasured(slices[i], info, options.input,
                                                        "Slice " + std::to_string(i + 1) + " of " +
                                                            std::to_string(slices.size()))));
        if (const SaveResult saved =
                writeFileAtomically(options.output, writeN42Measurements(measurements));
            !saved) {
            err << saved.error << '\n';
            return exitStatus(ExitCode::OutputNotWritten);
        }
    } catch (const ListFileError& error) {
        throw CommandFailure(ExitCode::InputUnreadable, error.what());
    }
    return exitStatus(ExitCode::Done);
}

} // namespace tarvio
