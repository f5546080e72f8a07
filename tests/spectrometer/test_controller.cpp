// The controller against a scripted interface: its log lines, the commands behind each
// operation, and scope data reaching the records through the monitoring thread.

#include "SpecTestSupport.h"

#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

const std::string First = "Medipix2 ver 1.0: AB12";
const std::string Second = "Medipix2 ver 1.0: CD34";

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = addAnsweringInterface(*pipe, First);
        controller = std::make_unique<TQrxController>();
        controller->SetLogHandler([this](const char* line) { log.add(line); });
        controller->SetPulseHandler([this] { ++pulses; });
    }
    void TearDown() override { controller.reset(); }

    void open() {
        ASSERT_TRUE(controller->Open(First));
        device->clearWritten();
        log.clear();
    }

    std::uint32_t countsIn(std::uint32_t channel) {
        QrxControllerCriticalSection lock(*controller);
        return controller->spectrum.counts[channel];
    }

    std::uint64_t totalCounts() {
        PulseBuffer pulse;
        Spectrum spectrum;
        controller->Snapshot(pulse, spectrum);
        std::uint64_t total = 0;
        for (std::uint32_t c : spectrum.counts) {
            total += c;
        }
        return total;
    }

    SharedManualTime clock;
    ScopedTimeSource useClock{clock};
    ScopedScriptedPipe pipe;
    std::shared_ptr<ScriptedDevice> device;
    LogRecorder log;
    std::atomic<int> pulses{0};
    std::unique_ptr<TQrxController> controller;
};

} // namespace

TEST_F(ControllerTest, openAndClose_logTheirLinesInOrder) {
    EXPECT_TRUE(controller->Open(First));
    EXPECT_TRUE(controller->opened());
    EXPECT_TRUE(MonitorRunning());
    addAnsweringInterface(*pipe, Second);
    EXPECT_TRUE(controller->Open(Second));
    controller->Close();
    EXPECT_FALSE(controller->opened());
    EXPECT_FALSE(MonitorRunning());
    controller->Close();

    const std::vector<std::string> expected = {
        "Opening device " + First + "...",  "Device " + First + " opened.",
        "Opening device " + Second + "...", "Device " + First + " closed.",
        "Device " + Second + " opened.",    "Device " + Second + " closed.",
        "Device " + Second + " closed.",
    };
    EXPECT_EQ(log.lines(), expected);
}

TEST_F(ControllerTest, unknownDescription_logsFailureAndKeepsMonitorRunning) {
    EXPECT_FALSE(controller->Open("Medipix2 nothing"));
    EXPECT_FALSE(controller->opened());
    EXPECT_TRUE(MonitorRunning());
    const std::vector<std::string> expected = {"Opening device Medipix2 nothing...",
                                               "Device Medipix2 nothing could not be opened!"};
    EXPECT_EQ(log.lines(), expected);

    // An open after the failed one works while the thread runs.
    EXPECT_TRUE(controller->Open(First));
    EXPECT_TRUE(controller->ConfigureScope());
}

TEST_F(ControllerTest, closeWithoutInterface_logsWithEmptyName) {
    controller->Close();
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Device  closed."});
}

TEST_F(ControllerTest, measurementStart_sendsExactBytes) {
    open();
    controller->ClearRecords();
    controller->SetSampleCount(450);
    EXPECT_TRUE(controller->ConfigureScope());
    EXPECT_TRUE(controller->ArmMeasurement(0.2));
    EXPECT_TRUE(controller->StartMeasurement());
    const std::vector<std::string> expected = {
        bytes({'A', 2, 0xC2, 0x01, 0x0F}),
        bytes({'Q', 0x0C}),
        bytes({'Z', 0x96, 0x08, 0x3D, 0, 0, 0, 0x10}),
        "l",
    };
    EXPECT_EQ(device->writes(), expected);
}

TEST_F(ControllerTest, defaultSampleCount_is450) {
    EXPECT_EQ(controller->sampleCount(), 450);
    open();
    EXPECT_TRUE(controller->ConfigureScope());
    EXPECT_EQ(device->writes().front(), bytes({'A', 2, 0xC2, 0x01, 0x0F}));
}

TEST_F(ControllerTest, stopWhoseFirstCommandFails_sendsNothingMore) {
    open();
    device->clearReplies();
    device->answerSynchronisation();
    EXPECT_FALSE(controller->StopMeasurement());
    for (const auto& w : device->writes()) {
        EXPECT_NE(w, "Y");
    }
    EXPECT_TRUE(log.contains("Timeout. Not received response to 'L'"));
}

TEST_F(ControllerTest, thresholdAndMonitor_convertVoltsBothWays) {
    std::string monitor(26, '\0');
    monitor[18] = 0x02; // r9 = 0x2BB = 699
    monitor[19] = static_cast<char>(0xBB);
    monitor[5] = 17; // r2
    monitor[7] = 33; // r3
    device = addAnsweringInterface(*pipe, Second, PlainResetAnswer, {}, monitor);
    ASSERT_TRUE(controller->Open(Second));
    device->clearWritten();

    ASSERT_TRUE(controller->ReadMonitor());
    EXPECT_DOUBLE_EQ(controller->monitorThreshold(), 699 * 2.5 / 4096);
    EXPECT_EQ(controller->monitorReading2(), 17);
    EXPECT_EQ(controller->monitorReading3(), 33);

    EXPECT_TRUE(controller->SetThreshold(2.5));
    EXPECT_TRUE(controller->SetThreshold(0.0));
    EXPECT_TRUE(controller->SetBias(0));
    const std::vector<std::string> expected = {"M", bytes({'>', 0, 0x00, 0x10}),
                                               bytes({'>', 0, 0, 0}), bytes({'b', 0})};
    EXPECT_EQ(device->writes(), expected);
}

TEST_F(ControllerTest, pulsesThroughMonitor_fillSpectrumAndKeepLastPulse) {
    open();
    device->queue(pulseMessage(100) + pulseMessage(3000) + pulseMessage(3000, 50));
    ASSERT_TRUE(eventually([&] { return pulses.load() == 3; }));
    EXPECT_EQ(countsIn(100), 1u);
    EXPECT_EQ(countsIn(3000), 2u);
    PulseBuffer pulse;
    Spectrum spectrum;
    controller->Snapshot(pulse, spectrum);
    EXPECT_EQ(pulse.sampleCount, 50u);
    EXPECT_EQ(pulse.maxSample, 3000);
    EXPECT_EQ(spectrum.maxCount, 2u);

    // A group is handed on by the receive path itself: each of its pulses counts once.
    device->queue("[" + pulseMessage(200) + "\"note\"\r" + pulseMessage(200) + "]");
    ASSERT_TRUE(eventually([&] { return pulses.load() == 5; }));
    EXPECT_EQ(countsIn(200), 2u);

    controller->ClearRecords();
    EXPECT_EQ(totalCounts(), 0u);
}

TEST_F(ControllerTest, singleShot_addsExactlyOneCount) {
    open();
    device->clearReplies();
    device->reply("a", okResponse('a') + pulseMessage(1234));
    answerCommands(*device);
    EXPECT_TRUE(controller->ConfigureScope());
    EXPECT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return pulses.load() == 1; }));
    EXPECT_EQ(countsIn(1234), 1u);
    EXPECT_EQ(totalCounts(), 1u);
}

TEST_F(ControllerTest, groupDuringCommand_isCountedOnTheCommandsThread) {
    open();
    // The group arrives ahead of the response: the waiting command hands it on itself.
    device->clearReplies();
    device->reply("l", "[\"hello\"\r" + pulseMessage(777) + "]" + okResponse('l'));
    answerCommands(*device);
    EXPECT_TRUE(controller->StartMeasurement());
    EXPECT_EQ(pulses.load(), 1);
    EXPECT_EQ(countsIn(777), 1u);
    EXPECT_FALSE(log.contains("hello")); // text messages are not errors
}

TEST_F(ControllerTest, barePulseBeforeResponse_isCountedAndCommandSucceeds) {
    open();
    // A pulse triggered just before Stop arrives bare ahead of the answer: it is background
    // traffic, not a wrong response, so neither the pulse nor the stop is lost.
    device->clearReplies();
    device->reply("L", pulseMessage(555) + okResponse('L'));
    answerCommands(*device);
    EXPECT_TRUE(controller->StopMeasurement());
    EXPECT_EQ(countsIn(555), 1u);
    EXPECT_FALSE(log.contains("Got response to different command"));
    const std::vector<std::string> expected = {"L", "Y"};
    EXPECT_EQ(device->writes(), expected);
}

TEST_F(ControllerTest, unaskedResponseAndErrorLine_areLoggedWholeAndReadable) {
    open();
    device->queue(okResponse('M', std::string(26, '\0')));
    ASSERT_TRUE(eventually([&] { return log.contains("Unhandled background message: [M"); }));
    EXPECT_TRUE(log.contains("Unhandled background message: [M = 0x4d .. \"ADC monitor\"]"));

    device->queue("!Chip overheated\r");
    ASSERT_TRUE(eventually([&] { return log.contains("Error received: Chip overheated"); }));
    EXPECT_TRUE(
        log.contains("Unhandled background message: [. = 0x00 .. \"Unknown command [00]\"]"));
}

TEST_F(ControllerTest, destroyedWhileMeasuring_stopsThreadAndLogsClose) {
    open();
    std::string burst;
    for (int i = 0; i < 200; ++i) {
        burst += pulseMessage(static_cast<std::uint16_t>(i));
    }
    device->queue(burst);
    controller.reset();
    EXPECT_FALSE(MonitorRunning());
    EXPECT_TRUE(log.contains("Device " + First + " closed."));
    EXPECT_FALSE(device->isOpen());
}

TEST_F(ControllerTest, trySnapshot_givesUpWhileAnotherThreadHoldsTheDataLock) {
    {
        QrxControllerCriticalSection lock(*controller);
        controller->spectrum.addCount(7);
    }
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        QrxControllerCriticalSection lock(*controller);
        held = true;
        while (!release.load())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    while (!held.load())
        std::this_thread::yield();
    Spectrum copy;
    EXPECT_FALSE(controller->TrySnapshot(copy, 0.02));
    release = true;
    holder.join();
    ASSERT_TRUE(controller->TrySnapshot(copy, 0.0));
    EXPECT_EQ(copy.counts[7], 1u);
}
