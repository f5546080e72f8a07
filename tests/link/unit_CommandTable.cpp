#include "link/CommandResponse.h"
#include "link/CommandTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>

namespace tarvio {
namespace {

TEST(CommandTable, rows_areSeventyThreeUniqueCodesClosedByZero) {
    std::set<int> codes;
    for (int i = 0; i < CommandCount; ++i) {
        EXPECT_NE(CommandTable[i].code, 0);
        EXPECT_NE(CommandTable[i].name, nullptr);
        codes.insert(CommandTable[i].code);
    }
    EXPECT_EQ(codes.size(), 73u);
    EXPECT_EQ(CommandTable[CommandCount].code, 0);
    EXPECT_EQ(CommandTable[0].code, '_');
    EXPECT_EQ(CommandTable[CommandCount - 1].code, '\'');
}

TEST(CommandTable, sampleRows_carryTheirShapeAndName) {
    const CommandInfo* d = FindCommand('d');
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->paramBytes, 33);
    EXPECT_EQ(d->responseType, 2);
    EXPECT_EQ(FindCommand('S')->paramBytes, -2);
    EXPECT_EQ(ResponseTypeOf('M'), 26);
    EXPECT_EQ(ResponseTypeOf(' '), 36);
    EXPECT_EQ(ResponseTypeOf('$'), ScopeData);
    EXPECT_EQ(ResponseTypeOf('|'), ChipIdList);
    EXPECT_EQ(ResponseTypeOf('m'), TimedFrameStream);
    EXPECT_EQ(ResponseTypeOf('i'), StringParameter);
    EXPECT_EQ(ResponseTypeOf('N'), -1000);
    EXPECT_EQ(ResponseTypeOf(0), -1000);
    EXPECT_STREQ(CommandName('#'), "Get mumber of medipix chips");
    EXPECT_STREQ(CommandName('.'), "Oscilating shutter");
    EXPECT_STREQ(CommandName('E'), "Set default matrix (0xffff)");
}

TEST(CommandName, knownCodes_giveTheirNames) {
    EXPECT_STREQ(CommandName(0x5F), "Global reset");
    EXPECT_STREQ(CommandName(0x20), "Synchronisation packet");
}

TEST(CommandName, missingCodes_giveCharacterOrHexFallback) {
    EXPECT_STREQ(CommandName('N'), "Unknown command [N]");
    EXPECT_STREQ(CommandName(0x0D), "Unknown command [0d]");
    EXPECT_STREQ(CommandName(0xC8), "Unknown command [c8]");
    EXPECT_STREQ(CommandName(0x7F), "Unknown command [\x7f]");
    EXPECT_STREQ(CommandName(0x80), "Unknown command [80]");
}

TEST(CommandName, twoThreadsNamingMissingCodes_keepTheirOwnText) {
    auto worker = [](std::uint8_t code, std::string expected, bool& ok) {
        ok = true;
        for (int i = 0; i < 20000; ++i) {
            if (expected != CommandName(code)) {
                ok = false;
            }
        }
    };
    bool okA = false;
    bool okB = false;
    std::thread a(worker, std::uint8_t{0x01}, "Unknown command [01]", std::ref(okA));
    std::thread b(worker, std::uint8_t{'N'}, "Unknown command [N]", std::ref(okB));
    a.join();
    b.join();
    EXPECT_TRUE(okA);
    EXPECT_TRUE(okB);
}

TEST(QrxCommandResponse, reset_clearsReceptionButKeepsTargetAndLock) {
    std::uint16_t frame[8];
    QrxCommandResponse record(frame, 8, true);
    record.background = true;
    record.code = 'm';
    record.count = 5;
    record.frameNumber = 9;
    record.frameTime = 1.5;
    record.Reset();
    EXPECT_FALSE(record.background);
    EXPECT_EQ(record.code, 0);
    EXPECT_EQ(record.count, 0);
    EXPECT_EQ(record.frameNumber, 0u);
    EXPECT_EQ(record.frameTime, 0.0);
    EXPECT_EQ(record.frameTarget, frame);
    EXPECT_EQ(record.frameCapacity, 8u);
    EXPECT_TRUE(record.IsLocked());
}

TEST(QrxCommandResponse, lockingRecord_holdsLinkLockForItsLifetime) {
    const int before = LinkLock().RecursionCount();
    {
        QrxCommandResponse locking;
        EXPECT_EQ(LinkLock().RecursionCount(), before + 1);
        QrxCommandResponse plain(false);
        EXPECT_FALSE(plain.IsLocked());
        EXPECT_EQ(plain.frameTarget, nullptr);
    }
    EXPECT_EQ(LinkLock().RecursionCount(), before);
}

} // namespace
} // namespace tarvio
