#include "LinkFixture.h"
#include "link/Report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarvio {
namespace {

using test::ReportRecorder;

TEST(Report, nullFormat_storesDefaultText) {
    ReportRecorder recorder;
    DeviceLink link;
    EXPECT_FALSE(Report(link, ErrorCode::Message, nullptr));
    EXPECT_STREQ(link.text, "No error description given");
    EXPECT_EQ(link.level, ErrorCode::Message);
}

TEST(Report, successiveReports_chainNewestFirstUntilCleared) {
    ReportRecorder recorder;
    DeviceLink link;
    Report(link, ErrorCode::Message, "A%d", 1);
    Report(link, ErrorCode::Message, "B");
    EXPECT_STREQ(link.text, "B (A1)");
    Report(link, ErrorCode::Message, "C");
    EXPECT_STREQ(link.text, "C (B (A1))");
    link.depth = 3;
    ClearReport(link);
    EXPECT_EQ(link.level, ErrorCode::NoError);
    EXPECT_EQ(link.depth, 0);
    Report(link, ErrorCode::Message, "D");
    EXPECT_STREQ(link.text, "D");
}

TEST(Report, textsAtTheBound_endInTwoDotsAndNeverOverrun) {
    ReportRecorder recorder;
    struct Guarded {
        DeviceLink link;
        char after[16];
    } guarded;
    std::memset(guarded.after, 'Z', sizeof guarded.after);
    DeviceLink& link = guarded.link;

    const std::string t252(252, 'a');
    Report(link, ErrorCode::Message, "%s", t252.c_str());
    EXPECT_EQ(std::string(link.text), t252);

    ClearReport(link);
    const std::string t253(253, 'b');
    Report(link, ErrorCode::Message, "%s", t253.c_str());
    EXPECT_EQ(std::string(link.text), t253 + "..");

    ClearReport(link);
    const std::string t1000(1000, 'c');
    Report(link, ErrorCode::Message, "%s", t1000.c_str());
    EXPECT_EQ(std::string(link.text), std::string(253, 'c') + "..");

    // The chained history is cut at the same bound.
    Report(link, ErrorCode::Message, "new");
    EXPECT_EQ(std::strlen(link.text), 255u);
    EXPECT_EQ(std::string(link.text).substr(0, 6), "new (c");
    EXPECT_EQ(std::string(link.text).substr(253), "..");

    for (char c : guarded.after) {
        EXPECT_EQ(c, 'Z');
    }
}

TEST(Report, withoutHook_errorsGoToBoxAndMessagesNowhere) {
    ReportRecorder recorder;
    DeviceLink link;
    link.depth = 2;
    EXPECT_FALSE(Report(link, ErrorCode::Message, "progress"));
    EXPECT_TRUE(recorder.boxes().empty());
    EXPECT_TRUE(Report(link, ErrorCode::GeneralError, "broken %s", "pipe"));
    ASSERT_EQ(recorder.boxes().size(), 1u);
    EXPECT_EQ(recorder.boxes()[0].caption, "General error - No device (2)");
    EXPECT_EQ(recorder.boxes()[0].text, "broken pipe (progress)");
}

TEST(Report, linkToUnregisteredInterface_captionSaysUnknownDevice) {
    ReportRecorder recorder;
    DeviceDescr* stray = new DeviceDescr(77);
    std::strcpy(stray->description, "Medipix2 ver 9");
    DeviceLink link(stray);
    Report(link, ErrorCode::TimeoutError, "late");
    ASSERT_EQ(recorder.boxes().size(), 1u);
    EXPECT_EQ(recorder.boxes()[0].caption, "Timeout error - Unknown device (0)");
    delete stray;
}

TEST(Report, unnamedCode_isErrorWithUnknownTypeCaption) {
    ReportRecorder recorder;
    DeviceLink link;
    EXPECT_TRUE(Report(link, static_cast<ErrorCode>(42), "odd"));
    EXPECT_FALSE(Report(link, static_cast<ErrorCode>(-3), "negative"));
    ASSERT_EQ(recorder.boxes().size(), 1u);
    EXPECT_EQ(recorder.boxes()[0].caption, "Unknown error type - No device (0)");
}

TEST(Report, installedHook_receivesEveryReportAndNoBoxIsShown) {
    ReportRecorder recorder;
    recorder.hookReports();
    DeviceLink link;
    Report(link, ErrorCode::Message, "one");
    Report(link, ErrorCode::FatalError, "two");
    ASSERT_EQ(recorder.reports().size(), 2u);
    EXPECT_EQ(recorder.reports()[1].level, ErrorCode::FatalError);
    EXPECT_EQ(recorder.reports()[1].text, "two (one)");
    EXPECT_TRUE(recorder.boxes().empty());
}

TEST(ErrorTexts, namesAndStatuses_matchTheirTables) {
    EXPECT_STREQ(ErrorCodeName(ErrorCode::NoError), "No error");
    EXPECT_STREQ(ErrorCodeName(ErrorCode::DeviceNotResponding), "Device is not responding");
    EXPECT_STREQ(ErrorCodeName(ErrorCode::UnsupportedOperation), "Unsupported operation");
    EXPECT_STREQ(ErrorCodeName(static_cast<ErrorCode>(12)), "Unknown error type");
    EXPECT_STREQ(ErrorCodeName(static_cast<ErrorCode>(-1)), "Unknown error type");
    EXPECT_STREQ(StatusText(0), "OK");
    EXPECT_STREQ(StatusText(5), "Insuficient resources");
    EXPECT_STREQ(StatusText(18), "Other Error");
    EXPECT_STREQ(StatusText(19), "Unknown driver status");
    EXPECT_STREQ(StatusText(0xFFFFFFFFu), "Unknown driver status");
}

} // namespace
} // namespace tarvio
