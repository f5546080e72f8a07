#include "driver/Backend.h"
#include "driver/Driver.h"
#include "driver/ScriptedPipe.h"
#include "driver/TimeSource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tarvio {
namespace {

class ScriptedPipeTest : public ::testing::Test {
protected:
    DriverHandle open(const char* description) {
        DriverHandle handle = 0;
        EXPECT_EQ(DriverOpenByDescription(description, &handle), DRV_OK);
        return handle;
    }

    std::string read(DriverHandle handle, std::uint32_t count) {
        std::string buffer(count, '\0');
        std::uint32_t got = 0;
        EXPECT_EQ(DriverRead(handle, buffer.data(), count, &got), DRV_OK);
        buffer.resize(got);
        return buffer;
    }

    std::uint32_t queued(DriverHandle handle) {
        std::uint32_t rx = 99;
        EXPECT_EQ(DriverGetStatus(handle, &rx, nullptr, nullptr), DRV_OK);
        return rx;
    }

    ManualTimeSource clock{100.0};
    ScopedTimeSource timeScope{clock};
    ScopedScriptedPipe pipe;
};

// A backend of lower rank (real hardware) is listed before the pipe, whatever the order of
// installation.
class OneDeviceBackend final : public DriverBackend {
public:
    int rank() const override { return 0; }
    DriverStatus enumerate(std::vector<std::string>& d) override {
        d.push_back("Hardware");
        return DRV_OK;
    }
    DriverStatus open(const std::string&, std::unique_ptr<DriverDevice>&) override {
        return DRV_DEVICE_NOT_OPENED;
    }
};

TEST_F(ScriptedPipeTest, listing_followsRankThenOrderOfAddition) {
    pipe->addDevice("Medipix2 ver 1");
    pipe->addDevice("Other");
    auto hardware = std::make_shared<OneDeviceBackend>();
    installBackend(hardware);
    std::uint32_t count = 0;
    ASSERT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
    ASSERT_EQ(count, 3u);
    char description[DriverTextSize];
    ASSERT_EQ(DriverGetDeviceInfoDetail(0, description), DRV_OK);
    EXPECT_STREQ(description, "Hardware");
    ASSERT_EQ(DriverGetDeviceInfoDetail(2, description), DRV_OK);
    EXPECT_STREQ(description, "Other");
    EXPECT_EQ(DriverGetDeviceInfoDetail(3, description), DRV_DEVICE_NOT_FOUND);
    removeBackend(hardware);
}

TEST_F(ScriptedPipeTest, deviceAddedAfterListing_canStillBeOpened) {
    std::uint32_t count = 0;
    ASSERT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
    pipe->addDevice("Late");
    DriverHandle handle = 0;
    EXPECT_EQ(DriverOpenByDescription("Late", &handle), DRV_OK);
    EXPECT_EQ(DriverOpenByDescription("Missing", &handle), DRV_DEVICE_NOT_FOUND);
    DriverClose(handle);
}

TEST_F(ScriptedPipeTest, read_returnsAtCountOrWithFewerBytesAfterTimeout) {
    auto device = pipe->addDevice("D");
    const DriverHandle h = open("D");
    device->queue("abc");
    EXPECT_EQ(queued(h), 3u);
    EXPECT_EQ(read(h, 2), "ab");
    EXPECT_EQ(clock.now(), 100.0);
    EXPECT_EQ(read(h, 5), "c");
    EXPECT_NEAR(clock.now(), 101.0, 1e-9);
    ASSERT_EQ(DriverSetTimeouts(h, 200, 200), DRV_OK);
    EXPECT_EQ(read(h, 1), "");
    EXPECT_NEAR(clock.now(), 101.2, 1e-9);
    DriverClose(h);
}

TEST_F(ScriptedPipeTest, timedBytes_arriveWhenTheClockReachesThem) {
    auto device = pipe->addDevice("D");
    const DriverHandle h = open("D");
    device->queueAt(100.5, "late");
    device->queueAfter(0.25, "early");
    EXPECT_EQ(queued(h), 0u);
    EXPECT_EQ(read(h, 5), "early");
    EXPECT_NEAR(clock.now(), 100.25, 1e-9);
    EXPECT_EQ(read(h, 9), "late");
    EXPECT_NEAR(clock.now(), 101.25, 1e-9); // the read waited out its timeout for the rest
    DriverClose(h);
}

TEST_F(ScriptedPipeTest, chunkQueuedWithAnEarlierTime_arrivesAfterBytesAlreadyDue) {
    // Another thread read the time, then queued: its bytes must not slip in front of a chunk
    // the host has half read, nor in front of any other byte already in the receive queue.
    auto device = pipe->addDevice("Medipix2 ver 1");
    const DriverHandle h = open("Medipix2 ver 1");
    const double earlier = clock.now();
    clock.advance(0.5);
    device->queue("AAAA");
    EXPECT_EQ(read(h, 2), "AA");
    device->queueAt(earlier, "BB");
    device->queueAfter(1.0, "DD");
    device->queueAt(earlier, "CC");
    EXPECT_EQ(read(h, 6), "AABBCC");
    clock.advance(1.0);
    EXPECT_EQ(read(h, 2), "DD");
}

TEST_F(ScriptedPipeTest, writes_areKeptAndAnsweredByReplies) {
    auto device = pipe->addDevice("D");
    device->reply("_", "_OK\r", 0, 1);
    device->reply("b", "bOK\r", 0.1);
    const DriverHandle h = open("D");
    std::uint32_t written = 0;
    EXPECT_EQ(DriverWrite(h, "_", 1, &written), DRV_OK);
    EXPECT_EQ(DriverWrite(h, "_", 1, &written), DRV_OK);
    EXPECT_EQ(DriverWrite(h, "b\x05", 2, &written), DRV_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(device->written(), "__b\x05");
    EXPECT_EQ(read(h, 8), "_OK\rbOK\r"); // the reply rule for "_" was used once only
    device->limitWrites(1);
    EXPECT_EQ(DriverWrite(h, "xyz", 3, &written), DRV_OK);
    EXPECT_EQ(written, 1u);
    DriverClose(h);
}

TEST_F(ScriptedPipeTest, injectedFailures_returnTheirStatusForTheirCount) {
    auto device = pipe->addDevice("D");
    device->fail(PipeOp::Open, DRV_DEVICE_NOT_OPENED, 1);
    DriverHandle h = 0;
    EXPECT_EQ(DriverOpenByDescription("D", &h), DRV_DEVICE_NOT_OPENED);
    h = open("D");
    device->fail(PipeOp::Read, DRV_IO_ERROR, 2);
    std::uint32_t got = 7;
    char buffer[4];
    EXPECT_EQ(DriverRead(h, buffer, 1, &got), DRV_IO_ERROR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(DriverRead(h, buffer, 1, &got), DRV_IO_ERROR);
    device->fail(PipeOp::QueueStatus, DRV_OTHER_ERROR);
    std::uint32_t rx = 5;
    EXPECT_EQ(DriverGetStatus(h, &rx, nullptr, nullptr), DRV_OTHER_ERROR);
    EXPECT_EQ(rx, 0u);
    device->clearFailures();
    EXPECT_EQ(queued(h), 0u);
    DriverClose(h);
}

TEST_F(ScriptedPipeTest, silentDevice_holdsBackEverythingUntilItSpeaks) {
    auto device = pipe->addDevice("D");
    device->reply("_", "_OK\r");
    const DriverHandle h = open("D");
    device->queue("abc");
    device->setSilent(true);
    std::uint32_t written = 0;
    EXPECT_EQ(DriverWrite(h, "_", 1, &written), DRV_OK);
    EXPECT_EQ(queued(h), 0u);
    EXPECT_EQ(read(h, 1), "");
    device->setSilent(false);
    EXPECT_EQ(read(h, 10), "abc");
    DriverClose(h);
}

TEST_F(ScriptedPipeTest, closedOrUnknownHandle_isInvalid) {
    auto device = pipe->addDevice("D", "S1", 6, 0x1234);
    const DriverHandle h = open("D");
    std::uint32_t type = 0;
    std::uint32_t id = 0;
    char serial[DriverTextSize];
    char description[DriverTextSize];
    ASSERT_EQ(DriverGetDeviceInfo(h, &type, &id, serial, description), DRV_OK);
    EXPECT_EQ(type, 6u);
    EXPECT_EQ(id, 0x1234u);
    EXPECT_STREQ(serial, "S1");
    EXPECT_EQ(DriverClose(h), DRV_OK);
    EXPECT_FALSE(device->isOpen());
    EXPECT_EQ(DriverClose(h), DRV_INVALID_HANDLE);
    std::uint32_t got = 0;
    char buffer[2];
    EXPECT_EQ(DriverRead(h, buffer, 1, &got), DRV_INVALID_HANDLE);
    EXPECT_EQ(DriverWrite(h, "x", 1, &got), DRV_INVALID_HANDLE);
    EXPECT_EQ(DriverPurge(12345, 3), DRV_INVALID_HANDLE);
}

TEST_F(ScriptedPipeTest, longDescription_isCutToTheDriverTextSize) {
    const std::string longText(100, 'L');
    pipe->addDevice(longText);
    std::uint32_t count = 0;
    ASSERT_EQ(DriverCreateDeviceInfoList(&count), DRV_OK);
    char description[DriverTextSize + 8];
    std::memset(description, '#', sizeof description);
    ASSERT_EQ(DriverGetDeviceInfoDetail(0, description), DRV_OK);
    EXPECT_EQ(std::strlen(description), DriverTextSize - 1);
    EXPECT_EQ(description[DriverTextSize], '#');
}

} // namespace
} // namespace tarvio
