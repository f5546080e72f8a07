#pragma once
// tarvio2-cli convert IN OUT: a spectrum from any format the program reads into any it
// writes, the formats from the extensions, keeping counts, times and calibration.

#include "cli/CliEnvironment.h"

#include <string>

namespace CLI {
class App;
}

namespace tarvio {

struct ConvertOptions {
    std::string input;
    std::string output;
    bool calibrated = false;
};

CLI::App* addConvertCommand(CLI::App& app, ConvertOptions& options);
int runConvert(const ConvertOptions& options, const CliEnvironment& environment);

} // namespace tarvio
