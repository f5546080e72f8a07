#pragma once
// The report of an interface self-test: a verdict and one plain sentence per step, the
// details behind it, and the figures a developer needs, as text for a person and as JSON for
// a bug report. Nothing personal goes in: no user, host or path names; the interface's serial
// number only as the test was told to show it.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace tarvio {

enum class Verdict { Ok, Warning, Failed, Skipped };
const char* verdictName(Verdict verdict); // "ok", "warning", "failed", "skipped"

struct SelfTestStep {
    std::string id;    // stable, for scripts: "system", "open", "round-trips", ...
    std::string title; // what the step looks at, for a person
    Verdict verdict = Verdict::Skipped;
    std::string sentence;             // what it found, and what to do when it failed
    std::vector<std::string> details; // one line each
    nlohmann::json figures = nlohmann::json::object();
};

struct SelfTestReport {
    std::string program; // "Tarvio2 0.1"
    std::string os;      // "Debian GNU/Linux 13 (trixie); Linux 6.12.0 x86_64"
    std::string libftdiVersion;
    std::string libusbVersion;
    std::string device;  // the interface tested; empty when none was
    std::string started; // UTC, ISO 8601
    std::vector<SelfTestStep> steps;
    std::vector<std::string> log; // the program's log lines during the test, bounded

    // Failed when a step failed, warning when one warned, ok otherwise.
    Verdict overall() const;
    std::vector<std::string> failedSteps() const;
};

std::string reportText(const SelfTestReport& report);
nlohmann::json reportJson(const SelfTestReport& report);

// The serial number as a report shows it: all but the last two characters masked, unless
// `show` is set.
std::string maskedSerial(const std::string& serial, bool show);

// The operating system as a report names it (distribution, kernel, machine).
std::string operatingSystemText();

} // namespace tarvio
