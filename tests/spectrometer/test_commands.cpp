// Command wrappers on the wire, and the reset with chip detection of the open path, against a
// scripted interface on a manual clock.

#include "SpecTestSupport.h"

#include "link/DeviceDescr.h"
#include "link/Interfaces.h"
#include "link/Report.h"
#include "spectrometer/Commands.h"
#include "encodings/Encodings.h"
#include "spectrometer/InterfaceReset.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

struct Reported {
    ErrorCode level;
    std::string text;
};

std::mutex reportsMutex;
std::vector<Reported> reports;

void recordReport(DeviceLink& link, std::int32_t) {
    std::lock_guard<std::mutex> guard(reportsMutex);
    reports.push_back({link.level, link.text});
}

const std::string Description = "Medipix2 ver 1.0: AB12";

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallChipDetection();
        reports.clear();
        SetReportHook(&recordReport, 0);
    }
    void TearDown() override {
        if (descr) {
            DeviceLink closing(descr);
            CloseInterface(closing, true);
        }
        SetReportHook(nullptr, 0);
    }

    // Opens the scripted interface with reset and chip detection.
    void open(const std::string& resetAnswer = PlainResetAnswer,
              const std::string& chipRecords = {}) {
        device = addAnsweringInterface(*pipe, Description, resetAnswer, chipRecords);
        descr = OpenInterface(Description.c_str(), true, false);
        ASSERT_NE(descr, nullptr);
        link.Attach(descr);
        device->clearWritten();
    }

    bool reported(ErrorCode level, const std::string& part) const {
        for (const auto& r : reports) {
            if (r.level == level && r.text.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    ManualTimeSource clock;
    ScopedTimeSource useClock{clock};
    ScopedScriptedPipe pipe;
    std::shared_ptr<ScriptedDevice> device;
    DeviceDescr* descr = nullptr;
    DeviceLink link;
};

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

} // namespace

TEST_F(CommandsTest, everyWrapper_sendsItsExactBytes) {
    open();
    EXPECT_TRUE(SetBiasVoltage(link, 0x80));
    EXPECT_TRUE(ScopeConfigure(link, 2, 450, 15));
    EXPECT_TRUE(SingleShotScope(link));
    EXPECT_TRUE(SetInterfaceDac(link, 0, 327));
    EXPECT_TRUE(SetupTrigger(link, 12));
    EXPECT_TRUE(SetupIntervalTimer(link, 0.2, 16));
    EXPECT_TRUE(StopIntervalTimer(link));
    EXPECT_TRUE(StartWaitingForTrigger(link));
    EXPECT_TRUE(StopWaitingForTrigger(link));
    EXPECT_TRUE(GlobalReset(link));

    const std::vector<std::string> expected = {
        bytes({'b', 0x80}),
        bytes({'A', 2, 0xC2, 0x01, 15}),
        "a",
        bytes({'>', 0, 0x47, 0x01}),
        bytes({'Q', 12}),
        bytes({'Z', 0x96, 0x08, 0x3D, 0x00, 0x00, 0x00, 0x10}),
        "Y",
        "l",
        "L",
        "_",
    };
    EXPECT_EQ(device->writes(), expected);
    EXPECT_TRUE(reported(ErrorCode::Message, "Command \"Set bias voltage\" performed OK."));
}

TEST_F(CommandsTest, adcMonitor_decodesTwelveBitBigEndianReadings) {
    std::string body(26, '\0');
    body[18] = static_cast<char>(0xF5); // reading 9
    body[19] = 0x34;
    body[4] = 0x01; // reading 2
    body[5] = 0x02;
    device = addAnsweringInterface(*pipe, Description, PlainResetAnswer, {}, body);
    descr = OpenInterface(Description.c_str(), true, false);
    ASSERT_NE(descr, nullptr);
    link.Attach(descr);

    AdcReadings readings{};
    ASSERT_TRUE(ReadAdcMonitor(link, readings));
    EXPECT_EQ(readings[9], 0x534);
    EXPECT_EQ(readings[2], 0x102);
    EXPECT_EQ(readings[0], 0);
}

TEST_F(CommandsTest, failedOrUnaddressedExchange_leavesReadingsAndSendsNothing) {
    open();
    device->clearReplies();
    device->answerSynchronisation();
    AdcReadings readings;
    readings.fill(7);
    EXPECT_FALSE(ReadAdcMonitor(link, readings));
    EXPECT_EQ(readings[9], 7);
    EXPECT_EQ(device->writes().front(), "M");

    DeviceLink nowhere;
    device->clearWritten();
    EXPECT_FALSE(SetBiasVoltage(nowhere, 1));
    EXPECT_FALSE(SetupIntervalTimer(nowhere, 0.2, 16));
    EXPECT_EQ(nowhere.level, ErrorCode::BadDeviceHandle);
    EXPECT_NE(std::string(nowhere.text).find("Invalid device handle."), std::string::npos);
    EXPECT_TRUE(device->written().empty());
}

TEST_F(CommandsTest, plainBoard_getsChipCountAndIdentifierFromDescription) {
    open();
    EXPECT_EQ(descr->chipCount, 1);
    EXPECT_FALSE(descr->largeCounters);
    EXPECT_FALSE(descr->timepix);
    EXPECT_STREQ(descr->chipIdText, "AB12");
    EXPECT_FALSE(reported(ErrorCode::Message, "retries needed"));
}

TEST_F(CommandsTest, timepixBoardWithRetries_readsChipIdentifiers) {
    const std::string chips = bytes({0, ReverseBits(0x23), ReverseBits(123), ReverseBits(8)}) +
                              bytes({0, ReverseBits(0x24), ReverseBits(124), ReverseBits(8)});
    open("!Unit is on line. !Unit is on line. !Unit is on line. "
         "Medipix TPX chips: 2 Medipix chips: 2 Ready",
         chips);
    EXPECT_TRUE(reported(ErrorCode::Message, "2 retries needed to reset the interface."));
    EXPECT_EQ(descr->chipCount, 2);
    EXPECT_TRUE(descr->largeCounters);
    EXPECT_TRUE(descr->timepix);
    EXPECT_STREQ(descr->chipIdText, "C10-W0123 D10-W0124");

    char text[8];
    ASSERT_TRUE(ReadChipboardId(link, text, sizeof text));
    EXPECT_STREQ(text, "C10-W01");
    char full[80];
    ASSERT_TRUE(ReadChipboardId(link, full, -1));
    EXPECT_STREQ(full, "C10-W0123 D10-W0124");
}

TEST_F(CommandsTest, unknownChipType_keepsFlagsAndReadsIdentifiers) {
    open("!Unit is on line. Medipix XYZ chips: 1 Medipix chips: 1 Ready", bytes({0, 0, 0, 0}));
    EXPECT_EQ(descr->chipCount, 1);
    EXPECT_FALSE(descr->largeCounters);
    EXPECT_FALSE(descr->timepix);
    // The flags stayed clear, so the identifier came from the description.
    EXPECT_STREQ(descr->chipIdText, "AB12");
}

TEST_F(CommandsTest, unansweredChipboardId_keepsWhatTheResetFound) {
    device = pipe->addDevice(Description);
    device->reply("_", okResponse('_') +
                           "!Unit is on line. Medipix MXR chips: 1 Medipix chips: 1 Ready\r");
    device->answerSynchronisation();
    descr = OpenInterface(Description.c_str(), true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_TRUE(descr->largeCounters);
    EXPECT_FALSE(descr->timepix);
    EXPECT_STREQ(descr->chipIdText, "");
    EXPECT_TRUE(reported(ErrorCode::UnsupportedOperation, "Not received response to '|'"));
}

TEST_F(CommandsTest, badAnswers_failTheResetWithTheirReports) {
    open("Hello world");
    EXPECT_TRUE(
        reported(ErrorCode::FatalError, "Reset command failed. Bad response format: Hello world"));
    CloseInterface(link, true);
    descr = nullptr;
    pipe->removeDevice(device);

    reports.clear();
    open("");
    EXPECT_EQ(descr->chipCount, 0);
    EXPECT_TRUE(reported(ErrorCode::Message, "Reset command failed. Bad response."));
    CloseInterface(link, true);
    descr = nullptr;
    pipe->removeDevice(device);

    // No answer line at all: the reset command succeeds, then 10 s pass without a CR.
    reports.clear();
    device = pipe->addDevice(Description);
    device->reply("_", okResponse('_') + "!Unit is on");
    descr = OpenInterface(Description.c_str(), true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_EQ(descr->chipCount, 0);
    EXPECT_TRUE(reported(ErrorCode::Message, "Reset command failed. Bad response."));
}

TEST_F(CommandsTest, silentInterface_resetIsTriedThreeTimes) {
    device = pipe->addDevice(Description);
    descr = OpenInterface(Description.c_str(), true, false);
    ASSERT_NE(descr, nullptr);
    int resets = 0;
    for (const auto& w : device->writes()) {
        resets += w == "_";
    }
    EXPECT_EQ(resets, 3);
    EXPECT_EQ(descr->chipCount, 0);
}
