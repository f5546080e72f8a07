#include "cli/AcquireRun.h"

#include "cli/AcquireListMode.h"
#include "cli/ExitCodes.h"
#include "cli/RegionReport.h"
#include "cli/StopSignals.h"
#include "driver/TimeSource.h"
#include "records/TextFormat.h"
#include "settings/Duration.h"

#include <nlohmann/json.hpp>

namespace tarvio {

namespace {

std::string volts(double value) {
    return formatFixed(value, value == static_cast<int>(value) ? 0 : 3) + " V";
}

// The bias goes off on every way out once the interface is open: a failed command, an
// exception, a signal or the normal end.
struct SwitchOffOnExit {
    MeasurementSession& session;
    ~SwitchOffOnExit() { session.switchOff(); }
};

} // namespace

AcquireRun::AcquireRun(const AcquirePlan& plan, double extraDeadTime, Console& console,
                       const CliEnvironment& environment)
    : plan_(plan), extraDeadTime_(extraDeadTime), console_(console), environment_(environment),
      cadence_(console, *environment.out, plan.jsonStatus) {}

int AcquireRun::run() {
    commandStart_ = timeSource().now();
    ConsoleErrorBoxes errorBoxes(console_);
    MeasurementSession session;
    session.setLogHandler([this](const std::string& line) { console_.line(line); });
    session.setEndedListener([this](const MeasurementEnd& end) {
        std::lock_guard<std::mutex> guard(endMutex_);
        end_ = end;
    });
    std::string problem;
    const std::string device = chooseInterface(session.listDevices(), plan_.device, problem);
    if (!problem.empty())
        console_.line(problem);
    // The window's open sequence, with the threshold asked for in place of the interface's.
    if (device.empty() || !session.open(device, plan_.thresholdVolts))
        return exitStatus(ExitCode::NoInterface);
    const int status = measureOpened(session, device);
    session.setLogHandler({});
    return status;
}

int AcquireRun::measureOpened(MeasurementSession& session, const std::string& device) {
    SwitchOffOnExit switchOff{session};
    if (const int signal = stopSignal()) {
        console_.line(std::string("Stopped by ") + signalName(signal) +
                      " before the measurement began; nothing was counted or written.");
        return exitStatus(ExitCode::SignalBase) + signal;
    }

    // Then the bias the operator asked for, and the window's Start with the presets.
    if (!session.setBias(plan_.biasCode, plan_.biasVolts)) {
        console_.line("The interface did not take the bias; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    session.analysis().loadTwoPoints(plan_.point1, plan_.point2);
    session.analysis().setCalibrationFromPeaks({}, CalibrationModel::Line, plan_.fromPeaks);
    session.setPresets(plan_.limits);
    session.setExtraDeadTime(extraDeadTime_);
    session.setProcessing(plan_.processing);
    if (plan_.autosaveSeconds)
        session.setAutosavePolicy(
            AutosavePolicy::toFile(autosavePathFor(plan_.output.path), plan_.autosaveSeconds));
    // Listening before the start: the first pulses may come before the news of it.
    AcquireListMode listMode(plan_.listMode, session, console_,
                             session.analysis().activeCalibration());
    if (!session.start({plan_.samples, plan_.delaySeconds})) {
        console_.line("The interface did not start the measurement; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    cadence_.begin(timeSource().now());
    console_.line("Measuring on " + device + ": bias " + volts(plan_.biasVolts) + ", threshold " +
                  volts(session.thresholdVolts()) + ", delay " +
                  formatFixed(plan_.delaySeconds * 1000.0, 0) + " ms, " +
                  std::to_string(plan_.samples) + " samples per pulse.");
    if (!plan_.processing.isPlain())
        console_.line("Pulse processing: " + processingDescription(plan_.processing) + ".");

    const auto end = measure(session);
    session.switchOff();
    listMode.finish();
    // Pulses that triggered before the stop arrive before its answer: the spectrum is final,
    // and the record's clocks stopped with it.
    record_ = session.currentRecord();
    status_.info = record_.measurement;
    return finish(session, end, progressOf(status_, timeSource().now() - commandStart_));
}

std::optional<MeasurementEnd> AcquireRun::measure(MeasurementSession& session) {
    for (;;) {
        timeSource().sleepFor(PollSeconds);
        // Only to show it: the session meets the presets and stops the interface itself.
        status_ = session.status();
        const double now = timeSource().now();
        const AcquireProgress progress = progressOf(status_, now - commandStart_);
        if (environment_.acquireTick)
            environment_.acquireTick(progress);
        if ((signal_ = stopSignal()) != 0)
            return std::nullopt;
        if (std::lock_guard<std::mutex> guard(endMutex_); end_)
            return end_;
        cadence_.report(progress, now);
    }
}

int AcquireRun::finish(MeasurementSession& session, const std::optional<MeasurementEnd>& end,
                       AcquireProgress progress) {
    std::string why = std::string("Stopped by ") + signalName(signal_);
    int status = exitStatus(ExitCode::SignalBase) + signal_;
    progress.state = "Stopped";
    if (end && end->reason == EndReason::InterfaceLost) {
        progress.state = MeasurementStateName(MeasurementState::InterfaceLost);
        why = "Interface lost";
        status = exitStatus(ExitCode::InterfaceLost);
    } else if (end) {
        progress.state = MeasurementStateName(MeasurementState::PresetReached);
        why = std::string("Preset reached (") +
              PresetKindName(end->preset.value_or(PresetKind::RealTime)) + ")";
        status = exitStatus(ExitCode::Done);
    }
    console_.endProgress();
    const MeasurementInfo& info = record_.measurement;
    console_.line(why + " after " + formatClock(info.realSeconds.value_or(0.0)) + ": " +
                  std::to_string(progress.counts) + " counts.");
    if (!info.processing.empty())
        console_.line("Rejected pulses: " + std::to_string(info.rejected.total) + " (saturated " +
                      std::to_string(info.rejected.saturated) + ", pile-up " +
                      std::to_string(info.rejected.pileUp) + ", shape " +
                      std::to_string(info.rejected.shape) + ").");

    MeasuredSpectrum spectrum = record_;
    spectrum.measurement.ended = true;
    spectrum.remarks.push_back(why + ".");
    // Without pacing the clocks measure this computer, not the simulated source: the file
    // calls the times unknown rather than state them as measured.
    const bool unpaced = plan_.simulator && plan_.simulator->fastMode;
    if (unpaced) {
        spectrum.measurement.realSeconds.reset();
        spectrum.measurement.liveSeconds.reset();
        spectrum.remarks.push_back(
            "Real and live time not measured: simulated interface without pacing (--fast).");
    }
    const SaveResult saved = writeSpectrum(plan_.output, spectrum);
    if (saved) {
        console_.line("Spectrum written to " + plan_.output.path + ".");
        session.discardAutosave();
    } else {
        console_.line(saved.error);
        if (!session.autosavePath().empty())
            console_.line("The last autosave is " + session.autosavePath() + ".");
        status = exitStatus(ExitCode::OutputNotWritten);
    }

    const auto regions =
        reportRegions(*toSpectrum(record_), plan_.regions,
                      unpaced ? std::nullopt : info.liveSeconds, record_.calibration, plan_.fit);
    if (plan_.jsonStatus) {
        nlohmann::json last = statusJson(progress);
        last["output"] = saved ? nlohmann::json(plan_.output.path) : nlohmann::json(nullptr);
        if (!plan_.regions.empty())
            last["regions"] = regionJson(regions);
        *environment_.out << last.dump() << '\n' << std::flush;
    } else if (!plan_.regions.empty()) {
        *environment_.out << regionTable(regions) << std::flush;
    }
    return status;
}

} // namespace tarvio
