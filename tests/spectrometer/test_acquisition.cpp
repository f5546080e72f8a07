// Measurements end to end against the simulated interface in fast mode: open with chip
// detection, the window's start sequence, pulses through the monitoring thread into the
// spectrum, stop, single shots, faults on the wire, close and reopen.

#include "SpecTestSupport.h"

#include "driver/Backend.h"
#include "link/DeviceDescr.h"
#include "sim/SimulatedBackend.h"
#include "spectrometer/Monitor.h"
#include "spectrometer/QrxController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class AcquisitionTest : public ::testing::Test {
protected:
    void TearDown() override {
        controller.reset();
        if (backend) {
            removeBackend(backend);
        }
    }

    void start(SimulatorConfig config) {
        config.fastMode = true;
        backend = SimulatedBackend::install(config);
        sim = backend->interface();
        ASSERT_NE(sim, nullptr);
        controller = std::make_unique<TQrxController>();
        controller->SetLogHandler([this](const char* line) { log.add(line); });
        controller->SetPulseHandler([this] { ++pulses; });
    }

    // Opens the first listed interface as the window does at start-up.
    void openFirst() {
        std::vector<std::string> devices;
        controller->ListDevices(devices);
        ASSERT_FALSE(devices.empty());
        name = devices.front();
        openLikeTheWindow(*controller, name);
    }

    void startMeasurement() { startLikeTheWindow(*controller); }

    std::vector<std::uint64_t> hostHistogram() { return spectrumCounts(*controller); }

    // Waits until the simulation has triggered `count` more pulses than `from`.
    bool triggeredAtLeast(std::uint64_t count) {
        return eventually([&] { return sim->stats().pulsesTriggered >= count; }, 60.0);
    }

    // After a stop: waits until every triggered pulse has left the interface and the host's
    // spectrum has stopped changing.
    void settle() {
        ASSERT_TRUE(eventually(
            [&] {
                const SimStats s = sim->stats();
                return s.pulsesDelivered + s.pulsesDamaged + s.pulsesLost >=
                       s.pulsesTriggered + s.singleShots;
            },
            30.0));
        std::uint64_t last = ~std::uint64_t{0};
        for (int quiet = 0; quiet < 5;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const std::uint64_t now = total(hostHistogram());
            quiet = now == last ? quiet + 1 : 0;
            last = now;
        }
    }

    SharedManualTime clock;
    ScopedTimeSource useClock{clock};
    std::shared_ptr<SimulatedBackend> backend;
    std::shared_ptr<SimulatedInterface> sim;
    std::unique_ptr<TQrxController> controller;
    LogRecorder log;
    std::atomic<int> pulses{0};
    std::string name;
};

} // namespace

TEST_F(AcquisitionTest, openEachChipKind_detectsChipsAndIdentifiers) {
    const SimChipKind kinds[] = {SimChipKind::Medipix2, SimChipKind::Mxr, SimChipKind::Timepix};
    for (SimChipKind kind : kinds) {
        SimulatorConfig config;
        config.chipKind = kind;
        config.chips = 2;
        config.resetRetries = 1;
        start(config);
        openFirst();
        const DeviceDescr* descr = controller->link.device;
        ASSERT_NE(descr, nullptr);
        EXPECT_EQ(descr->chipCount, 2);
        EXPECT_EQ(descr->largeCounters, kind != SimChipKind::Medipix2);
        EXPECT_EQ(descr->timepix, kind == SimChipKind::Timepix);
        // A plain board names itself by its USB description, the others by their chips.
        EXPECT_EQ(std::string(descr->chipIdText),
                  kind == SimChipKind::Medipix2 ? config.serialNumber : sim->identifierText());
        EXPECT_EQ(log.lines().front(), "Opening device " + name + "...");
        EXPECT_TRUE(log.contains("Device " + name + " opened."));
        controller.reset();
        removeBackend(backend);
        backend.reset();
        log.clear();
    }
}

TEST_F(AcquisitionTest, measurement_countsEveryPulseInItsChannel) {
    SimulatorConfig config;
    config.pulseLimit = 1500;
    start(config);
    openFirst();
    startMeasurement();
    ASSERT_TRUE(triggeredAtLeast(config.pulseLimit));
    ASSERT_TRUE(controller->StopMeasurement());
    settle();

    const SimStats stats = sim->stats();
    EXPECT_EQ(stats.pulsesDelivered, config.pulseLimit);
    EXPECT_EQ(hostHistogram(), sim->pulseHistogram());
    EXPECT_EQ(static_cast<std::uint64_t>(pulses.load()), stats.pulsesDelivered);

    // The last pulse is the one the interface sent last: every slot the host stores matches.
    PulseBuffer pulse;
    Spectrum spectrum;
    controller->Snapshot(pulse, spectrum);
    const std::vector<std::uint16_t> last = sim->lastPulse();
    EXPECT_EQ(pulse.sampleCount, 450u);
    ASSERT_GE(last.size(), 449u);
    EXPECT_TRUE(std::equal(last.begin(), last.begin() + 449, pulse.samples.begin()));
    EXPECT_EQ(pulse.maxSample, *std::max_element(last.begin(), last.begin() + 449));
}

TEST_F(AcquisitionTest, singleShotAndReopen_eachAddOneCount) {
    start(SimulatorConfig{});
    openFirst();
    ASSERT_TRUE(controller->ConfigureScope());
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return total(hostHistogram()) == 1; }));

    controller->Close();
    EXPECT_FALSE(MonitorRunning());
    ASSERT_TRUE(controller->Open(name));
    ASSERT_TRUE(controller->ConfigureScope());
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return total(hostHistogram()) == 2; }));
    EXPECT_EQ(hostHistogram(), sim->pulseHistogram());
    EXPECT_EQ(sim->stats().singleShots, 2u);
}

TEST_F(AcquisitionTest, faultsOnTheWire_measurementRecoversAndCountsWholePulses) {
    start(SimulatorConfig{});
    openFirst();

    const std::vector<SimFault> faults = {
        SimFault::errorLine("Trigger overrun", SimFaultTarget::Pulse),
        SimFault::drop(3, 20, SimFaultTarget::Pulse),
        SimFault::corrupt(1, 0, SimFaultTarget::Pulse),
        SimFault::insert({'x', 'y', 0x00, 0xFF, '\r'}, SimFaultTarget::Pulse),
        SimFault::cutShort(100, SimFaultTarget::Pulse),
        SimFault::corrupt(2, 40, SimFaultTarget::Pulse), // samples: parsed, counted wrong
    };
    startMeasurement();
    // One fault at a time, each followed by clean pulses for the host to recover on.
    for (const SimFault& fault : faults) {
        const std::uint64_t triggered = sim->stats().pulsesTriggered;
        sim->injectFault(fault);
        ASSERT_TRUE(triggeredAtLeast(triggered + 20));
    }
    ASSERT_TRUE(controller->StopMeasurement());
    settle();

    const SimStats faulty = sim->stats();
    const std::uint64_t counted = total(hostHistogram());
    EXPECT_GT(faulty.pulsesDamaged, 0u);
    // Never more pulses than were sent. A whole pulse is lost only when the resynchronisation
    // after a fault skips it: the one in flight behind the damage, at most two per fault.
    EXPECT_LE(counted, faulty.pulsesDelivered + faulty.pulsesDamaged);
    EXPECT_GE(counted + 2 * faults.size(), faulty.pulsesDelivered);
    EXPECT_TRUE(log.contains("Resynchronization OK"));
    EXPECT_TRUE(log.contains("Error received: Trigger overrun"));

    // A silent spell: the command fails and is reported, the next one works.
    sim->injectFault(SimFault::stopAnswering(1));
    EXPECT_FALSE(controller->SetBias(200));
    EXPECT_TRUE(log.contains("Timeout. Not received response to 'b'"));
    ASSERT_TRUE(controller->SetBias(200));

    // A corrupted or cut word count makes the host read whatever follows as this pulse's
    // samples (in fast mode, many pulses); it still finds its way back.
    startMeasurement();
    for (const SimFault& fault : {SimFault::corrupt(2, 1, SimFaultTarget::Pulse),
                                  SimFault::cutShort(1, SimFaultTarget::Pulse)}) {
        const std::uint64_t triggered = sim->stats().pulsesTriggered;
        sim->injectFault(fault);
        ASSERT_TRUE(triggeredAtLeast(triggered + 300));
    }
    ASSERT_TRUE(controller->StopMeasurement());
    settle();

    // After the faults the measurement is exact again, channel by channel.
    const std::vector<std::uint64_t> before = sim->pulseHistogram();
    startMeasurement();
    ASSERT_TRUE(triggeredAtLeast(faulty.pulsesTriggered + 500));
    ASSERT_TRUE(controller->StopMeasurement());
    settle();
    std::vector<std::uint64_t> expected = sim->pulseHistogram();
    for (std::size_t c = 0; c < expected.size(); ++c) {
        expected[c] -= before[c];
    }
    EXPECT_EQ(hostHistogram(), expected);
}

TEST_F(AcquisitionTest, destroyedWhileMeasuring_endsCleanly) {
    start(SimulatorConfig{});
    openFirst();
    startMeasurement();
    ASSERT_TRUE(eventually([&] { return pulses.load() > 50; }));
    controller.reset();
    EXPECT_FALSE(MonitorRunning());
    EXPECT_TRUE(log.contains("Device " + name + " closed."));
}

TEST_F(AcquisitionTest, unpluggedWhileMeasuring_reportedOnceEndedWithItsSpectrumAndReopened) {
    start(SimulatorConfig{});
    std::atomic<int> lost{0};
    controller->SetInterfaceLostHandler([&] { ++lost; });
    openFirst();
    startMeasurement();
    ASSERT_TRUE(eventually([&] { return pulses.load() > 50; }));
    sim->unplug();
    ASSERT_TRUE(eventually([&] { return controller->interfaceLost(); }));
    // Many idle passes of the monitoring thread later (seconds on its clock), nothing more.
    const double lostAt = clock.now();
    ASSERT_TRUE(eventually([&] { return clock.now() > lostAt + 0.5; }));
    const std::size_t linesAtLoss = log.lines().size();
    ASSERT_TRUE(eventually([&] { return clock.now() > lostAt + 3.0; }));
    EXPECT_EQ(log.lines().size(), linesAtLoss) << "a lost interface is not polled again";
    const auto countLines = [&](const std::string& part) {
        const auto lines = log.lines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.find(part) != std::string::npos;
        });
    };
    EXPECT_LE(countLines("Can't determine queue depth"), 1);
    EXPECT_EQ(countLines("Device " + name + " lost."), 1);
    EXPECT_EQ(lost.load(), 1);
    // Every pulse the interface got out whole is in the spectrum, and stays there.
    EXPECT_EQ(hostHistogram(), sim->pulseHistogram());
    EXPECT_GT(total(hostHistogram()), 50u);

    controller->Close();
    EXPECT_FALSE(MonitorRunning());
    EXPECT_TRUE(log.contains("Device " + name + " closed."));
    EXPECT_EQ(total(hostHistogram()), sim->stats().pulsesDelivered);

    sim->replug();
    ASSERT_TRUE(controller->Open(name));
    EXPECT_FALSE(controller->interfaceLost());
    const int before = pulses.load();
    ASSERT_TRUE(controller->ConfigureScope());
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return pulses.load() == before + 1; }));
    EXPECT_FALSE(controller->interfaceLost());
    EXPECT_EQ(lost.load(), 1);
}
