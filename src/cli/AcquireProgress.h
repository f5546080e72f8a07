#pragma once
// Where a running acquisition stands, as the progress line on stderr and the JSON status
// lines on stdout show it.

#include "spectrometer/MeasurementRecord.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <optional>
#include <ostream>
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

class Console;

// When progress goes out: a JSON status line a second on `out`, or the progress line on the
// console (twice a second on a terminal, every ten seconds on a pipe or a file).
class ProgressCadence {
public:
    static constexpr double StatusSeconds = 1.0;
    static constexpr double TerminalSeconds = 0.5;
    static constexpr double PlainLineSeconds = 10.0;

    ProgressCadence(Console& console, std::ostream& out, bool json)
        : console_(console), out_(out), json_(json) {}
    // The measurement started at `now`.
    void begin(double now);
    // Shows `progress` when its time has come.
    void report(const AcquireProgress& progress, double now);

private:
    Console& console_;
    std::ostream& out_;
    bool json_;
    double nextStatus_ = 0.0;
    double nextProgress_ = 0.0;
};

// The progress of a measurement `elapsed` seconds after the command started.
AcquireProgress progressOf(const MeasurementStatus& status, double elapsed);

// "00:01:23  12345 counts  148.2/s accepted  150.1/s input  45% done, 0:01:40 left".
std::string progressText(const AcquireProgress& progress);

// {"elapsed", "real", "live", "counts", "rates": {"accepted", "accepted_now", "input"}, "state",
//  "preset_fraction", "seconds_left"}; unknown values are null.
nlohmann::json statusJson(const AcquireProgress& progress);

} // namespace tarvio
