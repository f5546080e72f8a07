#include "cli/AnalyzeCommand.h"

#include "cli/CliSettings.h"
#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "cli/PeakReport.h"
#include "cli/RegionArgument.h"
#include "cli/RegionReport.h"
#include "cli/SpectrumInput.h"
#include "cli/SpectrumSummary.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <filesystem>

namespace tarvio {

namespace {

// The user's own lines: nuclides.csv beside the settings.ini the commands read.
std::string userNuclideFile(const CliEnvironment& environment) {
    const std::string settings = loadCliSettings(environment.settingsFile).file;
    if (settings.empty())
        return {};
    return (std::filesystem::path(settings).parent_path() / "nuclides.csv").string();
}

} // namespace

CLI::App* addAnalyzeCommand(CLI::App& app, AnalyzeOptions& options) {
    CLI::App* command = app.add_subcommand(
        "analyze", "Sum up a saved spectrum with its peaks, regions of interest and nuclides");
    command->add_option("FILE", options.file, "Spectrum file (.n42, .spe, .csv, .txt)")->required();
    command
        ->add_option("--measurement", options.measurement,
                     "Which measurement of an N42 file of several (1 for the first)")
        ->check(CLI::PositiveNumber);
    command
        ->add_option("--roi", options.regions,
                     "Region FIRST:LAST in channels, both included; repeat for more")
        ->type_name("FIRST:LAST")
        ->take_all();
    command->add_flag("--fit", options.fit, "Fit a Gaussian on a straight background as well");
    command->add_flag("--json", options.json, "Print JSON instead of a table");
    command->add_flag("--peaks", options.peaks,
                      "Find and fit the peaks (the default without --roi)");
    command
        ->add_option("--sigma", options.peak.sigma,
                     "Peaks need a net area this many standard deviations above zero")
        ->type_name("N")
        ->default_str("3")
        ->check(CLI::Range(0.5, 100.0));
    command->add_flag("--identify", options.peak.identify,
                      "Name the nuclides that explain the peaks, with their evidence");
    command
        ->add_option("--calibrate-with", options.peak.calibrateWith,
                     "Calibrate the energy axis with a known source's lines, found by their "
                     "pattern (Am-241, Co-57, Cs-137, or any nuclide of the library)")
        ->type_name("NUCLIDE");
    command
        ->add_option("--efficiency", options.peak.efficiencyFile,
                     "Spectrum of a source of known activity: efficiency per line and curve, "
                     "then the activities in Bq")
        ->type_name("FILE");
    command
        ->add_option("--efficiency-source", options.peak.efficiencySource,
                     "The source of --efficiency FILE, when the file does not say (its "
                     "activity at the start of that measurement, or at DATE)")
        ->type_name("NUCLIDE:BQ[@DATE]");
    command
        ->add_option("--activity-date", options.peak.activityDate,
                     "Activities decay-corrected to this date (default: the start of FILE)")
        ->type_name("DATE");
    return command;
}

int runAnalyze(const AnalyzeOptions& options, const CliEnvironment& environment) {
    const std::vector<Region> regions = parseRegionOptions("--roi", options.regions);
    const MeasuredSpectrum measured = readSpectrumInput(options.file, *environment.err, options.measurement);
    const auto spectrum = toSpectrum(measured);
    if (!spectrum)
        throw CommandFailure(ExitCode::InputUnreadable,
                             options.file + ": " + std::to_string(measured.counts.size()) +
                                 " channels or counts beyond 32 bits; the analysis takes at most " +
                                 std::to_string(SpectrumChannels) + " channels of 32-bit counts");
    for (const Region& region : regions)
        if (region.last >= measured.counts.size())
            throw UsageError("--roi " + regionText(region) + " lies beyond the " +
                             std::to_string(measured.counts.size()) + " channels of " +
                             options.file);

    const auto reports = reportRegions(*spectrum, regions, measured.measurement.liveSeconds,
                                       measured.calibration, options.fit);
    // Without regions the summary shows the peaks; anything that builds on them asks too.
    const PeakRequest& p = options.peak;
    const bool peaks =
        options.peaks || regions.empty() || p.identify || p.calibrateWith || p.efficiencyFile;
    std::optional<PeakRun> peakRun;
    NuclideLibrary library; // the peak run's nuclides point into it
    if (peaks) {
        std::vector<std::string> libraryErrors;
        library = loadNuclideLibrary(userNuclideFile(environment), libraryErrors);
        for (const std::string& error : libraryErrors)
            *environment.err << error << '\n';
        peakRun = runPeaks(measured, p, library, *environment.err);
    }

    std::ostream& out = *environment.out;
    if (options.json) {
        nlohmann::json result = spectrumSummaryJson(measured);
        result["file"] = options.file;
        if (!regions.empty())
            result["regions"] = regionJson(reports);
        if (peakRun)
            result.update(peakRunJson(*peakRun));
        out << result.dump() << '\n';
    } else {
        out << options.file << ": " << spectrumSummaryText(measured) << '\n';
        if (!regions.empty())
            out << regionTable(reports);
        if (peakRun)
            out << peakRunText(*peakRun);
    }
    return exitStatus(ExitCode::Done);
}

} // namespace tarvio
