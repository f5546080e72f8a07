#include "selftest/SelfTestReport.h"

#include <sys/utsname.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tarvio {

const char* verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::Ok:
        return "ok";
    case Verdict::Warning:
        return "warning";
    case Verdict::Failed:
        return "failed";
    case Verdict::Skipped:
        break;
    }
    return "skipped";
}

Verdict SelfTestReport::overall() const {
    Verdict worst = Verdict::Ok;
    for (const SelfTestStep& step : steps) {
        if (step.verdict == Verdict::Failed)
            return Verdict::Failed;
        if (step.verdict == Verdict::Warning)
            worst = Verdict::Warning;
    }
    return worst;
}

std::vector<std::string> SelfTestReport::failedSteps() const {
    std::vector<std::string> failed;
    for (const SelfTestStep& step : steps)
        if (step.verdict == Verdict::Failed)
            failed.push_back(step.id);
    return failed;
}

std::string maskedSerial(const std::string& serial, bool show) {
    if (show || serial.size() <= 2)
        return serial.empty() || show ? serial : std::string(serial.size(), '*');
    return std::string(serial.size() - 2, '*') + serial.substr(serial.size() - 2);
}

std::string operatingSystemText() {
    std::string distribution;
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            distribution = line.substr(12);
            distribution.erase(std::remove(distribution.begin(), distribution.end(), '"'),
                               distribution.end());
        }
    }
    std::string kernel;
    utsname name{};
    if (::uname(&name) == 0)
        kernel = std::string(name.sysname) + " " + name.release + " " + name.machine;
    if (distribution.empty())
        return kernel;
    return kernel.empty() ? distribution : distribution + "; " + kernel;
}

std::string reportText(const SelfTestReport& report) {
    std::ostringstream out;
    out << "Interface self-test of " << report.program << ", " << report.started << "\n";
    out << "System: " << report.os << "; libftdi1 "
        << (report.libftdiVersion.empty() ? "?" : report.libftdiVersion) << ", libusb "
        << (report.libusbVersion.empty() ? "?" : report.libusbVersion) << "\n";
    out << "Interface: " << (report.device.empty() ? "none" : report.device) << "\n\n";
    for (const SelfTestStep& step : report.steps) {
        const std::string tag = std::string("[") + verdictName(step.verdict) + "]";
        out << tag << std::string(tag.size() < 10 ? 10 - tag.size() : 1, ' ') << step.title << ": "
            << step.sentence << "\n";
        for (const std::string& detail : step.details)
            out << "          " << detail << "\n";
    }
    const std::vector<std::string> failed = report.failedSteps();
    out << "\nVerdict: ";
    switch (report.overall()) {
    case Verdict::Failed: {
        out << "FAILED (";
        for (std::size_t i = 0; i < failed.size(); ++i)
            out << (i ? ", " : "") << failed[i];
        out << ").";
        break;
    }
    case Verdict::Warning:
        out << "passed, with warnings.";
        break;
    default:
        out << "every step passed.";
        break;
    }
    out << "\n";
    if (!report.log.empty()) {
        out << "\nLog during the test:\n";
        for (const std::string& line : report.log)
            out << "  " << line << "\n";
    }
    return out.str();
}

nlohmann::json reportJson(const SelfTestReport& report) {
    nlohmann::json steps = nlohmann::json::array();
    for (const SelfTestStep& step : report.steps) {
        steps.push_back({{"id", step.id},
                         {"title", step.title},
                         {"verdict", verdictName(step.verdict)},
                         {"sentence", step.sentence},
                         {"details", step.details},
                         {"figures", step.figures}});
    }
    return {{"program", report.program},
            {"os", report.os},
            {"libftdi1", report.libftdiVersion},
            {"libusb", report.libusbVersion},
            {"device", report.device},
            {"started", report.started},
            {"verdict", verdictName(report.overall())},
            {"failedSteps", report.failedSteps()},
            {"steps", steps},
            {"log", report.log}};
}

} // namespace tarvio
