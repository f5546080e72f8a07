#include "cli/ConvertCommand.h"

#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "cli/SpectrumInput.h"
#include "cli/SpectrumOutput.h"

#include <CLI/CLI.hpp>

namespace tarvio {

CLI::App* addConvertCommand(CLI::App& app, ConvertOptions& options) {
    CLI::App* command =
        app.add_subcommand("convert", "Convert a spectrum file; the formats follow the extensions");
    command->add_option("IN", options.input, "Spectrum file to read (.n42, .spe, .csv, .txt)")
        ->required();
    command->add_option("OUT", options.output, "Spectrum file to write (.n42, .spe, .csv, .txt)")
        ->required();
    command->add_flag("--calibrated", options.calibrated,
                      "Write the .txt file in keV instead of channels");
    command
        ->add_option("--measurement", options.measurement,
                     "Which measurement of an N42 file of several (1 for the first)")
        ->check(CLI::PositiveNumber);
    return command;
}

int runConvert(const ConvertOptions& options, const CliEnvironment& environment) {
    const SpectrumOutput output = spectrumOutput(options.output, options.calibrated);
    std::ostream& err = *environment.err;
    const MeasuredSpectrum spectrum = readSpectrumInput(options.input, err, options.measurement);
    return writeSpectrumReporting(output, spectrum, options.input, err);
}

} // namespace tarvio
