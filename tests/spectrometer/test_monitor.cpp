// The monitoring thread's life: one thread however often it is started, released on every
// stop, and the dead-lock watchdog on a manual clock.

#include "SpecTestSupport.h"

#include "link/PrecisionClock.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// Threads of this process, as the kernel counts them.
int threadCount() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "Threads:") {
            int n = 0;
            status >> n;
            return n;
        }
    }
    return -1;
}

} // namespace

TEST(Monitor, startTwiceAndStopOften_holdsOneThreadAndLeaksNone) {
    SharedManualTime clock;
    ScopedTimeSource useClock(clock);
    ASSERT_TRUE(StopMonitor()); // never started: returns at once
    // A sanitizer's runtime starts a helper thread of its own with the first thread we make;
    // one start and stop first lets it appear before counting.
    ASSERT_TRUE(StartMonitor());
    ASSERT_TRUE(StopMonitor());
    const int before = threadCount();

    ASSERT_TRUE(StartMonitor());
    ASSERT_TRUE(StartMonitor());
    EXPECT_TRUE(MonitorRunning());
    EXPECT_EQ(threadCount(), before + 1);

    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(StopMonitor());
        EXPECT_FALSE(MonitorRunning());
        ASSERT_TRUE(StartMonitor());
    }
    ASSERT_TRUE(StopMonitor());
    EXPECT_EQ(threadCount(), before);
}

TEST(Monitor, threadStuckPastTwentySeconds_firesWatchdogOnce) {
    SharedManualTime clock;
    ScopedTimeSource useClock(clock);
    ScopedScriptedPipe pipe;
    const std::string name = "Medipix2 ver 1.0: AB12";
    auto device = addAnsweringInterface(*pipe, name);

    std::atomic<bool> release{false};
    std::atomic<bool> stuck{false};
    std::atomic<int> deadlocks{0};
    double firedAfter = 0;
    {
        TQrxController controller;
        // The pulse handler blocks the monitoring thread until the test lets it go.
        controller.SetPulseHandler([&] {
            stuck = true;
            while (!release.load()) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
        ASSERT_TRUE(controller.Open(name));
        device->queue(pulseMessage(10));
        ASSERT_TRUE(eventually([&] { return stuck.load(); }));

        const double t0 = PrecisionClock::instance().Now();
        // The rescue comes first and can still copy the spectrum the stuck thread counted.
        std::vector<std::string> order;
        std::uint32_t rescued = 0;
        SetMonitorRescue([&] {
            order.push_back("rescue");
            Spectrum copy;
            if (controller.TrySnapshot(copy, 1.0))
                rescued = copy.maxCount;
        });
        SetMonitorWatchdog(DefaultWatchdogSeconds, [&] {
            order.push_back("handler");
            firedAfter = PrecisionClock::instance().Now() - t0;
            ++deadlocks;
        });
        EXPECT_FALSE(StopMonitor());
        SetMonitorRescue({});
        EXPECT_EQ(order, (std::vector<std::string>{"rescue", "handler"}));
        EXPECT_EQ(rescued, 1u);
        EXPECT_EQ(deadlocks.load(), 1);
        EXPECT_GT(firedAfter, 20.0);
        EXPECT_LT(firedAfter, 20.5);

        release = true;
        EXPECT_TRUE(StopMonitor());
        EXPECT_FALSE(MonitorRunning());
        SetMonitorWatchdog(DefaultWatchdogSeconds, {});
    }
    EXPECT_EQ(deadlocks.load(), 1);
}
