#pragma once
// tarvio2-cli analyze FILE: a saved spectrum in any format the program reads, summed up with
// its peaks; --roi FIRST:LAST the figures of regions of interest, --peaks with
// --calibrate-with, --identify and --efficiency the peak analysis (AnalyzePeaks.h).

#include "cli/AnalyzePeaks.h"
#include "cli/CliEnvironment.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarvio {

struct AnalyzeOptions {
    std::string file;
    std::optional<std::size_t> measurement; // from 1, in an N42 file of several
    std::vector<std::string> regions;
    bool fit = false;
    bool json = false;
    bool peaks = false;
    PeakRequest peak;
};

CLI::App* addAnalyzeCommand(CLI::App& app, AnalyzeOptions& options);
int runAnalyze(const AnalyzeOptions& options, const CliEnvironment& environment);

} // namespace tarvio
