#include "LinkFixture.h"
#include "link/PrecisionClock.h"
#include "link/Transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tarvio {
namespace {

using TransportTest = test::LinkFixture;
using ::testing::ElementsAre;

TEST_F(TransportTest, receiveAllWaitingFromEmptyQueue_returnsZeroSilently) {
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(Receive(link, buffer, 0, sizeof buffer), 0u);
    EXPECT_TRUE(recorder.reports().empty());
    EXPECT_EQ(buffer[0], 'x');
}

TEST_F(TransportTest, receiveCountBeyondSize_readsAtMostSizeWithoutTerminator) {
    device->queue("abcdefghij");
    char buffer[6] = "#####";
    EXPECT_EQ(Receive(link, buffer, 10, 4), 4u);
    EXPECT_EQ(std::string(buffer, 5), "abcd#");
    // What is left is read by a count of 0, with the terminator after it.
    char rest[16];
    std::memset(rest, '#', sizeof rest);
    EXPECT_EQ(Receive(link, rest, 0, 0), 6u);
    EXPECT_STREQ(rest, "efghij");
}

TEST_F(TransportTest, receiveShortOfCount_endsAtReadTimeoutWithTerminator) {
    device->queue("ab");
    char buffer[8];
    const double start = clock.now();
    EXPECT_EQ(Receive(link, buffer, 5, 8), 2u);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_NEAR(clock.now() - start, 1.0, 0.02);
}

TEST_F(TransportTest, driverFailures_areReportedWithStatusText) {
    device->fail(PipeOp::QueueStatus, DRV_IO_ERROR, 1);
    EXPECT_EQ(QueueDepth(link), 0u);
    device->fail(PipeOp::Read, DRV_DEVICE_NOT_FOUND, 1);
    device->queue("a");
    char buffer[4];
    EXPECT_EQ(Receive(link, buffer, 1, 4), 0u);
    device->fail(PipeOp::Write, DRV_FAILED_TO_WRITE_DEVICE, 1);
    EXPECT_EQ(Transmit(link, "abc", 0), 0u);
    ASSERT_EQ(recorder.reports().size(), 3u);
    EXPECT_EQ(recorder.reports()[0].level, ErrorCode::DeviceNotResponding);
    EXPECT_EQ(recorder.reports()[0].text, "Can't determine queue depth - IO error");
    EXPECT_EQ(recorder.reports()[1].text,
              "Can't receive - Device not found (Can't determine queue depth - IO error)");
    EXPECT_EQ(recorder.reports()[2].level, ErrorCode::TransmissionFailed);
    EXPECT_EQ(recorder.reports()[2].text.substr(0, 38), "Can't transmit - Failed to write devic");
    // Each failing operation was the only one in progress.
    EXPECT_EQ(recorder.reports()[0].depth, 1);
}

TEST_F(TransportTest, receiveCache_oneStatusAndOneReadServeEveryQueuedByte) {
    device->queue("abc");
    EXPECT_EQ(QueueDepth(link), 3u);
    char bytes[4] = {};
    EXPECT_EQ(Receive(link, bytes, 1, 1), 1u);
    // From here on every driver call fails: the rest comes from the one read already made.
    device->fail(PipeOp::QueueStatus, DRV_IO_ERROR);
    device->fail(PipeOp::Read, DRV_IO_ERROR);
    EXPECT_EQ(QueueDepth(link), 2u);
    EXPECT_EQ(Receive(link, bytes + 1, 2, 3), 2u);
    EXPECT_STREQ(bytes, "abc");
    EXPECT_TRUE(recorder.reports().empty());
    // Used up: the driver is asked again.
    EXPECT_EQ(QueueDepth(link), 0u);
    EXPECT_THAT(reportTexts(), ElementsAre("Can't determine queue depth - IO error"));
}

TEST_F(TransportTest, receiveCache_emptiedBySynchronisationAndPurge) {
    // A late synchronisation answer read ahead must not pass for the answer to a new blank.
    device->queue(std::string("x") + " " + SyncPattern);
    ASSERT_GT(QueueDepth(link), 0u);
    char byte = 0;
    ASSERT_EQ(Receive(link, &byte, 1, 1), 1u);
    device->answerSynchronisation();
    EXPECT_TRUE(Synchronize(link));
    EXPECT_EQ(QueueDepth(link), 0u);

    device->queue("leftovers");
    ASSERT_GT(QueueDepth(link), 0u);
    ASSERT_EQ(Receive(link, &byte, 1, 1), 1u);
    ConfigureInterface(*descr, false, false, 1); // purges
    EXPECT_EQ(QueueDepth(link), 0u);
}

TEST_F(TransportTest, transmit_writesTextLengthOrGivenLengthAndPartialWrites) {
    EXPECT_EQ(Transmit(link, "i", 0), 1u);
    const char bytes[] = {'d', 0, 1};
    EXPECT_EQ(Transmit(link, bytes, 3), 3u);
    device->limitWrites(2);
    EXPECT_EQ(Transmit(link, "abcd", 4), 2u);
    EXPECT_THAT(device->writes(), ElementsAre("i", std::string(bytes, 3), "ab"));
}

TEST_F(TransportTest, linkWithoutOpenInterface_isReportedNotTouched) {
    DeviceLink stray;
    char buffer[4];
    EXPECT_EQ(QueueDepth(stray), 0u);
    EXPECT_EQ(Receive(stray, buffer, 1, 4), 0u);
    EXPECT_EQ(Transmit(stray, "x", 1), 0u);
    EXPECT_FALSE(Synchronize(stray));
    EXPECT_EQ(recorder.reports()[0].level, ErrorCode::BadDeviceHandle);
    EXPECT_EQ(recorder.reports()[0].text, "Invalid device handle.");
}

TEST_F(TransportTest, waitForByte_countsSkippedBytesOrFailsAtTimeout) {
    device->queue("xyO");
    EXPECT_EQ(WaitForByte(link, 'O', 1.0, 0), 3);
    device->queue("xy");
    const double start = clock.now();
    EXPECT_EQ(WaitForByte(link, 'O', 1.0, 0), -2);
    EXPECT_NEAR(clock.now() - start, 1.0, 0.02);
    // Nothing at all within the default 1.5 s.
    const double second = clock.now();
    EXPECT_EQ(WaitForByte(link, 'O', 0, 0), 0);
    EXPECT_NEAR(clock.now() - second, 1.5, 0.02);
}

TEST_F(TransportTest, waitForByte_gapIsASecondLimitFromTheStart) {
    device->queueAfter(0.05, "x");
    device->queueAfter(0.15, "O");
    EXPECT_EQ(WaitForByte(link, 'O', 5.0, 0.1), -1);
}

TEST_F(TransportTest, waitForString_mismatchRestartsAfterTheMismatchingByte) {
    device->queue("zOOK\r");
    EXPECT_EQ(WaitForString(link, "OK\r", 3, 0.5, 0), -3);
    EXPECT_THAT(reportTexts(), ElementsAre("Searched string not detected."));
    device->queue("zOK\r");
    EXPECT_EQ(WaitForString(link, "OK\r", 0, 0.5, 0), 4);
}

TEST_F(TransportTest, waitForString_bytesArrivingLate_stillMatchBeforeDeadline) {
    device->queueAfter(0.2, "--O");
    device->queueAfter(0.4, "K\r");
    EXPECT_EQ(WaitForString(link, "OK\r", 3, 1.0, 0), 5);
}

TEST_F(TransportTest, receiveUntil_storesTerminatorAndNulOrFailsWithCount) {
    device->queue("abc\r");
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ReceiveUntil(link, buffer, sizeof buffer, 0x0d, 1.0, 0), 3);
    EXPECT_EQ(std::string(buffer, 5), std::string("abc\r\0", 5));

    device->queue("abc");
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(ReceiveUntil(link, buffer, sizeof buffer, 0x0d, 1.0, 0), -3);
    EXPECT_EQ(std::string(buffer, 4), std::string("abc\0", 4));

    device->queue("\r");
    EXPECT_EQ(ReceiveUntil(link, buffer, sizeof buffer, 0x0d, 1.0, 0), 0);
}

TEST_F(TransportTest, receiveUntil_fullBufferWithoutTerminator_stopsAtSize) {
    device->queue("abcdefgh\r");
    char buffer[5] = {};
    EXPECT_EQ(ReceiveUntil(link, buffer, 4, 0x0d, 1.0, 0), -4);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(buffer[4], 0); // untouched
}

TEST_F(TransportTest, receiveUntil_gapLimitsThePauseBetweenBytes) {
    device->queueAfter(0.05, "a");
    device->queueAfter(0.10, "b");
    device->queueAfter(0.30, "c\r");
    char buffer[8];
    EXPECT_EQ(ReceiveUntil(link, buffer, sizeof buffer, '\r', 5.0, 0.1), -2);
    EXPECT_STREQ(buffer, "ab");
}

TEST_F(TransportTest, synchronize_skipsLeftoversUpToThePattern) {
    device->answerSynchronisation();
    device->queue("garbage OK\r12");
    EXPECT_TRUE(Synchronize(link));
    EXPECT_EQ(device->written(), " ");
    EXPECT_EQ(device->pending(), 0u);
    // Bytes after the pattern stay queued.
    device->clearReplies();
    device->reply(" ", std::string(" ") + SyncPattern + "tail");
    EXPECT_TRUE(Synchronize(link));
    EXPECT_EQ(QueueDepth(link), 4u); // read ahead from the driver, still waiting for the link
}

TEST_F(TransportTest, synchronize_silentInterface_reportsBothFailures) {
    const double start = clock.now();
    EXPECT_FALSE(Synchronize(link));
    EXPECT_NEAR(clock.now() - start, 1.5, 0.05);
    ASSERT_EQ(recorder.reports().size(), 2u);
    EXPECT_EQ(recorder.reports()[0].text, "Searched string not detected.");
    EXPECT_EQ(recorder.reports()[1].level, ErrorCode::TimeoutError);
    EXPECT_EQ(recorder.reports()[1].text, "Synchronization failed (Searched string not detected.)");
}

TEST_F(TransportTest, synchronize_unwritableBlank_reportsCantSynchronize) {
    device->fail(PipeOp::Write, DRV_IO_ERROR, 1);
    EXPECT_FALSE(Synchronize(link));
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::TransmissionFailed);
    EXPECT_EQ(recorder.reports().back().text, "Can't synchronize (Can't transmit - IO error)");
}

// Time that passes a little with every reading, as real time does while bytes are read.
class TickingTimeSource final : public TimeSource {
public:
    double now() override { return t_ += 0.001; }
    void sleepFor(double seconds) override { t_ += seconds > 0 ? seconds : 0.001; }

private:
    double t_ = 5000.0;
};

TEST_F(TransportTest, endlessStream_endsTheWaitSoonAfterItsDeadline) {
    TickingTimeSource ticking;
    ScopedTimeSource scope(ticking);
    device->queue(std::string(200000, 'x')); // a device that never stops sending garbage
    const double start = PrecisionClock::instance().Now();
    EXPECT_LT(WaitForByte(link, 'O', 1.0, 0), 0);
    EXPECT_LT(PrecisionClock::instance().Now() - start, 1.0 + 10.5);
    EXPECT_GT(device->pending(), 0u);
    EXPECT_LE(WaitForString(link, "OK\r", 3, 1.0, 0), 0);
    std::vector<char> buffer(300000);
    EXPECT_LT(
        ReceiveUntil(link, buffer.data(), static_cast<std::int32_t>(buffer.size()), '\r', 1.0, 0),
        0);
    EXPECT_GT(device->pending(), 0u);
}

} // namespace
} // namespace tarvio
