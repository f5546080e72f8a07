#pragma once
// One acquisition on an interface, from opening it to the written file, driven through the
// measurement session: the window's open sequence, the bias switched on, the window's Start
// with the presets, progress until a preset, a signal or a lost interface ends it, then the
// measurement stopped, the bias switched off and the spectrum written atomically. The bias is
// switched off on every way out once the interface is open.

#include "cli/AcquirePlan.h"
#include "cli/AcquireProgress.h"
#include "cli/CliEnvironment.h"
#include "cli/Console.h"
#include "formats/MeasuredSpectrum.h"
#include "session/MeasurementSession.h"
#include "spectrometer/MeasurementRecord.h"

#include <mutex>
#include <optional>
#include <string>

namespace tarvio {

class AcquireRun {
public:
    // Seconds between two looks at the measurement.
    static constexpr double PollSeconds = 0.1;

    // extraDeadTime: seconds per pulse beyond the hold-off model, as settings.ini gives it.
    AcquireRun(const AcquirePlan& plan, double extraDeadTime, Console& console,
               const CliEnvironment& environment);

    // The exit status (ExitCodes.h).
    int run();

private:
    int measureOpened(MeasurementSession& session, const std::string& device);
    // How the measurement ended; nullopt: a stop signal.
    std::optional<MeasurementEnd> measure(MeasurementSession& session);
    int finish(MeasurementSession& session, const std::optional<MeasurementEnd>& end,
               AcquireProgress progress);

    const AcquirePlan& plan_;
    double extraDeadTime_;
    Console& console_;
    const CliEnvironment& environment_;
    ProgressCadence cadence_;

    double commandStart_ = 0.0;
    MeasurementStatus status_; // the last look
    MeasuredSpectrum record_;  // what the measurement left
    int signal_ = 0;

    std::mutex endMutex_;
    std::optional<MeasurementEnd> end_; // as the session told it
};

} // namespace tarvio
