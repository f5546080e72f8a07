#pragma once
// A scripted interface on a manual clock, with every report and error box recorded.

#include "driver/ScriptedPipe.h"
#include "driver/TimeSource.h"
#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/Protocol.h"
#include "link/Report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarvio::test {

struct RecordedReport {
    ErrorCode level;
    std::string text;
    int depth;
};

struct RecordedBox {
    std::string caption;
    std::string text;
};

// Process-wide recorders the hooks write into (the hooks are plain functions).
inline std::vector<RecordedReport>& recordedReports() {
    static std::vector<RecordedReport> reports;
    return reports;
}

inline std::vector<RecordedBox>& recordedBoxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
}

// Texts of the reports recorded so far, in order.
inline std::vector<std::string> recordedReportTexts() {
    std::vector<std::string> texts;
    for (const auto& r : recordedReports()) {
        texts.push_back(r.text);
    }
    return texts;
}

inline void recordReport(DeviceLink& link, std::int32_t) {
    recordedReports().push_back({link.level, link.text, link.depth});
}

// Records error boxes for its lifetime; leaves no hook installed.
class ReportRecorder {
public:
    ReportRecorder() {
        recordedReports().clear();
        recordedBoxes().clear();
        SetReportHook(nullptr, 0);
        SetErrorBoxSink([](const char* caption, const char* text) {
            recordedBoxes().push_back({caption, text});
        });
    }
    ~ReportRecorder() {
        SetReportHook(nullptr, 0);
        SetErrorBoxSink({});
    }
    void hookReports() { SetReportHook(&recordReport, 0); }
    std::vector<RecordedReport>& reports() const { return recordedReports(); }
    std::vector<RecordedBox>& boxes() const { return recordedBoxes(); }
    // Texts of the recorded reports at level 2 and above.
    std::vector<std::string> errors() const {
        std::vector<std::string> texts;
        for (const auto& r : recordedReports()) {
            if (IsError(r.level)) {
                texts.push_back(r.text);
            }
        }
        return texts;
    }
};

// One scripted interface, opened without detection, on a manual clock; reports recorded.
class LinkFixture : public ::testing::Test {
protected:
    static constexpr const char* Description = "Medipix2 ver 1.0: AB12";

    void SetUp() override {
        device = pipe->addDevice(Description, "SN42");
        descr = OpenInterface(Description, false, false);
        ASSERT_NE(descr, nullptr);
        link.Attach(descr);
        recorder.reports().clear();
        recorder.boxes().clear();
        recorder.hookReports();
    }

    void TearDown() override {
        SetMessageHook(nullptr, 0);
        while (RegisteredCount() > 0) {
            DeviceLink closer(RegisteredInterface(0));
            CloseInterface(closer, true);
        }
    }

    // Texts of the reports made so far, in order.
    std::vector<std::string> reportTexts() const { return recordedReportTexts(); }

    ManualTimeSource clock{1000.0};
    ScopedTimeSource timeScope{clock};
    ScopedScriptedPipe pipe;
    ReportRecorder recorder;
    std::shared_ptr<ScriptedDevice> device;
    DeviceDescr* descr = nullptr;
    DeviceLink link;
};

} // namespace tarvio::test
