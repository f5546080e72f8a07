#pragma once
// tarvio2-cli convert IN OUT: a spectrum from any format the program reads into any it
// writes, the formats from the extensions, keeping counts, times and calibration.

#include "cli/CliEnvironment.h"

#include <cstddef>
#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tarvio {

struct ConvertOptions {
    std::string input;
    std::string output;
    bool calibrated = false;
    std::optional<std::size_t> measurement; // from 1, in an N42 file of several
};

CLI::App* addConvertCommand(CLI::App& app, ConvertOptions& options);
int runConvert(const ConvertOptions& options, const CliEnvironment& environment);

} // namespace tarvio
