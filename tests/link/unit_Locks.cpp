#include "driver/TimeSource.h"
#include "link/DeviceLink.h"
#include "link/Locks.h"
#include "link/PrecisionClock.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tarvio {
namespace {

bool lockFreeForOtherThread() {
    bool acquired = false;
    std::thread other([&] {
        acquired = LinkLock().TryEnter();
        if (acquired) {
            LinkLock().Leave();
        }
    });
    other.join();
    return acquired;
}

TEST(QrxCriticalSection, repeatedLockAndUnlock_leaveRecursionAsBefore) {
    const int before = LinkLock().RecursionCount();
    {
        QrxCriticalSection holder;
        holder.Lock();
        EXPECT_TRUE(holder.IsLocked());
        EXPECT_EQ(LinkLock().RecursionCount(), before + 1);
        holder.Unlock();
        holder.Unlock();
        EXPECT_FALSE(holder.IsLocked());
        EXPECT_EQ(LinkLock().RecursionCount(), before);
        holder.Lock();
    }
    EXPECT_EQ(LinkLock().RecursionCount(), before);
    EXPECT_TRUE(lockFreeForOtherThread());
}

TEST(QrxCriticalSection, nestedHoldersOnOneThread_doNotBlockAndReleaseFully) {
    {
        QrxCriticalSection outer;
        QrxCriticalSection inner;
        QrxCriticalSection notLocking(false);
        EXPECT_FALSE(notLocking.IsLocked());
        EXPECT_EQ(LinkLock().RecursionCount(), 2);
        EXPECT_FALSE(lockFreeForOtherThread());
    }
    EXPECT_TRUE(lockFreeForOtherThread());
}

TEST(MCriticalSection, threadTakingTheLockOverAndOver_letsAWaitingThreadIn) {
    // The monitoring thread's pattern: take the lock for one message, leave, take it again.
    // It counts the rounds it took the lock while another thread already waited for it:
    // overtaking a waiter, which yielding keeps to the one round whose check came before the
    // waiter arrived. Counted by the busy thread itself, the figure does not depend on how
    // the threads are scheduled; once the waiter holds the lock, the busy thread coming
    // round to wait again is as it should be.
    MCriticalSection lock;
    std::atomic<bool> stop{false};
    std::atomic<long> rounds{0};
    std::atomic<long> overtaken{0};
    std::thread busy([&] {
        while (!stop.load()) {
            lock.YieldToWaiters();
            lock.Enter();
            if (lock.HasWaiters())
                overtaken.fetch_add(1);
            rounds.fetch_add(1);
            std::this_thread::sleep_for(std::chrono::microseconds(50)); // a message's work
            lock.Leave();
        }
    });
    while (rounds.load() < 20) {
        std::this_thread::yield();
    }
    for (int attempt = 0; attempt < 20; ++attempt) {
        lock.Enter();
        EXPECT_LE(overtaken.exchange(0), 2) << "attempt " << attempt;
        lock.Leave();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    stop.store(true);
    busy.join();
}

TEST(QrxStatLeveler, nestedGuards_countDepthAndRestoreIt) {
    DeviceLink link;
    {
        QrxStatLeveler a(link);
        {
            QrxStatLeveler b(link);
            EXPECT_EQ(link.depth, 2);
        }
        EXPECT_EQ(link.depth, 1);
    }
    EXPECT_EQ(link.depth, 0);
}

TEST(ThreadPriorityBoost, endOfBoost_restoresEarlierPriority) {
    // In a thread of its own, so the test runner's priority is never touched.
    std::thread worker([] {
        ASSERT_EQ(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 5), 0);
        const int before = CurrentThreadNice();
        {
            ThreadPriorityBoost boost(ThreadPriorityTimeCritical);
            // Raised where the process may, kept otherwise; never lowered.
            EXPECT_LE(CurrentThreadNice(), before);
            { ThreadPriorityBoost nested(ThreadPriorityTimeCritical); }
        }
        EXPECT_EQ(CurrentThreadNice(), before);
        {
            ThreadPriorityBoost lower(-10); // below the thread's present priority
            EXPECT_EQ(CurrentThreadNice(), before);
        }
        EXPECT_EQ(CurrentThreadNice(), before);
    });
    worker.join();
}

TEST(PrecisionClock, readingsInARow_areNonDecreasingAndNearWallClock) {
    PrecisionClock& clock = PrecisionClock::instance();
    const double a = clock.Now();
    const double b = clock.Now();
    EXPECT_LE(a, b);
    EXPECT_EQ(clock.lastReading(), b);
    const double wall =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(b, wall, 5.0);
}

TEST(PrecisionClock, manualTimeSource_drivesTheClock) {
    PrecisionClock& clock = PrecisionClock::instance();
    ManualTimeSource manual(500.0);
    ScopedTimeSource scope(manual);
    const double a = clock.Now();
    manual.sleepFor(2.5);
    EXPECT_DOUBLE_EQ(clock.Now() - a, 2.5);
}

} // namespace
} // namespace tarvio
