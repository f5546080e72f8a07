#pragma once
// tarvio2-cli replay FILE.h5 --output OUT [--from T] [--to T] [--slices D]: the spectrum
// rebuilt from a list-mode recording, over a time range, or one per slice of the range into
// an N42 file of several measurements.

#include "cli/CliEnvironment.h"

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tarvio {

struct ReplayOptions {
    std::string input;
    std::string output;
    std::string from; // lengths of time as typed: "90", "1:30", "10s", "2.5m", "1h", "250ms"
    std::string to;
    std::string slices;
    bool calibrated = false;
    // Another pulse processing of the raw samples (a recording made with them).
    std::optional<std::string> height; // largest or fit
    std::optional<std::string> reject; // saturated, pileup, shape, all, none
    std::optional<double> tolerance;
};

CLI::App* addReplayCommand(CLI::App& app, ReplayOptions& options);
int runReplay(const ReplayOptions& options, const CliEnvironment& environment);

// ns from a length of time as typed; nullopt when it is none.
std::optional<std::int64_t> parseTimeArgument(const std::string& text);

} // namespace tarvio
