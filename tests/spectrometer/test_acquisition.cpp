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
#include <mutex>
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
        startPaced(config);
    }

    // As start(), keeping the config's pacing: triggers and bytes follow the (manual) clock.
    void startPaced(const SimulatorConfig& config) {
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

    void startMeasurement(double delaySeconds = 0.2, std::uint8_t biasCode = 200) {
        startLikeTheWindow(*controller, delaySeconds, biasCode);
    }

    // Polls as the window's refresh does until the state is `state`.
    MeasurementStatus pollUntil(MeasurementState state) {
        MeasurementStatus status;
        EXPECT_TRUE(eventually(
            [&] {
                status = controller->PollMeasurement();
                return status.state == state;
            },
            60.0))
            << MeasurementStateName(status.state);
        return status;
    }

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

// Dead time, live time and presets end to end: the simulated interface holds off for the
// same time the host's model assumes, so the estimate can be checked against the activity.

TEST_F(AcquisitionTest, deadTimeModel_estimatesTheActivityFromTheAcceptedPulses) {
    SimulatorConfig config;
    config.activity = 2000;
    startPaced(config);
    openFirst();
    ASSERT_TRUE(controller->SetThreshold(0.0)); // every photon triggers
    controller->SetPresets({std::nullopt, std::nullopt, 20000, std::nullopt});
    startMeasurement(0.001, 1);
    const MeasurementStatus status = pollUntil(MeasurementState::PresetReached);
    settle();

    const double tau = 0.001 + 908 / 1.0e6;
    ASSERT_TRUE(status.info.deadTimePerPulseSeconds);
    EXPECT_NEAR(*status.info.deadTimePerPulseSeconds, tau, 1e-12);
    EXPECT_EQ(status.info.acceptedCount, 20000u);
    ASSERT_TRUE(status.rates.input && status.rates.accepted);
    EXPECT_NEAR(*status.rates.input, 2000.0, 2000.0 * 0.03);
    // Non-paralysable: m = n / (1 + n tau).
    EXPECT_NEAR(*status.rates.accepted, 2000.0 / (1 + 2000.0 * tau), 2000.0 * 0.03);
    EXPECT_FALSE(status.rates.saturated);
    EXPECT_FALSE(sim->state().waitingForTrigger); // the preset stopped the interface
}

TEST_F(AcquisitionTest, longDelay_acceptsOnePulsePerHoldOffAndSaysItIsSaturated) {
    startPaced(SimulatorConfig{});
    openFirst();
    controller->SetPresets({100.0, std::nullopt, std::nullopt, std::nullopt});
    startMeasurement(0.2, 1);
    const MeasurementStatus status = pollUntil(MeasurementState::PresetReached);

    EXPECT_EQ(status.presetReached, PresetKind::RealTime);
    EXPECT_DOUBLE_EQ(*status.info.realSeconds, 100.0);
    // One pulse per 0.2 s + transfer, plus the wait for the next photon (1/2000 s).
    ASSERT_TRUE(status.rates.accepted && status.rates.liveFraction);
    EXPECT_NEAR(*status.rates.accepted, 1 / (0.2 + 908 / 1.0e6 + 1 / 2000.0), 0.1);
    EXPECT_TRUE(status.rates.saturated);
    EXPECT_LT(*status.rates.liveFraction, 0.01);
    EXPECT_FALSE(status.rates.input);
}

TEST_F(AcquisitionTest, countPreset_leavesExactlyNCountsWhileTheInterfaceKeepsSending) {
    start(SimulatorConfig{});
    openFirst();
    controller->SetPresets({std::nullopt, std::nullopt, 1000, std::nullopt});
    startMeasurement();
    // Nobody polls yet: the interface goes on sending, the spectrum stays at the preset.
    ASSERT_TRUE(eventually([&] { return controller->Measurement().countsAfterEnd >= 50; }));
    EXPECT_EQ(controller->measurementState(), MeasurementState::PresetReached);
    EXPECT_EQ(total(hostHistogram()), 1000u);
    EXPECT_TRUE(sim->state().waitingForTrigger);

    const MeasurementStatus status = controller->PollMeasurement();
    EXPECT_EQ(status.presetReached, PresetKind::Counts);
    EXPECT_FALSE(sim->state().waitingForTrigger);
    settle();
    const MeasurementInfo info = controller->Measurement();
    EXPECT_EQ(total(hostHistogram()), 1000u);
    EXPECT_EQ(info.acceptedCount, 1000u);
    EXPECT_EQ(info.acceptedCount + info.countsAfterEnd, sim->stats().pulsesDelivered);

    // A single shot after the preset counts, and the next Start begins afresh.
    ASSERT_TRUE(controller->ConfigureScope());
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return total(hostHistogram()) == 1001; }));
    controller->SetPresets({});
    startMeasurement();
    EXPECT_EQ(controller->measurementState(), MeasurementState::Measuring);
    ASSERT_TRUE(controller->StopMeasurement());
    EXPECT_EQ(controller->measurementState(), MeasurementState::Idle);
}

TEST_F(AcquisitionTest, realTime_runsFromStartToStopOrCloseAndSingleShotsLeaveIt) {
    SimulatorConfig config;
    config.activity = 50; // mostly live: waits of 20 ms against a hold-off of 2 ms
    startPaced(config);
    openFirst();
    // Start and stop are bracketed by clock readings: the real time lies between.
    const double beforeStart = clock.now();
    startMeasurement(0.001);
    const double afterStart = clock.now();
    ASSERT_TRUE(eventually([&] { return controller->Measurement().acceptedCount >= 20; }));
    const double beforeStop = clock.now();
    ASSERT_TRUE(controller->StopMeasurement());
    const double afterStop = clock.now();
    MeasurementInfo info = controller->Measurement();
    ASSERT_TRUE(info.realSeconds && info.startUtcMs);
    EXPECT_TRUE(info.ended);
    EXPECT_GE(*info.realSeconds, beforeStop - afterStart);
    EXPECT_LE(*info.realSeconds, afterStop - beforeStart);
    EXPECT_EQ(info.operatingPoint.interfaceDescription, name);
    EXPECT_EQ(info.operatingPoint.samplesPerPulse, 450u);
    EXPECT_NEAR(*info.operatingPoint.delaySeconds, 0.001, 1e-12);
    EXPECT_NEAR(*info.operatingPoint.thresholdVolts, controller->monitorThreshold(), 1e-12);

    // The clocks stay stopped through a single shot, a close and a reopen.
    settle();
    const double real = *info.realSeconds;
    const std::uint64_t counted = controller->Measurement().acceptedCount;
    ASSERT_TRUE(controller->SingleShot());
    ASSERT_TRUE(eventually([&] { return controller->Measurement().acceptedCount == counted + 1; }));
    controller->Close();
    ASSERT_TRUE(controller->Open(name));
    info = controller->Measurement();
    EXPECT_DOUBLE_EQ(*info.realSeconds, real);
    EXPECT_EQ(info.acceptedCount, counted + 1);
    EXPECT_GT(*info.liveSeconds, 0.0);
    EXPECT_DOUBLE_EQ(*info.liveSeconds, real - (counted + 1) * *info.deadTimePerPulseSeconds);

    // Close in the middle of a measurement ends its real time too.
    const double beforeRestart = clock.now();
    startMeasurement();
    controller->Close();
    const double afterClose = clock.now();
    EXPECT_EQ(controller->measurementState(), MeasurementState::Idle);
    info = controller->Measurement();
    EXPECT_TRUE(info.ended);
    const double ranFor = *info.realSeconds;
    clock.sleepFor(5.0);
    EXPECT_DOUBLE_EQ(*controller->Measurement().realSeconds, ranFor);
    EXPECT_LE(ranFor, afterClose - beforeRestart);
    EXPECT_GE(ranFor, 0.0);
}

TEST_F(AcquisitionTest, interfaceLost_endsTheRecordWithItsCountsAndSaysSo) {
    start(SimulatorConfig{});
    openFirst();
    std::vector<MeasurementState> heard;
    std::mutex heardMutex;
    controller->SetStateListener([&](MeasurementState s) {
        std::lock_guard<std::mutex> guard(heardMutex);
        heard.push_back(s);
    });
    startMeasurement();
    ASSERT_TRUE(eventually([&] { return controller->Measurement().acceptedCount >= 100; }));
    sim->unplug();
    ASSERT_TRUE(eventually([&] { return controller->interfaceLost(); }));
    const MeasurementInfo lost = controller->Measurement();
    EXPECT_TRUE(lost.ended);
    EXPECT_EQ(lost.acceptedCount, total(hostHistogram()));
    clock.sleepFor(1.0);
    EXPECT_EQ(controller->Measurement().realSeconds, lost.realSeconds);
    EXPECT_EQ(controller->PollMeasurement().state, MeasurementState::InterfaceLost);
    controller->SetStateListener({});
    EXPECT_EQ(heard, (std::vector<MeasurementState>{MeasurementState::Measuring,
                                                    MeasurementState::InterfaceLost}));
}
