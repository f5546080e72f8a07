#pragma once
// tarvio2-cli acquire: one measurement from start to file. The options as typed, their
// checks against settings.ini, and the run (AcquireRun.h).

#include "cli/AcquirePlan.h"
#include "cli/CliEnvironment.h"
#include "cli/CliSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarvio {

struct AcquireOptions {
    std::string device;
    std::optional<std::string> simulate; // present, perhaps empty, with --simulate
    std::optional<double> activity;
    std::optional<std::uint64_t> seed;
    bool fast = false;

    std::optional<std::string> bias; // read as the window reads its edit box
    std::optional<double> threshold;
    std::optional<double> delayMilliseconds;
    std::optional<int> samples;

    std::optional<double> realTime;
    std::optional<double> liveTime;
    std::optional<std::uint64_t> counts;
    std::optional<std::string> regionCounts;

    std::string output;
    bool calibrated = false;
    std::optional<double> autosaveMinutes;
    std::vector<std::string> regions;
    bool fit = false;
    std::string status = "text";

    std::optional<std::string> height; // largest or fit
    std::optional<std::string> reject; // saturated, pileup, shape, all, none
    std::optional<double> tolerance;
    std::string listMode;
    bool samplesToo = false;
};

CLI::App* addAcquireCommand(CLI::App& app, AcquireOptions& options);

// Throws UsageError when the options ask for something impossible. `notes` receives what the
// operator should know (times that mean little).
AcquirePlan planAcquisition(const AcquireOptions& options, const CliSettings& settings,
                            std::vector<std::string>& notes);

int runAcquire(const AcquireOptions& options, const CliEnvironment& environment);

} // namespace tarvio
