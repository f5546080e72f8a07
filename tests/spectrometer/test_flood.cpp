// A flood of short pulses at the simulated interface's highest rate, on the real clock: the
// window's Stop and Close must get through within a second, with no dead-lock abort, and the
// spectrum must hold every pulse the interface delivered.

#include "SpecTestSupport.h"

#include "driver/Backend.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using namespace tarvio;

namespace {

// A sanitizer slows every thread down many times, and the host then falls behind the wire:
// Stop waits while the backlog is drained. The bounds hold for the program as built to run.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr double Within = 20.0;
#else
constexpr double Within = 1.0;
#endif

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST(Flood, shortPulsesAtTheHighestRate_stopAndCloseWithinASecond) {
    std::atomic<int> deadlocks{0};
    SetMonitorWatchdog(DefaultWatchdogSeconds, [&] { ++deadlocks; });
    struct Case {
        const char* name;
        bool fastMode;
        std::uint16_t samples;
    };
    for (const Case c : {Case{"paced, 1 sample", false, 1}, Case{"paced, 450 samples", false, 450},
                         Case{"fast, 1 sample", true, 1}}) {
        SCOPED_TRACE(c.name);
        SimulatorConfig config;
        config.activity = SimulatorConfig::MaxActivity;
        config.fastMode = c.fastMode;
        auto backend = SimulatedBackend::install(config);
        auto sim = backend->interface();
        {
            TQrxController controller;
            std::vector<std::string> devices;
            controller.ListDevices(devices);
            ASSERT_FALSE(devices.empty());
            ASSERT_TRUE(controller.Open(devices.front()));
            // The window's Start with Samples 1 and Delay 0.
            ASSERT_TRUE(controller.SetBias(1));
            controller.SetSampleCount(c.samples);
            ASSERT_TRUE(controller.ConfigureScope());
            ASSERT_TRUE(controller.ArmMeasurement(0.0));
            ASSERT_TRUE(controller.StartMeasurement());
            std::this_thread::sleep_for(std::chrono::milliseconds(300));

            auto start = std::chrono::steady_clock::now();
            EXPECT_TRUE(controller.StopMeasurement()) << controller.link.text;
            EXPECT_LT(secondsSince(start), Within);
            start = std::chrono::steady_clock::now();
            controller.Close();
            EXPECT_LT(secondsSince(start), Within);

            PulseBuffer pulse;
            Spectrum spectrum;
            controller.Snapshot(pulse, spectrum);
            const auto counted =
                std::accumulate(spectrum.counts.begin(), spectrum.counts.end(), std::uint64_t{0});
            EXPECT_GT(counted, 100u);
            EXPECT_EQ(counted, sim->stats().pulsesDelivered);
        }
        removeBackend(backend);
    }
    EXPECT_EQ(deadlocks.load(), 0);
    SetMonitorWatchdog(DefaultWatchdogSeconds, {});
}

} // namespace
