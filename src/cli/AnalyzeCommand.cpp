#include "cli/AnalyzeCommand.h"

#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "cli/RegionArgument.h"
#include "cli/RegionReport.h"
#include "cli/SpectrumInput.h"
#include "cli/SpectrumSummary.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

namespace tarvio {

CLI::App* addAnalyzeCommand(CLI::App& app, AnalyzeOptions& options) {
    CLI::App* command = app.add_subcommand(
        "analyze", "Print the figures of regions of interest of a saved spectrum");
    command->add_option("FILE", options.file, "Spectrum file (.n42, .spe, .csv, .txt)")->required();
    command
        ->add_option("--roi", options.regions,
                     "Region FIRST:LAST in channels, both included; repeat for more")
        ->type_name("FIRST:LAST")
        ->required()
        ->take_all();
    command->add_flag("--fit", options.fit, "Fit a Gaussian on a straight background as well");
    command->add_flag("--json", options.json, "Print JSON instead of a table");
    return command;
}

int runAnalyze(const AnalyzeOptions& options, const CliEnvironment& environment) {
    const std::vector<Region> regions = parseRegionOptions("--roi", options.regions);
    const MeasuredSpectrum measured = readSpectrumInput(options.file, *environment.err);
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
    std::ostream& out = *environment.out;
    if (options.json) {
        nlohmann::json result = spectrumSummaryJson(measured);
        result["file"] = options.file;
        result["regions"] = regionJson(reports);
        out << result.dump() << '\n';
    } else {
        out << options.file << ": " << spectrumSummaryText(measured) << '\n'
            << regionTable(reports);
    }
    return exitStatus(ExitCode::Done);
}

} // namespace tarvio
