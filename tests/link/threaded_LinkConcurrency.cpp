// The window thread executing commands while a monitoring thread receives unasked messages on
// the same interface: the link lock keeps every exchange whole.
#include "LinkFixture.h"
#include "link/Locks.h"
#include "link/Protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tarvio {
namespace {

int messagesSeen = 0; // changed by the hook, which runs with the link lock held

void countMessage(DeviceLink&, QrxCommandResponse& m, std::int32_t) {
    if (m.code == 0 && m.messageText) {
        ++messagesSeen;
    }
}

using LinkConcurrency = test::LinkFixture;

TEST_F(LinkConcurrency, commandsWhileMonitorReceives_neverInterleaveBytes) {
    constexpr int Messages = 200;
    constexpr int Commands = 100;
    messagesSeen = 0;
    SetMessageHook(&countMessage, 0);
    device->reply("x", "xOK\r");
    for (int i = 0; i < Messages; ++i) {
        device->queueAt(clock.now() + 0.001 * i, "\"pulse " + std::to_string(i) + "\"\r");
    }

    std::atomic<bool> done{false};
    std::thread monitor([&] {
        DeviceLink own(descr);
        QrxCommandResponse record(false);
        while (!done.load()) {
            ClearReport(own);
            if (!ReceiveMessage(own, record)) {
                timeSource().sleepFor(0);
            }
        }
    });
    int succeeded = 0;
    for (int i = 0; i < Commands; ++i) {
        DeviceLink window(descr);
        QrxCommandResponse record;
        if (ExecuteCommand(window, record, "x", 1, -1, 0)) {
            ++succeeded;
        }
    }
    // Let the monitor drain what is left (in real time: it may run slowly under a sanitizer),
    // then wait for the message it may be in the middle of.
    for (int i = 0; i < 10000 && device->pending() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    { QrxCriticalSection wait; }
    done = true;
    monitor.join();

    EXPECT_EQ(succeeded, Commands);
    EXPECT_EQ(messagesSeen, Messages);
    EXPECT_TRUE(recorder.errors().empty())
        << (recorder.errors().empty() ? "" : recorder.errors()[0]);
    EXPECT_EQ(LinkLock().RecursionCount(), 0);
}

} // namespace
} // namespace tarvio
