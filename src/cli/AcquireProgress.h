#pragma once
// Where a running acquisition stands, as the progress line on stderr and the JSON status
// lines on stdout show it.

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <string>

namespace tarvio {

struct AcquireProgress {
    double elapsed = 0.0; // seconds since the command started, opening included
    std::optional<double> realSeconds;
    std::optional<double> liveSeconds;
    std::uint64_t counts = 0;
    std::optional<double> acceptedRate;   // counts per second of real time
    std::optional<double> acceptedNow;    // the same over the last few seconds
    std::optional<double> inputRate;      // estimated pulses per second reaching the interface
    std::string state;                    // "Measuring", "Preset reached", "Interface lost", ...
    std::optional<double> presetFraction; // 0..1 of the preset nearest to its end
    std::optional<double> secondsLeft;    // until that preset, at the present pace
};

// "0:01:23  12345 counts  148.2/s accepted  150.1/s input  45% done, 0:01:40 left".
std::string progressText(const AcquireProgress& progress);

// {"elapsed", "real", "live", "counts", "rates": {"accepted", "accepted_now", "input"}, "state",
//  "preset_fraction", "seconds_left"}; unknown values are null.
nlohmann::json statusJson(const AcquireProgress& progress);

// "1:02:03", and "2d 1:02:03" beyond a day; whole seconds, rounded down.
std::string clockText(double seconds);

} // namespace tarvio
