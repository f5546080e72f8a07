#include "cli/AcquireRun.h"

#include "analysis/RegionFigures.h"
#include "cli/ExitCodes.h"
#include "cli/RegionReport.h"
#include "cli/StopSignals.h"
#include "driver/TimeSource.h"
#include "link/Interfaces.h"
#include "link/Report.h"
#include "records/TextFormat.h"
#include "spectrometer/QrxController.h"

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <numeric>

namespace tarvio {

namespace {

std::int64_t utcNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

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

AcquireRun::AcquireRun(const AcquirePlan& plan, Console& console, const CliEnvironment& environment)
    : plan_(plan), console_(console), environment_(environment),
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
    device_ = device;
    if (const DeviceDescr* descr = FindInterface(controller.link))
        chipIdentifiers_ = descr->chipIdText;
    InterfaceShutdown shutdown(controller);

    // What the window does after opening: bias off, the interface's threshold read back and
    // sent again (or the one asked for), the scope configured.
    controller.SetBias(0);
    controller.ReadMonitor();
    thresholdVolts_ = plan_.thresholdVolts.value_or(controller.monitorThreshold());
    controller.SetThreshold(thresholdVolts_);
    controller.ConfigureScope();
    if (const int signal = stopSignal()) {
        console_.line(std::string("Stopped by ") + signalName(signal) +
                      " before the measurement began; nothing was counted or written.");
        return exitStatus(ExitCode::SignalBase) + signal;
    }

    // Then the bias the operator asked for, and the window's Start.
    if (!controller.SetBias(plan_.biasCode)) {
        console_.line("The interface did not take the bias; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    controller.ClearRecords();
    controller.SetSampleCount(plan_.samples);
    shutdown.measuring();
    if (!controller.ConfigureScope() || !controller.ArmMeasurement(plan_.delaySeconds) ||
        !controller.StartMeasurement()) {
        console_.line("The interface did not start the measurement; nothing was measured.");
        return exitStatus(ExitCode::NoInterface);
    }
    startedAt_ = timeSource().now();
    startUtcMs_ = utcNowMs();
    nextStatus_ = startedAt_ + StatusSeconds;
    nextProgress_ = startedAt_;
    if (plan_.autosaveSeconds)
        nextAutosave_ = startedAt_ + *plan_.autosaveSeconds;
    console_.line("Measuring on " + device + ": bias " + volts(plan_.biasVolts) + ", threshold " +
                  volts(thresholdVolts_) + ", delay " +
                  formatFixed(plan_.delaySeconds * 1000.0, 0) + " ms, " +
                  std::to_string(plan_.samples) + " samples per pulse.");

    const End end = measure(controller);
    shutdown.finish();
    // Pulses that triggered before the stop arrive before its answer: the spectrum is final.
    take(controller);
    return finish(end, endedAt_);
}

void AcquireRun::take(TQrxController& controller) {
    controller.Snapshot(pulse_, spectrum_);
    counts_ = std::accumulate(spectrum_.counts.begin(), spectrum_.counts.end(), std::uint64_t{0});
}

AcquireRun::End AcquireRun::measure(TQrxController& controller) {
    for (;;) {
        timeSource().sleepFor(PollSeconds);
        const double now = timeSource().now();
        take(controller);
        const AcquireProgress progress = progressAt(now);
        if (environment_.acquireTick)
            environment_.acquireTick(progress);
        endedAt_ = now;
        if ((signal_ = stopSignal()) != 0)
            return End::Signal;
        if (controller.interfaceLost())
            return End::Lost;
        if (const auto preset = presetMet(now)) {
            presetReached_ = *preset;
            return End::Preset;
        }
        report(progress, now);
        autosave(now);
    }
}

std::optional<std::string> AcquireRun::presetMet(double now) const {
    const AcquireLimits& limits = plan_.limits;
    if (limits.realSeconds && now - startedAt_ >= *limits.realSeconds)
        return "real time";
    if (limits.counts && counts_ >= *limits.counts)
        return "counts";
    if (limits.regionCounts && regionNetCounts(spectrum_, limits.regionCounts->region) >=
                                   static_cast<double>(limits.regionCounts->netCounts))
        return "region counts";
    return std::nullopt;
}

AcquireProgress AcquireRun::progressAt(double now) const {
    AcquireProgress p;
    p.elapsed = now - commandStart_;
    const double real = now - startedAt_;
    p.realSeconds = real;
    p.counts = counts_;
    if (real > 0.0)
        p.acceptedRate = static_cast<double>(counts_) / real;
    p.state = "Measuring";
    const AcquireLimits& limits = plan_.limits;
    if (limits.realSeconds) {
        p.presetFraction = std::min(1.0, real / *limits.realSeconds);
        p.secondsLeft = std::max(0.0, *limits.realSeconds - real);
    }
    if (limits.counts && p.acceptedRate && *p.acceptedRate > 0.0) {
        const double fraction = std::min(1.0, static_cast<double>(counts_) / *limits.counts);
        if (!p.presetFraction || fraction > *p.presetFraction) {
            p.presetFraction = fraction;
            p.secondsLeft =
                std::max(0.0, static_cast<double>(*limits.counts) - counts_) / *p.acceptedRate;
        }
    }
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
    const SaveResult saved =
        writeSpectrum(SpectrumOutput{autosavePath_, plan_.output.format, plan_.output.energies},
                      measured(now, false));
    if (saved) {
        autosaved_ = true;
        autosaveFailing_ = false;
    } else if (!autosaveFailing_) {
        // Once per run of failures: a full disk must not flood the log.
        console_.line("Autosave failed: " + saved.error);
        autosaveFailing_ = true;
    }
}

MeasuredSpectrum AcquireRun::measured(double now, bool ended) const {
    MeasuredSpectrum m = measuredSpectrum(spectrum_);
    MeasurementInfo& info = m.measurement;
    info.startUtcMs = startUtcMs_;
    info.realSeconds = now - startedAt_;
    info.ended = ended;
    OperatingPoint& point = info.operatingPoint;
    point.interfaceDescription = device_;
    point.chipIdentifiers = chipIdentifiers_;
    point.biasVolts = plan_.biasVolts;
    point.thresholdVolts = thresholdVolts_;
    point.delaySeconds = plan_.delaySeconds;
    point.samplesPerPulse = plan_.samples;
    m.calibration = plan_.calibration;
    return m;
}

int AcquireRun::finish(End end, double now) {
    AcquireProgress progress = progressAt(now);
    std::string why;
    int status = exitStatus(ExitCode::Done);
    switch (end) {
    case End::Signal:
        progress.state = "Stopped";
        why = std::string("Stopped by ") + signalName(signal_);
        status = exitStatus(ExitCode::SignalBase) + signal_;
        break;
    case End::Preset:
        progress.state = "Preset reached";
        why = "Preset reached (" + presetReached_ + ")";
        break;
    case End::Lost:
        progress.state = "Interface lost";
        why = "Interface lost";
        status = exitStatus(ExitCode::InterfaceLost);
        break;
    }
    console_.endProgress();
    console_.line(why + " after " + clockText(now - startedAt_) + ": " + std::to_string(counts_) +
                  " counts.");

    MeasuredSpectrum spectrum = measured(now, true);
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
        reportRegions(spectrum_, plan_.regions, std::nullopt, plan_.calibration, plan_.fit);
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
