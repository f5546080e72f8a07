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
#include "records/Measurement.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"
#include "spectrometer/MeasurementRecord.h"

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

    // extraDeadTime: seconds per pulse beyond the hold-off model, as settings.ini gives it.
    AcquireRun(const AcquirePlan& plan, double extraDeadTime, Console& console,
               const CliEnvironment& environment);

    // The exit status (ExitCodes.h).
    int run();

private:
    enum class End { Signal, Preset, Lost };

    std::string chooseDevice(const std::vector<std::string>& devices);
    int measureOpened(TQrxController& controller, const std::string& device);
    End measure(TQrxController& controller);
    void take(TQrxController& controller);
    AcquireProgress progressOf(const MeasurementStatus& status, double now) const;
    void report(const AcquireProgress& progress, double now);
    void autosave(double now);
    MeasuredSpectrum measured(bool ended) const;
    int finish(End end, AcquireProgress progress);

    const AcquirePlan& plan_;
    double extraDeadTime_;
    Console& console_;
    const CliEnvironment& environment_;

    double commandStart_ = 0.0;
    double thresholdVolts_ = 0.0;

    // The last copies of the controller's records, taken together under its data lock.
    PulseBuffer pulse_;
    Spectrum spectrum_;
    MeasurementInfo info_;
    MeasurementStatus status_;
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
