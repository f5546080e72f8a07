#include "cli/AcquireRun.h"

#include "cli/ExitCodes.h"
#include "cli/RegionReport.h"
#include "cli/StopSignals.h"
#include "driver/TimeSource.h"
#include "link/Report.h"
#include "records/TextFormat.h"
#include "spectrometer/MeasurementState.h"
#include "spectrometer/Presets.h"
#include "spectrometer/QrxController.h"

#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>

namespace tarvio {

namespace {

const char* signalName(int signal) {
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "a signal";
    }
}

// Stops the measurement and switches the bias off on every way out, once the interface is
// open: a failed command, an exception, a signal or the normal end.
class InterfaceShutdown {
public:
    explicit InterfaceShutdown(TQrxController& controller) : controller_(controller) {}
    ~InterfaceShutdown() { finish(); }
    InterfaceShutdown(const InterfaceShutdown&) = delete;
    InterfaceShutdown& operator=(const InterfaceShutdown&) = delete;

    void measuring() { measuring_ = true; }
    void finish() noexcept {
        if (done_)
            return;
        done_ = true;
        // A lost interface takes no commands: nothing sent now could reach it.
        if (controller_.interfaceLost())
            return;
        try {
            if (measuring_)
                controller_.StopMeasurement();
            controller_.SetBias(0);
        } catch (...) {
            // Nothing more can be done for the interface here; the failure has been logged.
        }
    }

private:
    TQrxController& controller_;
    bool measuring_ = false;
    bool done_ = false;
};

// Link reports made while no report hook is installed go to the console, not to stderr
// past the progress line.
class ConsoleErrorBoxes {
public:
    explicit ConsoleErrorBoxes(Console& console) {
        SetErrorBoxSink([&console](const char*, const char* text) { console.line(text); });
    }
    ~ConsoleErrorBoxes() { SetErrorBoxSink({}); }
    ConsoleErrorBoxes(const ConsoleErrorBoxes&) = delete;
    ConsoleErrorBoxes& operator=(const ConsoleErrorBoxes&) = delete;
};

std::string volts(double value) {
    return formatFixed(value, value == static_cast<int>(value) ? 0 : 3) + " V";
}

} // namespace

std::string autosavePathFor(const std::string& output) {
    const std::filesystem::path path(output);
    std::filesystem::path name = path.stem();
    name += ".autosave";
    name += path.extension();
    return (path.parent_path() / name).string();
}

AcquireRun::AcquireRun(const AcquirePlan& plan, double extraDeadTime, Console& console,
                       const CliEnvironment& environment)
    : plan_(plan), extraDeadTime_(extraDeadTime), console_(console), environment_(environment),
      autosavePath_(autosavePathFor(plan.output.path)) {
    spectrum_.clear();
    pulse_.clear();
}

std::string AcquireRun::chooseDevice(const std::vector<std::string>& devices) {
    if (devices.empty()) {
        console_.line("No interface found.");
        return {};
    }
    if (plan_.device.empty())
        return devices.front();
    for (const std::string& device : devices)
        if (device == plan_.device)
            return device;
    std::string found;
    for (const std::string& device : devices)
        found += (found.empty() ? "" : ", ") + ("'" + device + "'");
    console_.line("No interface '" + plan_.device + "' found; found: " + found + ".");
    return {};
}

int AcquireRun::run() {
    commandStart_ = timeSource().now();
    ConsoleErrorBoxes errorBoxes(console_);
    TQrxController controller;
    controller.SetLogHandler([this](const char* line) { console_.line(line ? line : ""); });
    std::vector<std::string> devices;
    controller.ListDevices(devices);
    const std::string device = chooseDevice(devices);
    if (device.empty() || !controller.Open(device))
        return exitStatus(ExitCode::NoInterface);
    const int status = measureOpened(controller, device);
    controller.SetLogHandler({});
    return status;
}

int AcquireRun::measureOpened(TQrxController& controller, const std::string& device) {
    InterfaceShutdown shutdown(controller);

    // What the window does after opening: bias off, the interface's threshold read back and
    // sent again (or the one asked for), the scope configured.
    controller.SetBias(0);
    controller.NoteBiasVolts(std::nullopt);
    controller.ReadMonitor();
    thresholdVolts_ = plan_.thresholdVolts.value_or(controller.monitorThreshold());
    controller.SetThreshold(thresholdVolts_);
    controller.ConfigureScope();
    if (const int signal = stopSignal()) {
        console_.line(std::string("Stopped by ") + signalName(signal) +
                      " before the measurement began; nothing was counted or written.");
        return exitStatus(ExitCode::SignalBase) + signal;
    }

    // Then the bias the operator asked for, and the window's Start with the presets.
    if (!controller.SetBias(plan_.biasCode)) {
        console_.line("The interface did not take the bias; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    controller.NoteBiasVolts(plan_.biasVolts);
    controller.ClearRecords();
    controller.SetPresets(plan_.limits);
    controller.SetExtraDeadTime(extraDeadTime_);
    controller.SetSampleCount(plan_.samples);
    shutdown.measuring();
    if (!controller.ConfigureScope() || !controller.ArmMeasurement(plan_.delaySeconds) ||
        !controller.StartMeasurement()) {
        console_.line("The interface did not start the measurement; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    const double startedAt = timeSource().now();
    nextStatus_ = startedAt + StatusSeconds;
    nextProgress_ = startedAt;
    if (plan_.autosaveSeconds)
        nextAutosave_ = startedAt + *plan_.autosaveSeconds;
    console_.line("Measuring on " + device + ": bias " + volts(plan_.biasVolts) + ", threshold " +
                  volts(thresholdVolts_) + ", delay " +
                  formatFixed(plan_.delaySeconds * 1000.0, 0) + " ms, " +
                  std::to_string(plan_.samples) + " samples per pulse.");

    const End end = measure(controller);
    shutdown.finish();
    // Pulses that triggered before the stop arrive before its answer: the spectrum is final,
    // and the record's clocks stopped with it.
    take(controller);
    return finish(end, progressOf(status_, timeSource().now()));
}

void AcquireRun::take(TQrxController& controller) {
    controller.Snapshot(pulse_, spectrum_, info_);
}

AcquireRun::End AcquireRun::measure(TQrxController& controller) {
    for (;;) {
        timeSource().sleepFor(PollSeconds);
        // Meets the time presets and stops the interface after any preset.
        status_ = controller.PollMeasurement();
        take(controller);
        const double now = timeSource().now();
        const AcquireProgress progress = progressOf(status_, now);
        if (environment_.acquireTick)
            environment_.acquireTick(progress);
        if ((signal_ = stopSignal()) != 0)
            return End::Signal;
        if (controller.interfaceLost())
            return End::Lost;
        if (status_.presetReached) {
            presetReached_ = PresetKindName(*status_.presetReached);
            return End::Preset;
        }
        report(progress, now);
        autosave(now);
    }
}

AcquireProgress AcquireRun::progressOf(const MeasurementStatus& status, double now) const {
    AcquireProgress p;
    p.elapsed = now - commandStart_;
    p.realSeconds = info_.realSeconds;
    p.liveSeconds = info_.liveSeconds;
    p.counts = info_.acceptedCount;
    p.acceptedRate = status.rates.accepted;
    p.acceptedNow = status.slidingRate;
    p.inputRate = status.rates.input;
    p.state = MeasurementStateName(status.state);
    p.presetFraction = status.presetFraction;
    p.secondsLeft = status.presetSecondsLeft;
    return p;
}

void AcquireRun::report(const AcquireProgress& progress, double now) {
    if (plan_.jsonStatus) {
        if (now >= nextStatus_) {
            *environment_.out << statusJson(progress).dump() << '\n' << std::flush;
            nextStatus_ += StatusSeconds *
                           std::max(1.0, std::floor((now - nextStatus_) / StatusSeconds + 1.0));
        }
        return;
    }
    if (now >= nextProgress_) {
        console_.progress(progressText(progress));
        nextProgress_ = now + (console_.terminal() ? TerminalSeconds : PlainLineSeconds);
    }
}

void AcquireRun::autosave(double now) {
    if (!plan_.autosaveSeconds || now < nextAutosave_)
        return;
    nextAutosave_ = now + *plan_.autosaveSeconds;
    const SaveResult saved = writeSpectrum(
        SpectrumOutput{autosavePath_, plan_.output.format, plan_.output.energies}, measured(false));
    if (saved) {
        autosaved_ = true;
        autosaveFailing_ = false;
    } else if (!autosaveFailing_) {
        // Once per run of failures: a full disk must not flood the log.
        console_.line("Autosave failed: " + saved.error);
        autosaveFailing_ = true;
    }
}

MeasuredSpectrum AcquireRun::measured(bool ended) const {
    MeasuredSpectrum m = measuredSpectrum(spectrum_);
    m.measurement = info_;
    m.measurement.ended = ended;
    m.calibration = plan_.calibration;
    return m;
}

int AcquireRun::finish(End end, AcquireProgress progress) {
    std::string why;
    int status = exitStatus(ExitCode::Done);
    switch (end) {
    case End::Signal:
        progress.state = "Stopped";
        why = std::string("Stopped by ") + signalName(signal_);
        status = exitStatus(ExitCode::SignalBase) + signal_;
        break;
    case End::Preset:
        progress.state = MeasurementStateName(MeasurementState::PresetReached);
        why = "Preset reached (" + presetReached_ + ")";
        break;
    case End::Lost:
        progress.state = MeasurementStateName(MeasurementState::InterfaceLost);
        why = "Interface lost";
        status = exitStatus(ExitCode::InterfaceLost);
        break;
    }
    console_.endProgress();
    console_.line(why + " after " + clockText(info_.realSeconds.value_or(0.0)) + ": " +
                  std::to_string(progress.counts) + " counts.");

    MeasuredSpectrum spectrum = measured(true);
    spectrum.remarks.push_back(why + ".");
    const SaveResult saved = writeSpectrum(plan_.output, spectrum);
    if (saved) {
        console_.line("Spectrum written to " + plan_.output.path + ".");
        std::error_code ignored; // an autosave that cannot be removed is merely left behind
        if (autosaved_)
            std::filesystem::remove(autosavePath_, ignored);
    } else {
        console_.line(saved.error);
        if (autosaved_)
            console_.line("The last autosave is " + autosavePath_ + ".");
        status = exitStatus(ExitCode::OutputNotWritten);
    }

    const auto regions =
        reportRegions(spectrum_, plan_.regions, info_.liveSeconds, plan_.calibration, plan_.fit);
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
