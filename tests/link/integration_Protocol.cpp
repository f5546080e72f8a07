#include "LinkFixture.h"
#include "encodings/Encodings.h"
#include "link/CommandTable.h"
#include "link/Locks.h"
#include "link/Protocol.h"
#include "link/Transport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace tarvio {
namespace {

using ::testing::ElementsAre;

// Every message the hook received, copied at the time of the call.
struct HookedMessage {
    std::uint8_t code;
    bool background;
    std::string error;
    std::string message;
    std::string body;
};

std::vector<HookedMessage>& hooked() {
    static std::vector<HookedMessage> messages;
    return messages;
}

void recordMessage(DeviceLink&, QrxCommandResponse& m, std::int32_t) {
    HookedMessage h{m.code, m.background, m.errorText ? m.errorText : "",
                    m.messageText ? m.messageText : "",
                    m.data ? std::string(reinterpret_cast<char*>(m.data), m.count) : ""};
    hooked().push_back(h);
}

class ProtocolTest : public test::LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        hooked().clear();
        SetMessageHook(&recordMessage, 0);
    }

    // Texts and levels of the error reports made so far.
    std::vector<std::pair<ErrorCode, std::string>> errors() const {
        std::vector<std::pair<ErrorCode, std::string>> e;
        for (const auto& r : recorder.reports()) {
            if (IsError(r.level)) {
                e.emplace_back(r.level, r.text);
            }
        }
        return e;
    }

    bool execute(const std::string& command, double timeout = -1, std::uint32_t attempts = 0) {
        return ExecuteCommand(link, record, command.data(),
                              static_cast<std::uint32_t>(command.size()), timeout, attempts);
    }

    std::string body() const {
        return std::string(reinterpret_cast<const char*>(record.data), record.count);
    }

    QrxCommandResponse record{false};
};

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string scope(std::uint16_t n, const std::string& samples) {
    return std::string("$") + static_cast<char>(n & 0xFF) + static_cast<char>(n >> 8) + samples;
}

TEST_F(ProtocolTest, commandAnsweredInTime_reportsPerformedOk) {
    device->reply("_", "_OK\r", 0.2);
    EXPECT_TRUE(execute("_"));
    EXPECT_EQ(device->written(), "_");
    EXPECT_EQ(record.code, '_');
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::Message);
    EXPECT_EQ(recorder.reports().back().text, "Command \"Global reset\" performed OK.");
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(link.depth, 0);
}

TEST_F(ProtocolTest, textMessageBeforeResponse_goesToHookAndCommandSucceeds) {
    device->reply("i", "\"Hello 'world'\"\r");
    device->queueAfter(0.3, "iVersion 2.1\rOK\r");
    device->reply("i", "", 0); // nothing more for the same write
    EXPECT_TRUE(execute("i"));
    ASSERT_EQ(hooked().size(), 1u);
    EXPECT_EQ(hooked()[0].code, 0);
    EXPECT_EQ(hooked()[0].message, "\"Hello 'world'\"");
    EXPECT_EQ(body(), "Version 2.1");
    EXPECT_TRUE(errors().empty());
}

TEST_F(ProtocolTest, backgroundGroupDuringCommand_callsHookPerItemAndWaitGoesOn) {
    const std::string group = "[\"pulse\"\r" + scope(1, "\x10\x02\x20\x03") + "OK\r]";
    device->reply("a", group + "aOK\r");
    EXPECT_TRUE(execute("a"));
    ASSERT_EQ(hooked().size(), 2u);
    EXPECT_EQ(hooked()[0].code, 0);
    EXPECT_TRUE(hooked()[0].background);
    EXPECT_EQ(hooked()[0].message, "\"pulse\"");
    EXPECT_EQ(hooked()[1].code, '$');
    EXPECT_TRUE(hooked()[1].background);
    EXPECT_EQ(hooked()[1].body, std::string("\x01\x00\x10\x02\x20\x03", 6));
    EXPECT_EQ(record.code, 'a');
    // The interface's item record is left clean for the next group.
    EXPECT_EQ(descr->backgroundResponse.code, 0);
}

TEST_F(ProtocolTest, noAnswerFromSilentInterface_timesOutAndWritesEveryAttempt) {
    const double start = clock.now();
    EXPECT_FALSE(execute("_", -1, 3));
    EXPECT_EQ(device->written(), "_ _ _ ");
    const auto e = errors();
    // Per attempt: the failed search, the failed synchronisation, then the timeout.
    ASSERT_EQ(e.size(), 9u);
    EXPECT_EQ(e[2].first, ErrorCode::TimeoutError);
    EXPECT_TRUE(startsWith(e[2].second,
                           "Timeout. Not received response to '_' [0x5f] = \"Global reset\". "
                           "Resynchronization failed. (Synchronization failed ("))
        << e[2].second;
    // Each attempt: 0.5 s for the response, 1.5 s for the synchronisation answer.
    EXPECT_NEAR(clock.now() - start, 3 * 2.0, 0.1);
}

TEST_F(ProtocolTest, noAnswerButSynchronised_isUnsupportedOperation) {
    device->answerSynchronisation();
    EXPECT_FALSE(execute("_"));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].first, ErrorCode::UnsupportedOperation);
    EXPECT_EQ(errors()[0].second,
              "Timeout. Not received response to '_' [0x5f] = \"Global reset\". "
              "Resynchronization OK.");
    EXPECT_EQ(device->pending(), 0u);
}

TEST_F(ProtocolTest, responseToAnotherCommand_isReportedAndCommandSentAgain) {
    device->answerSynchronisation();
    device->reply("_", "iV\rOK\r", 0, 1);
    device->reply("_", "_OK\r");
    EXPECT_TRUE(execute("_", -1, 2));
    EXPECT_EQ(device->written(), "_ _");
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].first, ErrorCode::FatalError);
    EXPECT_EQ(errors()[0].second,
              "Got response to different command: 'i' [0x69] = \"Version info\", istead of '_' "
              "[0x5f] = \"Global reset\". Resynchronization OK.");
}

TEST_F(ProtocolTest, unknownResponseCode_givesTwoChainedReports) {
    device->answerSynchronisation();
    device->reply("_", "N");
    EXPECT_FALSE(execute("_"));
    const auto e = errors();
    ASSERT_GE(e.size(), 2u);
    EXPECT_EQ(e[0].first, ErrorCode::FatalError);
    EXPECT_EQ(e[0].second, "Unknown response received.. Resynchronization OK.");
    EXPECT_EQ(e[1].first, ErrorCode::FatalError);
    EXPECT_EQ(e[1].second, "Error receiving command response.. Resynchronization OK. "
                           "(Unknown response received.. Resynchronization OK.)");
}

TEST_F(ProtocolTest, onLineErrorLine_isBadResponseOtherLinesDeviceError) {
    device->queue("!Unit is on line.\r!Overheat\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.code, 0);
    EXPECT_STREQ(record.errorText, "Unit is on line.\r");
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::BadResponse);
    EXPECT_EQ(recorder.reports().back().text, "Error received: Unit is on line.\r");
    ClearReport(link);
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::DeviceError);
    EXPECT_EQ(recorder.reports().back().text, "Error received: Overheat\r");
    ASSERT_EQ(hooked().size(), 2u);
    EXPECT_EQ(hooked()[1].error, "Overheat\r");
}

TEST_F(ProtocolTest, errorLineDuringCommand_commandKeepsWaiting) {
    device->reply("x", "!Power low\rxOK\r");
    EXPECT_TRUE(execute("x"));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].second, "Error received: Power low\r");
}

TEST_F(ProtocolTest, unterminatedErrorLine_resynchronisesUnlessOnLine) {
    device->answerSynchronisation();
    device->queue("!Unit is on line.");
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::BadResponse);
    EXPECT_EQ(device->written(), "");
    device->queue("!broken");
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(device->written(), " ");
    EXPECT_EQ(recorder.reports().back().level, ErrorCode::DeviceError);
    EXPECT_TRUE(startsWith(recorder.reports().back().text, "broken. Resynchronization OK. (Error"));
}

// Lengths of the texts the hook was handed, looked for within the receive buffer only.
std::vector<std::size_t>& hookedTextLengths() {
    static std::vector<std::size_t> lengths;
    return lengths;
}

void measureText(DeviceLink&, QrxCommandResponse& m, std::int32_t) {
    const char* text = m.errorText ? m.errorText : m.messageText;
    hookedTextLengths().push_back(text ? strnlen(text, RxBufferSize) : 0);
}

TEST_F(ProtocolTest, textsFillingTheReceiveBuffer_endInsideItCutByOneCharacter) {
    SetMessageHook(&measureText, 0);
    device->answerSynchronisation();
    const std::size_t full = RxBufferSize;
    struct Case {
        const char* name;
        std::string bytes;
        bool received;
        std::size_t length; // of the text handed on, or left in the buffer
    };
    const Case cases[] = {
        // The carriage return lands in the last slot: the line is whole, the CR makes way.
        {"error line", "!" + std::string(full - 1, 'e') + "\r", true, full - 1},
        // No carriage return before the buffer is full.
        {"endless error line", "!" + std::string(full, 'e') + "\r", false, full - 1},
        // The closing quote lands in the last slot.
        {"text message", "\"" + std::string(full - 2, 't') + "\"\r", true, full - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hookedTextLengths().clear();
        device->queue(c.bytes);
        EXPECT_EQ(ReceiveMessage(link, record), c.received);
        if (c.received) {
            EXPECT_THAT(hookedTextLengths(), ElementsAre(c.length));
        } else {
            EXPECT_EQ(strnlen(reinterpret_cast<char*>(descr->rxBuffer), full), c.length);
            EXPECT_EQ(recorder.reports().back().level, ErrorCode::DeviceError); // resynchronised
        }
        device->clearIncoming();
        Synchronize(link);
    }
}

int& pulsesHandedOn() {
    static int count = 0;
    return count;
}

TEST_F(ProtocolTest, barePulsesThatNeverStop_endTheCommandsWaitAfterDeadlineAndGrace) {
    // Each pulse takes the host a millisecond to handle; 20 s of them queued, and more to come.
    static ManualTimeSource* time = nullptr;
    time = &clock;
    pulsesHandedOn() = 0;
    SetMessageHook(
        [](DeviceLink&, QrxCommandResponse& m, std::int32_t) {
            if (m.code == '$') {
                ++pulsesHandedOn();
                time->advance(0.001);
            }
        },
        0);
    std::string pulses;
    for (int i = 0; i < 20000; ++i) {
        pulses += scope(1, std::string("\x01\x00\x20\x00", 4)) + "OK\r";
    }
    device->queue(pulses);
    device->answerSynchronisation();
    EXPECT_FALSE(execute("L"));
    // The default 0.5 s and the 10 s grace: every pulse until then was handed on.
    EXPECT_GE(pulsesHandedOn(), 10400);
    EXPECT_LE(pulsesHandedOn(), 10600);
    EXPECT_TRUE(startsWith(recorder.reports().back().text,
                           "Timeout. Not received response to 'L' [0x4c] = \"Stop waiting for "
                           "trigger\". Resynchronization OK."));
}

TEST_F(ProtocolTest, shortScopeData_isAcceptedWhenTwoNBytesArrive) {
    device->queue(scope(3, "abcdef"));
    device->queueAfter(1.5, "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.code, '$');
    EXPECT_EQ(record.count, 8);
    EXPECT_EQ(body(), std::string("\x03\x00", 2) + "abcdef");
    EXPECT_TRUE(errors().empty());
}

TEST_F(ProtocolTest, scopeDataOneByteShort_resynchronises) {
    device->answerSynchronisation();
    device->queue(scope(3, "abcde"));
    EXPECT_FALSE(ReceiveMessage(link, record));
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_EQ(errors()[0].second,
              "Reception of frame stream failed - not enough data.. Resynchronization OK.");
}

TEST_F(ProtocolTest, scopeCountFFFF_wrapsToNoWordsAndReadsNothingMore) {
    device->queue(scope(0xFFFF, "OK\rtail"));
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.count, 2);
    EXPECT_EQ(QueueDepth(link), 4u); // read ahead from the driver, still waiting for the link
}

TEST_F(ProtocolTest, fullScopeData_allWordsRead) {
    std::string samples(2 * 450, '\x07');
    device->queue(scope(449, samples) + "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.count, 902);
}

TEST_F(ProtocolTest, chipIdList_readsFourBytesPerChip) {
    descr->chipCount = 2;
    device->queue("|abcdefghOK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(body(), "abcdefgh");
}

TEST_F(ProtocolTest, chipIdListWithNoChips_readsNoBodyBeyondTheFirstByte) {
    descr->chipCount = 0;
    device->queue("|xOK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(device->pending(), 0u);
}

TEST_F(ProtocolTest, fixedBodies_readExactlyOrResynchronise) {
    device->queue("M" + std::string(26, 'm') + "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.count, 26);
    device->queue("#\x02OK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(body(), "\x02");

    device->answerSynchronisation();
    device->queue("M" + std::string(10, 'm'));
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(errors()[0].second, "Missing response parameters.. Resynchronization OK.");
}

TEST_F(ProtocolTest, brokenTerminatorsAndShortResponses_resynchronise) {
    device->answerSynchronisation();
    device->queue("_OX\r");
    EXPECT_FALSE(ReceiveMessage(link, record));
    device->queue("_");
    EXPECT_FALSE(ReceiveMessage(link, record));
    device->queue("n\x01OK");
    EXPECT_FALSE(ReceiveMessage(link, record));
    const auto e = errors();
    ASSERT_EQ(e.size(), 6u);
    EXPECT_EQ(e[0].second, "Missing response terminator.. Resynchronization OK.");
    EXPECT_TRUE(startsWith(e[2].second, "Too short response.. Resynchronization OK. ("));
    EXPECT_TRUE(startsWith(e[4].second, "Missing response terminator.. Resynchronization OK. ("));
}

TEST_F(ProtocolTest, stringParameter_bodyEndsAtCarriageReturn) {
    device->queue("iTPX-2\rOK\r");
    EXPECT_TRUE(ReceiveMessage(link, record));
    EXPECT_EQ(record.count, 5);
    EXPECT_STREQ(reinterpret_cast<char*>(record.data), "TPX-2");
    device->answerSynchronisation();
    device->queue("iTPX");
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(errors()[0].second, "Reception of string parameter failed.. Resynchronization OK.");
}

TEST_F(ProtocolTest, textMessageFaults_reportMissingTerminators) {
    device->answerSynchronisation();
    device->queue("\"no end");
    EXPECT_FALSE(ReceiveMessage(link, record));
    device->queue("\"ends\"X");
    EXPECT_FALSE(ReceiveMessage(link, record));
    const auto e = errors();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].second, "Error receiving text message. Missing [\"] string terminator.. "
                           "Resynchronization OK.");
    EXPECT_TRUE(startsWith(e[1].second, "Error receiving text message. Missing [0x0d] "
                                        "terminator.. Resynchronization OK. (Error"));
}

TEST_F(ProtocolTest, groupFaults_reportTheirOwnTexts) {
    device->queue("[");
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(errors().back().first, ErrorCode::TimeoutError); // nobody answers the blank
    EXPECT_TRUE(startsWith(errors().back().second,
                           "Unexpected end of background message.. Resynchronization failed. ("));

    device->answerSynchronisation();
    recorder.reports().clear();
    device->queue("[\"a\"X");
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_TRUE(startsWith(errors().back().second,
                           "Error receiving background message text.. Resynchronization OK."));

    recorder.reports().clear();
    device->queue("[_OK\rN]");
    EXPECT_FALSE(ReceiveMessage(link, record));
    ASSERT_EQ(errors().size(), 2u);
    EXPECT_TRUE(
        startsWith(errors()[0].second, "Unknown response received.. Resynchronization OK."));
    EXPECT_TRUE(startsWith(errors()[1].second,
                           "Background message reception failed.. Resynchronization OK. (Unknown"));
    ASSERT_EQ(hooked().size(), 1u); // the good item before the broken one
    EXPECT_EQ(hooked()[0].code, '_');
}

TEST_F(ProtocolTest, emptyQueue_receivesNothingAndReportsNothing) {
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_FALSE(NextResponse(link, record));
    EXPECT_TRUE(recorder.reports().empty());
}

TEST_F(ProtocolTest, nextResponse_skipsMessagesUntilAResponse) {
    device->queue("\"one\"\r[]_OK\r");
    EXPECT_TRUE(NextResponse(link, record));
    EXPECT_EQ(record.code, '_');
    EXPECT_EQ(hooked().size(), 1u);
}

TEST_F(ProtocolTest, timedFrameStream_countsFramesAndDecodesIntoTarget) {
    descr->chipCount = 1;
    descr->largeCounters = false;
    std::vector<std::uint16_t> values(PixelsPerChip);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::uint16_t>(i % 8001);
    }
    std::vector<std::uint16_t> codes = values;
    ASSERT_TRUE(ConvertPseudoCodes(false, codes.data(), codes.size(), 0));
    std::string stream(StreamSize(*descr), '\0');
    ASSERT_TRUE(SerializeFrameStream(
        false, codes.data(), 1, reinterpret_cast<std::uint8_t*>(stream.data()), stream.size()));
    const std::string ticks("\x00\x2d\x31\x01\x00\x00", 6); // 20,000,000 ticks: 1 s
    std::vector<std::uint16_t> target(PixelsPerChip + 10, 0xABCD);
    QrxCommandResponse decoding(target.data(), PixelsPerChip, false);
    device->queue("m" + ticks + stream + "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, decoding));
    EXPECT_EQ(decoding.frameNumber, 1u);
    EXPECT_NEAR(decoding.frameTime, 1.0, 1e-9);
    EXPECT_EQ(static_cast<std::size_t>(decoding.count), StreamSize(*descr) + 6);
    // Row columns arrive reversed; compare as multisets of one row at least.
    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(target[PixelsPerChip], 0xABCD); // nothing written past the capacity
    std::uint64_t sumIn = 0;
    std::uint64_t sumOut = 0;
    for (std::size_t i = 0; i < PixelsPerChip; ++i) {
        sumIn += values[i];
        sumOut += target[i];
    }
    EXPECT_EQ(sumIn, sumOut);
    device->queue("m" + ticks + stream + "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, record)); // no target: not decoded, still counted
    EXPECT_EQ(record.frameNumber, 2u);
}

TEST_F(ProtocolTest, timedFrameStreamForImpossibleChipCount_neverOverrunsTheBuffer) {
    descr->chipCount = 200;
    device->answerSynchronisation();
    device->queue("m" + std::string(1000, 'x'));
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_TRUE(startsWith(errors()[0].second, "Reception of timed frame stream failed - "));
    EXPECT_EQ(device->pending(), 0u);
}

TEST_F(ProtocolTest, timedFrameStreamShort_resynchronises) {
    descr->chipCount = 1;
    device->answerSynchronisation();
    device->queue("m" + std::string(5000, 'x'));
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(errors()[0].second,
              "Reception of timed frame stream failed - not enough data.. Resynchronization OK.");
}

TEST_F(ProtocolTest, undecodableFrame_isReportedButReceptionSucceeds) {
    descr->chipCount = 1;
    const std::string ticks(6, '\0');
    std::vector<std::uint16_t> target(PixelsPerChip / 2);
    QrxCommandResponse decoding(target.data(), static_cast<std::uint32_t>(target.size()), false);
    device->queue("m" + ticks + std::string(StreamSize(*descr), '\xff') + "OK\r");
    EXPECT_TRUE(ReceiveMessage(link, decoding));
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].first, ErrorCode::GeneralError);
    EXPECT_EQ(errors()[0].second, "Error deserializing data stream");
}

TEST_F(ProtocolTest, unwritableCommand_reportsFailedAtTransmitLevel) {
    device->fail(PipeOp::Write, DRV_IO_ERROR, 2);
    EXPECT_FALSE(execute("x", -1, 2));
    const auto e = errors();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[1].first, ErrorCode::TransmissionFailed);
    EXPECT_EQ(e[1].second, "Command \"Medipix power ON\" failed. (Can't transmit - IO error)");
}

TEST_F(ProtocolTest, unpluggedInterface_failsPromptlyWithDriverReports) {
    for (PipeOp op : {PipeOp::QueueStatus, PipeOp::Read, PipeOp::Write}) {
        device->fail(op, DRV_IO_ERROR);
    }
    const double start = clock.now();
    EXPECT_FALSE(execute("_", -1, 3));
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_LT(clock.now() - start, 1.0);
    ASSERT_FALSE(errors().empty());
    EXPECT_TRUE(startsWith(errors().back().second, "Can't determine queue depth - IO error"));
    EXPECT_TRUE(startsWith(errors()[1].second, "Command \"Global reset\" failed. (Can't transmit"));
}

TEST_F(ProtocolTest, commandOnClosedInterface_failsWithoutTouchingIt) {
    DeviceLink stale(descr);
    DeviceLink closer(descr);
    CloseInterface(closer, true);
    EXPECT_FALSE(ExecuteCommand(stale, record, "x", 0, -1, 0));
    EXPECT_EQ(stale.level, ErrorCode::BadDeviceHandle);
}

TEST_F(ProtocolTest, executeCommand_restoresPriorityAndReleasesTheLock) {
    device->reply("x", "xOK\r");
    const int nice = CurrentThreadNice();
    EXPECT_TRUE(execute("x"));
    EXPECT_EQ(CurrentThreadNice(), nice);
    EXPECT_EQ(LinkLock().RecursionCount(), 0);
}

TEST_F(ProtocolTest, resynchronize_alwaysFalseWithLevelBySyncOutcome) {
    EXPECT_FALSE(Resynchronize(link, "Lost", ErrorCode::FatalError));
    EXPECT_EQ(link.level, ErrorCode::TimeoutError);
    device->answerSynchronisation();
    ClearReport(link);
    EXPECT_FALSE(Resynchronize(link, "Lost", ErrorCode::FatalError));
    EXPECT_EQ(link.level, ErrorCode::FatalError);
    EXPECT_STREQ(link.text, "Lost. Resynchronization OK.");
}

TEST(StreamSize, bothKinds_followTheChipCount) {
    DeviceDescr* descr = new DeviceDescr(1);
    descr->chipCount = 1;
    EXPECT_EQ(StreamSize(*descr), 114689u);
    descr->chipCount = 2;
    EXPECT_EQ(StreamSize(*descr), 2 * 114689u + 1);
    descr->chipCount = 9;
    EXPECT_EQ(StreamSize(*descr), 9 * 114689u + 1);
    descr->chipCount = 10;
    EXPECT_EQ(StreamSize(*descr), 10 * 114689u + 2);
    descr->largeCounters = true;
    descr->chipCount = 4;
    EXPECT_EQ(StreamSize(*descr), 4 * 114721u);
    EXPECT_EQ(PixelCount(*descr), 4 * 65536u);
    EXPECT_EQ(StreamSize(*descr), FrameStreamSize(true, 4));
    descr->largeCounters = false;
    EXPECT_EQ(StreamSize(*descr), FrameStreamSize(false, 4));
    descr->chipCount = 0;
    EXPECT_EQ(StreamSize(*descr), 0u);
    delete descr;
}

} // namespace
} // namespace tarvio
