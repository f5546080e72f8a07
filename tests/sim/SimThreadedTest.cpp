// The simulated interface used from several threads at once, on the real clock: the host's
// receiving thread, and a test that watches and unplugs.

#include "SimLinkFixture.h"

#include "spectrometer/Commands.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace tarvio::test {
namespace {

TEST(SimThreaded, unplugFromAnotherThread_endsABlockingRead) {
    removeAllBackends();
    ScopedSimulatedBackend simulated;
    const auto sim = simulated.interface();
    std::uint64_t session = 0;
    ASSERT_EQ(sim->open(session), DRV_OK);
    ASSERT_EQ(sim->setTimeouts(session, 60000, 1000), DRV_OK); // a read that would wait a minute
    std::atomic<DriverStatus> status{DRV_OK};
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread reader([&] {
        std::uint8_t buffer[100];
        std::uint32_t got = 0;
        status = sim->read(session, buffer, sizeof buffer, got);
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    sim->unplug();
    reader.join();
    EXPECT_TRUE(done);
    EXPECT_NE(status.load(), DRV_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    removeAllBackends();
}

// On the real clock: bytes take their time on the wire, and the interval timer paces pulses.
TEST(SimRealTime, wireRateAndIntervalTimer_paceInRealTime) {
    SimulatorConfig config;
    config.wireRate = 200.0; // bytes per second: the 40-byte synchronisation answer takes 0.2 s
    SimulatedInterface sim(config);
    std::uint64_t session = 0;
    ASSERT_EQ(sim.open(session), DRV_OK);
    std::uint32_t n = 0;
    const std::uint8_t blank = ' ';
    const auto start = std::chrono::steady_clock::now();
    sim.write(session, &blank, 1, n);
    std::uint8_t answer[40];
    ASSERT_EQ(sim.read(session, answer, sizeof answer, n), DRV_OK);
    EXPECT_EQ(n, 40u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));

    SimulatorConfig paced;
    SimulatedInterface pulses(paced);
    ASSERT_EQ(pulses.open(session), DRV_OK);
    // Bias on, trigger set up, interval of 50 ms (999894 ticks), waiting for triggers.
    const std::uint8_t arm[] = {'b', 1, 'Q', 12, 'Z', 0xD6, 0x41, 0x0F, 0, 0, 0, 16, 'l'};
    const auto armed = std::chrono::steady_clock::now();
    pulses.write(session, arm, sizeof arm, n);
    std::vector<std::uint8_t> sink(1 << 16);
    while (std::chrono::steady_clock::now() - armed < std::chrono::milliseconds(300)) {
        std::uint32_t queued = 0;
        pulses.queueStatus(session, queued);
        pulses.read(session, sink.data(), queued, n);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - armed).count();
    std::uint32_t queued = 0;
    pulses.queueStatus(session, queued);
    pulses.read(session, sink.data(), queued, n);
    // One pulse per elapsed interval (2000 photons a second fill every one of them).
    EXPECT_NEAR(double(pulses.stats().pulsesTriggered), elapsed / 0.05, 1.5);
}

// A receiving thread takes a whole measurement while the test reads the interface's counts:
// the host sees exactly the pulses the interface delivered, channel by channel.
TEST(SimThreaded, receivingThread_seesEveryDeliveredPulse) {
    removeAllBackends();
    SimulatorConfig config;
    config.fastMode = true;
    config.pulseLimit = 2000;
    ScopedSimulatedBackend simulated(config);
    const auto sim = simulated.interface();
    ReportRecorder recorder;
    char names[256] = {};
    ASSERT_EQ(ListInterfaces(Medipix2Any, names, sizeof names), 1);
    DeviceDescr* descr = OpenInterface(names, false, false);
    ASSERT_NE(descr, nullptr);
    DeviceLink link(descr);
    hookLog() = HookLog();
    SetMessageHook(&recordMessage, 0);
    ASSERT_TRUE(SetBiasVoltage(link, 1));
    ASSERT_TRUE(ScopeConfigure(link, 2, 450, 15));
    ASSERT_TRUE(SetupTrigger(link, 12));
    ASSERT_TRUE(StartWaitingForTrigger(link));

    std::atomic<bool> stop{false};
    std::thread receiver([&] {
        DeviceLink own(descr);
        QrxCommandResponse record(false);
        while (!stop) {
            if (ReceiveMessage(own, record)) {
                if (record.code != 0) {
                    recordMessage(own, record, 0);
                }
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (sim->stats().pulsesDelivered < config.pulseLimit &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The receiver read the last pulse's last byte inside a reception it finishes before it
    // looks at the flag again.
    stop = true;
    receiver.join();
    SetMessageHook(nullptr, 0);
    EXPECT_EQ(sim->stats().pulsesDelivered, config.pulseLimit);
    EXPECT_EQ(hookLog().pulses, config.pulseLimit);
    EXPECT_EQ(hookLog().histogram, sim->pulseHistogram());
    EXPECT_TRUE(recorder.errors().empty());
    CloseInterface(link, true);
    removeAllBackends();
}

} // namespace
} // namespace tarvio::test
