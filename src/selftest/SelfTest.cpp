#include "selftest/SelfTest.h"

#include "driver/Driver.h"
#include "driver/FtdiSurvey.h"
#include "driver/TimeSource.h"
#include "link/DeviceDescr.h"
#include "link/Locks.h"
#include "link/Transport.h"
#include "selftest/LatencyFigures.h"
#include "spectrometer/Commands.h"
#include "spectrometer/InterfaceReset.h"
#include "spectrometer/QrxController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tarvio {

namespace {

constexpr std::size_t MaxLogLines = 200;
constexpr int OpenAttempts = 3;
constexpr double OpenRetryPause = 0.5;
// 4095, the top of the 12-bit threshold DAC, in volts: nothing a detector sends reaches it.
constexpr double HighestThresholdVolts = 2.499;
// A median answer slower than this points at a latency timer left near the kernel's 16 ms.
constexpr double SlowRoundTripSeconds = 0.012;
// How long bytes sent before a purge may still be on their way when it is made.
constexpr double PurgeLeadSeconds = 0.003;
constexpr double PurgeSettleSeconds = 0.010;
constexpr double PollSeconds = 0.02;

const char* const UdevRule = "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", "
                             "ATTR{idVendor}==\"0403\", TAG+=\"uaccess\"";

std::string fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ms(double seconds) {
    return fixed(seconds * 1000.0, seconds < 0.01 ? 2 : 1) + " ms";
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

// The chip type the driver reports for an open device.
const char* driverTypeName(std::uint32_t type) {
    switch (type) {
    case 0:
        return "FT232BM";
    case 1:
        return "FT8U232AM";
    case 4:
        return "FT2232C";
    case 5:
        return "FT232R";
    case 6:
        return "FT2232H";
    case 7:
        return "FT4232H";
    case 8:
        return "FT232H";
    case 9:
        return "FT230X";
    default:
        return "unknown";
    }
}

std::string speedText(std::size_t packetSize) {
    if (packetSize == 512)
        return "high speed (512-byte packets)";
    if (packetSize == 64)
        return "full speed (64-byte packets)";
    return packetSize ? std::to_string(packetSize) + "-byte packets" : "packet size unknown";
}

SelfTestStep step(const char* id, const char* title) {
    SelfTestStep s;
    s.id = id;
    s.title = title;
    return s;
}

} // namespace

SelfTest::SelfTest(TQrxController& controller, SelfTestOptions options)
    : controller_(controller), options_(std::move(options)) {}

bool SelfTest::onUsb(const std::string& device, const UsbSurvey& survey) {
    return std::any_of(survey.devices.begin(), survey.devices.end(),
                       [&](const UsbDeviceSeen& d) { return d.description == device; });
}

void SelfTest::note(const std::string& line) {
    std::lock_guard lock(logMutex_);
    if (log_.size() < MaxLogLines)
        log_.push_back(line);
}

std::string SelfTest::lastLogLine() const {
    std::lock_guard lock(logMutex_);
    for (auto it = log_.rbegin(); it != log_.rend(); ++it)
        if (it->find("closed.") == std::string::npos && !it->empty())
            return *it;
    return {};
}

std::string SelfTest::masked(std::string text) const {
    if (serial_.empty() || options_.showSerial)
        return text;
    const std::string shown = maskedSerial(serial_, false);
    for (std::size_t at = text.find(serial_); at != std::string::npos;
         at = text.find(serial_, at + shown.size()))
        text.replace(at, serial_.size(), shown);
    return text;
}

bool SelfTest::lost() const {
    return controller_.interfaceLost();
}

std::string SelfTest::lossSentence(const std::string& when) {
    std::string why;
    for (const std::string& notice : DriverTakeNotices()) {
        note(notice);
        if (notice.find("failed") != std::string::npos)
            why = notice;
    }
    std::string sentence = "The interface was lost " + when + ". ";
    if (why.find("gone") != std::string::npos)
        return sentence + "It disappeared from the USB bus: it was unplugged, or its cable, hub "
                          "or power failed. Check them and run the self-test again.";
    if (!why.empty())
        return sentence + "The driver gave it up: " + why +
               " Such errors point to the cable, a hub or the interface's USB chip: try "
               "another cable and a port on the computer itself, then run the self-test again.";
    return sentence + "The driver gave it up without saying why; check the cable and the "
                      "interface's power.";
}

void SelfTest::finish(SelfTestStep s) {
    s.sentence = masked(s.sentence);
    for (std::string& detail : s.details)
        detail = masked(detail);
    if (options_.stepDone)
        options_.stepDone(s);
    report_.steps.push_back(std::move(s));
}

SelfTestReport SelfTest::run() {
    report_ = {};
    report_.program = std::string("Tarvio2 ") + TARVIO_VERSION;
    report_.os = operatingSystemText();
    report_.started = utcNow();
    if (controller_.opened())
        controller_.Close();

    const UsbSurvey survey = surveyFtdiDevices();
    report_.libftdiVersion = survey.libftdiVersion;
    report_.libusbVersion = survey.libusbVersion;

    std::vector<std::string> listed;
    controller_.ListDevices(listed);
    // By default the first interface listed that is on USB: not the simulated one.
    std::string device = options_.device;
    for (std::size_t i = 0; device.empty() && i < listed.size(); ++i)
        if (onUsb(listed[i], survey))
            device = listed[i];
    const bool simulated = !device.empty() && !onUsb(device, survey);
    report_.device = device;

    finish(surveyStep(survey, simulated));
    bool go = false;
    if (device.empty()) {
        SelfTestStep s = step("open", "Open, reset and chip detection");
        if (report_.steps.back().verdict == Verdict::Failed) {
            s.sentence = "Not run: no interface this user can open (see above).";
        } else {
            s.verdict = Verdict::Failed;
            s.sentence = "No readout interface is listed to test. Plug it in, check that "
                         "`tarvio2-cli list` shows it, or name one with --device.";
        }
        finish(std::move(s));
    } else if (std::find(listed.begin(), listed.end(), device) == listed.end()) {
        SelfTestStep s = step("open", "Open, reset and chip detection");
        s.verdict = Verdict::Failed;
        s.sentence = "No interface '" + device +
                     "' is listed; `tarvio2-cli list` shows the ones "
                     "that are.";
        finish(std::move(s));
    } else {
        SelfTestStep s = openStep(survey);
        go = s.verdict != Verdict::Failed;
        finish(std::move(s));
    }

    const auto runOrSkip = [&](SelfTestStep (SelfTest::*body)(), const char* id,
                               const char* title) {
        if (go && !lost()) {
            SelfTestStep s = (this->*body)();
            go = s.verdict != Verdict::Failed || !lost();
            finish(std::move(s));
            return;
        }
        SelfTestStep s = step(id, title);
        s.sentence = lost() ? "Not run: the interface was lost in an earlier step."
                            : "Not run: the interface did not open.";
        finish(std::move(s));
    };
    runOrSkip(&SelfTest::roundTripStep, "round-trips", "Command round trips");
    runOrSkip(&SelfTest::purgeStep, "purge", "Purge");
    runOrSkip(&SelfTest::countingStep, "counting", "Counting");
    runOrSkip(&SelfTest::unplugStep, "unplug", "Unplug detection");

    if (controller_.opened())
        controller_.Close();
    for (const std::string& notice : DriverTakeNotices())
        note(notice);
    {
        std::lock_guard lock(logMutex_);
        for (const std::string& line : log_)
            report_.log.push_back(masked(line));
    }
    report_.device = masked(report_.device);
    return report_;
}

SelfTestStep SelfTest::surveyStep(const UsbSurvey& survey, bool simulated) {
    SelfTestStep s = step("system", "What the system sees");
    nlohmann::json devices = nlohmann::json::array();
    int blocked = 0;
    for (const UsbDeviceSeen& d : survey.devices) {
        const std::string serial = maskedSerial(d.serialNumber, options_.showSerial);
        s.details.push_back(hex4(d.vendorId) + ":" + hex4(d.productId) + " " + d.chipType + ", " +
                            speedText(d.packetSize) + ", " + d.where + ": " +
                            (d.accessible ? "\"" + d.description + "\", serial " +
                                                (serial.empty() ? "none" : serial) +
                                                ", can be opened by this user"
                                          : "CANNOT be opened: " + d.problem));
        devices.push_back({{"ids", hex4(d.vendorId) + ":" + hex4(d.productId)},
                           {"chip", d.chipType},
                           {"packetSize", d.packetSize},
                           {"where", d.where},
                           {"description", d.description},
                           {"serial", serial},
                           {"accessible", d.accessible},
                           {"problem", d.problem}});
        blocked += d.noAccess ? 1 : 0;
    }
    s.figures = {{"usbAvailable", survey.usbAvailable}, {"devices", devices}};
    const std::size_t seen = survey.devices.size();
    const std::string count = std::to_string(seen) + " USB device" + (seen == 1 ? "" : "s") +
                              " with FTDI's vendor id 0403";
    if (blocked > 0) {
        s.details.push_back("The rule (one line): " + std::string(UdevRule));
        s.details.push_back("Then: sudo udevadm control --reload && sudo udevadm trigger, and "
                            "plug the interface in again.");
    }
    if (simulated) {
        s.verdict = Verdict::Ok;
        s.sentence = "The interface tested is not on USB (the simulated one); " + count + " seen.";
        return s;
    }
    if (blocked > 0) {
        s.verdict = Verdict::Failed;
        s.sentence = std::to_string(blocked) + " of " + std::to_string(seen) +
                     " readout interfaces cannot be opened by this user: install the udev rule "
                     "70-tarvio2-ftdi.rules (it comes with the package, or from packaging/ in "
                     "the sources) into /etc/udev/rules.d, reload the rules and plug the "
                     "interface in again. Users logged in remotely need the administrator.";
        return s;
    }
    if (!survey.usbAvailable) {
        s.verdict = Verdict::Failed;
        s.sentence = "USB could not be used at all (libusb did not start): is this a container "
                     "or a machine without /dev/bus/usb?";
        return s;
    }
    if (seen == 0) {
        s.verdict = Verdict::Failed;
        s.sentence = "No USB device with FTDI's vendor id 0403 is visible: check the cable and "
                     "the interface's power; `lsusb -d 0403:` should list it.";
        return s;
    }
    s.verdict = Verdict::Ok;
    s.sentence = count + (seen == 1 ? ", usable by this user." : ", each usable by this user.");
    return s;
}

SelfTestStep SelfTest::openStep(const UsbSurvey& survey) {
    SelfTestStep s = step("open", "Open, reset and chip detection");
    const std::string& device = report_.device;
    nlohmann::json attempts = nlohmann::json::array();
    bool opened = false;
    int attempt = 0;
    TimeSource& clock = timeSource();
    while (!opened && attempt < OpenAttempts) {
        if (attempt++ > 0)
            clock.sleepFor(OpenRetryPause);
        const double t0 = clock.now();
        opened = controller_.Open(device);
        const double took = clock.now() - t0;
        const std::string reason = opened ? "" : lastLogLine();
        attempts.push_back({{"seconds", took}, {"opened", opened}, {"reason", reason}});
        s.details.push_back("open, attempt " + std::to_string(attempt) + ": " +
                            (opened ? "opened" : "failed (" + reason + ")") + " in " + ms(took));
    }
    s.figures["openAttempts"] = attempts;
    if (!opened) {
        s.verdict = Verdict::Failed;
        bool noAccess = false;
        for (const UsbDeviceSeen& d : survey.devices)
            noAccess = noAccess || (d.noAccess && d.description == device);
        s.sentence = "The interface did not open in " + std::to_string(OpenAttempts) +
                     " attempts: " + lastLogLine() +
                     (noAccess ? " This user may not open it: install the udev rule (see above)."
                               : " Another program (or a second Tarvio2) may hold it: close "
                                 "it, unplug the interface, plug it in again and retry.");
        return s;
    }
    DeviceDescr* descr = controller_.link.device;
    serial_ = descr->serialNumber;
    {
        std::lock_guard lock(logMutex_);
        for (const std::string& line : log_)
            latencyTimerRefused_ = latencyTimerRefused_ ||
                                   line.find("latency timer could not be set") != std::string::npos;
    }

    const double r0 = clock.now();
    const bool reset = ResetInterface(controller_.link);
    const double resetTook = clock.now() - r0;
    s.details.push_back(std::string("reset: ") +
                        (reset ? "answered" : "NOT answered (" + lastLogLine() + ")") + " in " +
                        ms(resetTook));
    char ids[ChipIdTextSize] = {};
    const double d0 = clock.now();
    const bool detected = reset && ReadChipboardId(controller_.link, ids, sizeof ids);
    const double detectTook = clock.now() - d0;
    if (reset)
        s.details.push_back(
            std::string("chip detection: ") +
            (detected ? std::to_string(descr->chipCount) + " chip(s), identifiers \"" + ids + "\""
                      : "NOT answered (" + lastLogLine() + ")") +
            " in " + ms(detectTook));
    const std::string chip = driverTypeName(descr->deviceType);
    const std::string serial = maskedSerial(serial_, options_.showSerial);
    s.details.push_back("bridge: " + chip + ", id " + hex4(descr->deviceId >> 16) + ":" +
                        hex4(descr->deviceId) + ", serial " + (serial.empty() ? "none" : serial) +
                        ", wire " + fixed(descr->wireBytesPerSecond / 1.0e6, 1) + " MB/s");
    s.figures["resetSeconds"] = resetTook;
    s.figures["detectionSeconds"] = detectTook;
    s.figures["chip"] = {{"type", chip},
                         {"id", hex4(descr->deviceId >> 16) + ":" + hex4(descr->deviceId)},
                         {"serial", serial},
                         {"description", device}};
    s.figures["identifiers"] = {{"chipCount", descr->chipCount},
                                {"text", std::string(ids)},
                                {"largeCounters", descr->largeCounters},
                                {"timepix", descr->timepix}};
    if (lost()) {
        s.verdict = Verdict::Failed;
        s.sentence = lossSentence("during its reset");
    } else if (!reset) {
        s.verdict = Verdict::Failed;
        s.sentence = "The interface opened but did not answer its reset: is the board powered "
                     "and its firmware running? Unplug it, plug it in again and retry.";
    } else if (!detected) {
        s.verdict = Verdict::Failed;
        s.sentence = "The interface answered its reset but not the chip identifiers: the "
                     "chipboard may be loose or unpowered.";
    } else if (attempt > 1) {
        s.verdict = Verdict::Warning;
        s.sentence = "Opened, but only at attempt " + std::to_string(attempt) + "; reset and " +
                     std::to_string(descr->chipCount) + " chip(s) detected.";
    } else {
        s.verdict = Verdict::Ok;
        s.sentence = "Opened in " + ms(attempts[0]["seconds"].get<double>()) + ", reset in " +
                     ms(resetTook) + ", " + std::to_string(descr->chipCount) +
                     " chip(s) detected (\"" + ids + "\").";
    }
    return s;
}

SelfTestStep SelfTest::roundTripStep() {
    SelfTestStep s = step("round-trips", "Command round trips");
    DeviceDescr* descr = controller_.link.device;
    const std::uint32_t syncsBefore = descr->syncCount.load();
    const std::uint64_t skippedBefore = descr->syncSkippedBytes.load();
    TimeSource& clock = timeSource();
    std::vector<double> times;
    int failures = 0;
    int sent = 0;
    AdcReadings readings{};
    while (sent < options_.roundTrips && !lost()) {
        ++sent;
        const double t0 = clock.now();
        if (ReadAdcMonitor(controller_.link, readings))
            times.push_back(clock.now() - t0);
        else
            ++failures;
    }
    const LatencyFigures f = latencyFigures(times);
    const std::uint32_t syncs = descr->syncCount.load() - syncsBefore;
    const std::uint64_t skipped = descr->syncSkippedBytes.load() - skippedBefore;
    s.figures = {
        {"commands", options_.roundTrips},
        {"sent", sent},
        {"answered", times.size()},
        {"failed", failures},
        {"resynchronisations", syncs},
        {"bytesResynchronised", skipped},
        {"latencySeconds", {{"min", f.min}, {"median", f.median}, {"p99", f.p99}, {"max", f.max}}}};
    s.details.push_back(std::to_string(times.size()) + " of " + std::to_string(sent) +
                        " monitor readings ('M') answered; latency min " + ms(f.min) + ", median " +
                        ms(f.median) + ", 99th percentile " + ms(f.p99) + ", max " + ms(f.max));
    s.details.push_back(std::to_string(syncs) + " resynchronisation(s), " +
                        std::to_string(skipped) + " byte(s) skipped by them");
    if (lost()) {
        s.verdict = Verdict::Failed;
        s.sentence = lossSentence("after " + std::to_string(times.size()) + " of " +
                                  std::to_string(options_.roundTrips) + " commands");
        return s;
    }
    if (failures > 2) {
        s.verdict = Verdict::Failed;
        s.sentence = std::to_string(failures) + " of " + std::to_string(sent) +
                     " commands got no proper answer (" + lastLogLine() +
                     "): measurements would stall or lose pulses. Try another cable and port.";
        return s;
    }
    if (failures > 0 || syncs > 0) {
        s.verdict = Verdict::Warning;
        s.sentence = std::to_string(failures) + " command(s) unanswered and " +
                     std::to_string(syncs) + " resynchronisation(s) in " + std::to_string(sent) +
                     ": the link recovers, but it should not need to.";
        return s;
    }
    if (latencyTimerRefused_ || f.median > SlowRoundTripSeconds) {
        s.verdict = Verdict::Warning;
        s.sentence =
            "Every command was answered, but " +
            std::string(latencyTimerRefused_ ? "the chip refused its latency timer" : "slowly") +
            " (median " + ms(f.median) +
            "): each command waits for the chip's timer, so the interface is slow to "
            "start and stop. Please send this report.";
        return s;
    }
    s.verdict = Verdict::Ok;
    s.sentence = std::to_string(sent) + " of " + std::to_string(sent) + " answered, median " +
                 ms(f.median) + ", 99th percentile " + ms(f.p99) + ", no resynchronisation.";
    return s;
}

SelfTestStep SelfTest::purgeStep() {
    SelfTestStep s = step("purge", "Purge");
    DeviceDescr* descr = controller_.link.device;
    TimeSource& clock = timeSource();
    int round = 0;
    int answered = 0;
    std::uint32_t leftover = 0;
    std::vector<double> times;
    AdcReadings readings{};
    while (round < options_.purges && !lost()) {
        ++round;
        // The link lock keeps the monitoring thread out: the stale answer must meet the purge.
        QrxCriticalSection lock;
        Transmit(controller_.link, "M", 1);
        clock.sleepFor(PurgeLeadSeconds);
        DriverPurge(descr->handle, DRV_PURGE_RX | DRV_PURGE_TX);
        descr->rxCache.clear();
        descr->rxCache.driverQueued = 0;
        const double t0 = clock.now();
        const bool ok = ReadAdcMonitor(controller_.link, readings);
        if (!ok)
            break;
        times.push_back(clock.now() - t0);
        ++answered;
        clock.sleepFor(PurgeSettleSeconds);
        leftover = QueueDepth(controller_.link);
        if (leftover > 0)
            break;
    }
    const LatencyFigures f = latencyFigures(times);
    s.figures = {{"rounds", round},
                 {"answered", answered},
                 {"bytesAfterAnswer", leftover},
                 {"latencySeconds", {{"median", f.median}, {"max", f.max}}}};
    s.details.push_back("each round: a command, its answer purged on the way, then a command "
                        "whose answer must arrive and be the only bytes");
    s.details.push_back(std::to_string(answered) + " of " + std::to_string(round) +
                        " commands after a purge answered; median " + ms(f.median));
    if (lost()) {
        s.verdict = Verdict::Failed;
        s.sentence = lossSentence("during the purge test");
    } else if (answered < round) {
        s.verdict = Verdict::Failed;
        s.sentence = "The command sent right after purge " + std::to_string(round) +
                     " got no answer: the chip or its driver also discarded bytes that came "
                     "after the purge, so the first answer of a measurement can be lost. "
                     "Please send this report; the chip type and libftdi1 version are in it.";
    } else if (leftover > 0) {
        s.verdict = Verdict::Failed;
        s.sentence = std::to_string(leftover) + " bytes from before purge " +
                     std::to_string(round) +
                     " still arrived after it: answers may be taken "
                     "for the wrong command. Please send this report.";
    } else {
        s.verdict = Verdict::Ok;
        s.sentence = "A command right after each of " + std::to_string(round) +
                     " purges got its answer, and nothing from before the purge survived it.";
    }
    return s;
}

SelfTestStep SelfTest::countingStep() {
    const bool biased = options_.biasCode.has_value();
    SelfTestStep s = step("counting", "Counting with the bias off");
    if (biased)
        s.title = "Counting with the bias at " + fixed(options_.biasVolts, 0) + " V";
    DeviceDescr* descr = controller_.link.device;
    TimeSource& clock = timeSource();
    if (!controller_.ReadMonitor()) {
        s.verdict = Verdict::Failed;
        s.sentence = lost() ? lossSentence("reading the threshold")
                            : "The interface did not say its threshold: " + lastLogLine();
        return s;
    }
    const double asSet = controller_.monitorThreshold();
    struct Phase {
        const char* name;
        double threshold;
        std::uint64_t counts = 0;
        double seconds = 0;
        std::uint32_t damaged = 0;
        std::uint64_t skipped = 0;
        bool started = false;
    };
    Phase phases[2] = {{"highest threshold", HighestThresholdVolts}, {"threshold as set", asSet}};
    bool biasTaken = controller_.SetBias(biased ? *options_.biasCode : 0);
    controller_.NoteBiasVolts(biased ? std::optional<double>(options_.biasVolts) : std::nullopt);
    std::string failure;
    for (Phase& p : phases) {
        if (!biasTaken || lost())
            break;
        const std::uint32_t damagedBefore = descr->damagedMessages.load();
        const std::uint64_t skippedBefore = descr->syncSkippedBytes.load();
        controller_.ClearRecords();
        controller_.SetPresets({});
        p.started = controller_.SetThreshold(p.threshold) && controller_.ConfigureScope() &&
                    controller_.ArmMeasurement(options_.delaySeconds) &&
                    controller_.StartMeasurement();
        const double t0 = clock.now();
        while (p.started && !lost() && clock.now() - t0 < options_.countingSeconds) {
            clock.sleepFor(PollSeconds);
            controller_.PollMeasurement();
        }
        p.seconds = clock.now() - t0;
        const bool stopped = p.started && !lost() && controller_.StopMeasurement();
        const MeasurementInfo info = controller_.Measurement();
        p.counts = info.acceptedCount;
        p.seconds = info.realSeconds.value_or(p.seconds);
        p.damaged = descr->damagedMessages.load() - damagedBefore;
        p.skipped = descr->syncSkippedBytes.load() - skippedBefore;
        if (!p.started || !stopped) {
            failure = std::string("the interface did not ") + (p.started ? "stop" : "start") +
                      " counting at the " + p.name + " (" + lastLogLine() + ")";
            break;
        }
    }
    if (!lost()) {
        controller_.SetBias(0);
        controller_.SetThreshold(asSet);
    }
    nlohmann::json figures = nlohmann::json::array();
    std::uint32_t damaged = 0;
    std::uint64_t skipped = 0;
    for (const Phase& p : phases) {
        const double rate = p.seconds > 0 ? static_cast<double>(p.counts) / p.seconds : 0.0;
        figures.push_back({{"phase", p.name},
                           {"thresholdVolts", p.threshold},
                           {"seconds", p.seconds},
                           {"pulses", p.counts},
                           {"pulsesPerSecond", rate},
                           {"damagedMessages", p.damaged},
                           {"bytesResynchronised", p.skipped}});
        s.details.push_back(std::string(p.name) + " (" + fixed(p.threshold, 3) +
                            " V): " + std::to_string(p.counts) + " pulses in " +
                            fixed(p.seconds, 2) + " s = " + fixed(rate, 1) + " pulses/s, " +
                            std::to_string(p.damaged) + " damaged message(s), " +
                            std::to_string(p.skipped) + " byte(s) resynchronised");
        damaged += p.damaged;
        skipped += p.skipped;
    }
    s.figures = {{"bias", biased ? nlohmann::json(options_.biasVolts) : nlohmann::json("off")},
                 {"phases", figures}};
    const Phase& high = phases[0];
    const Phase& set = phases[1];
    if (lost()) {
        s.verdict = Verdict::Failed;
        const double into = high.seconds + set.seconds;
        s.sentence = lossSentence(into < PollSeconds ? std::string("as counting started")
                                                     : fixed(into, 2) + " s into counting");
    } else if (!biasTaken) {
        s.verdict = Verdict::Failed;
        s.sentence = "The interface did not take the bias " +
                     std::string(biased ? "setting" : "off command") + ": " + lastLogLine();
    } else if (!failure.empty()) {
        s.verdict = Verdict::Failed;
        s.sentence = "Counting failed: " + failure + ".";
    } else if (high.counts > 0) {
        s.verdict = Verdict::Warning;
        s.sentence = std::to_string(high.counts) +
                     " pulses arrived with the threshold at its "
                     "highest, where nothing should trigger: noise on the input, or the "
                     "threshold was not taken.";
    } else if (damaged > 0) {
        s.verdict = Verdict::Warning;
        s.sentence = std::to_string(damaged) + " damaged message(s) while counting (" +
                     std::to_string(skipped) +
                     " bytes resynchronised): pulses were lost. "
                     "Try another cable and a port on the computer itself.";
    } else {
        const double rate = set.seconds > 0 ? static_cast<double>(set.counts) / set.seconds : 0;
        s.verdict = Verdict::Ok;
        s.sentence = "Nothing triggered at the highest threshold; at " + fixed(set.threshold, 3) +
                     " V " + fixed(rate, 1) + " pulses/s" +
                     (biased ? "" : " with the bias off (few or none are expected without it)") +
                     ", no damaged message.";
    }
    return s;
}

SelfTestStep SelfTest::unplugStep() {
    SelfTestStep s = step("unplug", "Unplug detection");
    if (!options_.prompt || !options_.skipRequested) {
        s.sentence = "Not asked: it needs a person at a terminal.";
        return s;
    }
    options_.prompt("Unplug the interface's USB cable now to test that the loss is noticed, or "
                    "press Enter to skip (" +
                    fixed(options_.unplugWaitSeconds, 0) + " s).");
    TimeSource& clock = timeSource();
    const double t0 = clock.now();
    for (;;) {
        if (lost()) {
            const double took = clock.now() - t0;
            DriverTakeNotices();
            s.verdict = Verdict::Ok;
            s.sentence = "The loss was noticed " + fixed(took, 1) +
                         " s after the prompt. Plug the interface in again.";
            s.figures = {{"secondsAfterPrompt", took}};
            return s;
        }
        if (options_.skipRequested()) {
            s.sentence = "Skipped by the user.";
            return s;
        }
        if (clock.now() - t0 > options_.unplugWaitSeconds) {
            s.verdict = Verdict::Warning;
            s.sentence = "No loss was noticed within " + fixed(options_.unplugWaitSeconds, 0) +
                         " s: if the cable was pulled, the program would not have noticed "
                         "either. Please send this report.";
            return s;
        }
        clock.sleepFor(PollSeconds);
    }
}

} // namespace tarvio
