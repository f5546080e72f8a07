#pragma once
// The interface self-test: what the system sees of USB readout interfaces, then one interface
// exercised the way the program uses it (open, reset and chip detection, command round trips,
// the purge, counting with the bias off, and unplugging when a person is there to do it).
// Each step gets a verdict and a sentence a physicist can act on; the report goes to a bug
// report as it is. Runs on the caller's thread; takes a few seconds.

#include "selftest/SelfTestReport.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

class TQrxController;
struct UsbSurvey;

struct SelfTestOptions {
    std::string device; // empty: the first interface listed that is on USB
    // The bias a person typed (--bias-safe); without it the bias stays off throughout.
    std::optional<std::uint8_t> biasCode;
    double biasVolts = 0.0;
    bool showSerial = false;
    double countingSeconds = 2.0; // each of the two counting phases
    double delaySeconds = 0.0;    // the measurement interval, as settings.ini has it
    int roundTrips = 200;
    int purges = 10;
    // Hears each step as it ends (progress for a person).
    std::function<void(const SelfTestStep&)> stepDone;
    // Unplug detection needs a person: `prompt` says what to do, `skipRequested` is polled.
    // Without both, the step is skipped.
    std::function<void(const std::string&)> prompt;
    std::function<bool()> skipRequested;
    double unplugWaitSeconds = 30.0;
};

class SelfTest {
public:
    // Uses the process's one controller: closes whatever it has open and leaves the tested
    // interface closed. Its handlers stay the owner's: hand the log lines on to note() for the
    // report to hold them. Nothing else may use the controller meanwhile.
    SelfTest(TQrxController& controller, SelfTestOptions options);

    SelfTestReport run();
    // A line for the report's log: the controller's log lines, error boxes while no report
    // hook is set. Any thread.
    void note(const std::string& line);

    // Whether a listed interface is one of the USB devices the survey saw (the simulated
    // interface is not).
    static bool onUsb(const std::string& device, const UsbSurvey& survey);

private:
    SelfTestStep surveyStep(const UsbSurvey& survey, bool simulated);
    SelfTestStep openStep(const UsbSurvey& survey);
    SelfTestStep roundTripStep();
    SelfTestStep purgeStep();
    SelfTestStep countingStep();
    SelfTestStep unplugStep();
    void finish(SelfTestStep step);
    bool lost() const;
    std::string lossSentence(const std::string& when);
    std::string lastLogLine() const;
    std::string masked(std::string text) const;

    TQrxController& controller_;
    const SelfTestOptions options_;
    SelfTestReport report_;
    std::string serial_; // unmasked, to mask it wherever it shows up
    bool latencyTimerRefused_ = false;
    mutable std::mutex logMutex_;
    std::vector<std::string> log_;
};

} // namespace tarvio
