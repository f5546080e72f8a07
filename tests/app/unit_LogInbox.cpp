// The hand-over of log lines and pulse notices from the monitoring thread to the window.

#include "app/LogInbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using namespace tarvio;

TEST(LogInbox, linesAndPulses_takenInOrderAndOneWakeUpPerBatch) {
    LogInbox inbox(10);
    int wakes = 0;
    inbox.setWake([&] { ++wakes; });
    inbox.pushLine("one");
    inbox.notifyPulse();
    inbox.pushLine("two");
    EXPECT_EQ(wakes, 1);
    LogInbox::Batch batch = inbox.take();
    EXPECT_EQ(batch.lines, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(batch.pulses, 1u);
    EXPECT_EQ(batch.droppedLines, 0u);
    EXPECT_TRUE(inbox.take().empty());
    inbox.pushLine("three");
    EXPECT_EQ(wakes, 2);
}

TEST(LogInbox, limitedTake_restWaitsWithoutAnotherWakeUpUntilTakenToo) {
    LogInbox inbox(10);
    int wakes = 0;
    inbox.setWake([&] { ++wakes; });
    for (const char* line : {"a", "b", "c", "d", "e"})
        inbox.pushLine(line);
    LogInbox::Batch first = inbox.take(2);
    EXPECT_EQ(first.lines, (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(first.more);
    inbox.pushLine("f"); // the taker comes back on its own
    EXPECT_EQ(wakes, 1);
    LogInbox::Batch rest = inbox.take(10);
    EXPECT_EQ(rest.lines, (std::vector<std::string>{"c", "d", "e", "f"}));
    EXPECT_FALSE(rest.more);
    inbox.pushLine("g");
    EXPECT_EQ(wakes, 2);
}

TEST(LogInbox, flood_keepsTheNewestLinesAndCountsTheRest) {
    LogInbox inbox(3);
    for (int i = 0; i < 10; ++i)
        inbox.pushLine(std::to_string(i));
    const LogInbox::Batch batch = inbox.take();
    EXPECT_EQ(batch.lines, (std::vector<std::string>{"7", "8", "9"}));
    EXPECT_EQ(batch.droppedLines, 7u);
}

TEST(LogInbox, manyThreads_everyLineArrivesOnceAndInEachThreadsOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 5000;
    LogInbox inbox(threads * perThread);
    std::atomic<int> wakes{0};
    inbox.setWake([&] { ++wakes; });
    std::atomic<int> finished{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                inbox.pushLine(std::to_string(t) + ":" + std::to_string(i));
                inbox.notifyPulse();
            }
            ++finished;
        });
    // The reader takes batches while the writers write, as the window does.
    std::vector<std::string> lines;
    std::uint64_t pulses = 0;
    auto drain = [&] {
        LogInbox::Batch b = inbox.take();
        lines.insert(lines.end(), b.lines.begin(), b.lines.end());
        pulses += b.pulses;
        EXPECT_EQ(b.droppedLines, 0u);
    };
    while (finished.load() < threads) {
        drain();
        std::this_thread::yield();
    }
    for (auto& w : writers)
        w.join();
    drain();
    EXPECT_GE(wakes.load(), 1);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(threads * perThread));
    EXPECT_EQ(pulses, static_cast<std::uint64_t>(threads * perThread));
    std::vector<int> next(threads, 0);
    for (const std::string& line : lines) {
        const int t = std::stoi(line.substr(0, line.find(':')));
        const int i = std::stoi(line.substr(line.find(':') + 1));
        EXPECT_EQ(i, next[t]) << line;
        next[t] = i + 1;
    }
}
