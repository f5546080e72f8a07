#pragma once
// tarvio2-cli analyze FILE --roi FIRST:LAST ...: the figures of regions of interest of a
// saved spectrum, in any format the program reads.

#include "cli/CliEnvironment.h"

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarvio {

struct AnalyzeOptions {
    std::string file;
    std::vector<std::string> regions;
    bool fit = false;
    bool json = false;
};

CLI::App* addAnalyzeCommand(CLI::App& app, AnalyzeOptions& options);
int runAnalyze(const AnalyzeOptions& options, const CliEnvironment& environment);

} // namespace tarvio
