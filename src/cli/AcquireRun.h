#pragma once
// One acquisition on an interface, from opening it to the written file: the window's open
// sequence (bias off, the threshold read back and sent again, the scope configured), the
// bias switched on, the window's Start, polling until a preset, a signal or a lost interface
// ends it, then the measurement stopped, the bias switched off and the spectrum written
// atomically. The bias is switched off on every way out once the interface is open.

#include "cli/AcquirePlan.h"
#include "cli/AcquireProgress.h"
#include "cli/CliEnvironment.h"
#include "cli/Console.h"
#include "formats/MeasuredSpectrum.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

class TQrxController;

class AcquireRun {
public:
    // Seconds between two looks at the measurement.
    static constexpr double PollSeconds = 0.1;
    static constexpr double StatusSeconds = 1.0;     // JSON status lines
    static constexpr double TerminalSeconds = 0.5;   // the self-updating progress line
    static constexpr double PlainLineSeconds = 10.0; // progress lines on a pipe or a file

    AcquireRun(const AcquirePlan& plan, Console& console, const CliEnvironment& environment);

    // The exit status (ExitCodes.h).
    int run();

private:
    enum class End { Signal, Preset, Lost };

    std::string chooseDevice(const std::vector<std::string>& devices);
    int measureOpened(TQrxController& controller, const std::string& device);
    End measure(TQrxController& controller);
    void take(TQrxController& controller);
    AcquireProgress progressAt(double now) const;
    std::optional<std::string> presetMet(double now) const;
    void report(const AcquireProgress& progress, double now);
    void autosave(double now);
    MeasuredSpectrum measured(double now, bool ended) const;
    int finish(End end, double now);

    const AcquirePlan& plan_;
    Console& console_;
    const CliEnvironment& environment_;

    double commandStart_ = 0.0;
    double startedAt_ = 0.0;
    std::int64_t startUtcMs_ = 0;
    double endedAt_ = 0.0;
    std::string device_;
    std::string chipIdentifiers_;
    double thresholdVolts_ = 0.0;

    PulseBuffer pulse_;
    Spectrum spectrum_;
    std::uint64_t counts_ = 0;
    std::string presetReached_; // which preset ended the measurement
    int signal_ = 0;

    double nextStatus_ = 0.0;
    double nextProgress_ = 0.0;
    double nextAutosave_ = 0.0;
    std::string autosavePath_;
    bool autosaved_ = false;
    bool autosaveFailing_ = false;
};

// The file autosaves go to: "<stem>.autosave<extension>" beside the output.
std::string autosavePathFor(const std::string& output);

} // namespace tarvio
