// End to end: under every fault the simulated interface commits on demand, the link layer
// loses the exchange at most, resynchronises, and the next exchange works.

#include "SimLinkFixture.h"

#include "link/Transport.h"
#include "spectrometer/Commands.h"

#include <algorithm>

namespace tarvio::test {
namespace {

class SimFaultRecovery : public SimLinkFixture {
protected:
    void SetUp() override { open({}); }

    bool reported(const std::string& part) const {
        for (const auto& r : recorder.reports()) {
            if (r.text.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    // The stream is in step: a command and its response, nothing left over.
    void expectInStep() {
        AdcReadings r{};
        EXPECT_TRUE(ReadAdcMonitor(link, r)) << link.text;
        EXPECT_EQ(r[9], detector::DefaultThresholdDac);
        EXPECT_TRUE(SetBiasVoltage(link, 0)) << link.text;
        EXPECT_EQ(QueueDepth(link), 0u);
    }
};

struct ResponseFaultCase {
    const char* name;
    SimFault fault;
    bool commandSucceeds;
    const char* report; // part of a report the fault must cause
};

TEST_F(SimFaultRecovery, everyResponseFault_linkResynchronisesAndGoesOn) {
    const std::vector<ResponseFaultCase> cases = {
        {"drop", SimFault::drop(2, 1), false, "Missing response terminator."},
        {"corrupt code", SimFault::corrupt(1, 0), false, "Unknown response received."},
        {"corrupt terminator", SimFault::corrupt(1, 2), false, "Missing response terminator."},
        {"insert", SimFault::insert({0xC8, 0x17}), false, "Unknown response received."},
        {"cut short", SimFault::cutShort(1), false, "Too short response."},
        {"stop answering", SimFault::stopAnswering(1), false, "Timeout. Not received response"},
        {"wrong code", SimFault::wrongCode('l'), false, "Got response to different command"},
        {"error line", SimFault::errorLine("Overcurrent"), true, "Error received: Overcurrent"},
    };
    for (const auto& c : cases) {
        recorder.reports().clear();
        sim->injectFault(c.fault);
        EXPECT_EQ(SetBiasVoltage(link, 1), c.commandSucceeds) << c.name;
        EXPECT_TRUE(reported(c.report)) << c.name << ": " << link.text;
        if (!c.commandSucceeds) {
            EXPECT_TRUE(reported("Resynchronization OK")) << c.name;
        }
        expectInStep();
    }
}

TEST_F(SimFaultRecovery, silentUntilCleared_commandsFailWithoutHangingThenRecover) {
    sim->injectFault(SimFault::stopAnswering(0));
    const double start = clock.now();
    EXPECT_FALSE(SetBiasVoltage(link, 1));
    EXPECT_TRUE(reported("Resynchronization failed"));
    EXPECT_LT(clock.now() - start, 10.0);
    sim->clearFaults();
    expectInStep();
}

TEST_F(SimFaultRecovery, damagedPulses_measurementRecoversAndGoesOn) {
    ASSERT_TRUE(SetBiasVoltage(link, 1));
    ASSERT_TRUE(ScopeConfigure(link, 2, 200, 15));
    ASSERT_TRUE(SetupTrigger(link, 12));
    ASSERT_TRUE(SetupIntervalTimer(link, 0.1, 16));
    ASSERT_TRUE(StartWaitingForTrigger(link));
    const std::vector<SimFault> faults = {
        SimFault::drop(5, 10, SimFaultTarget::Pulse),
        SimFault::corrupt(1, 0, SimFaultTarget::Pulse),
        SimFault::corrupt(2, 1, SimFaultTarget::Pulse), // the word count
        SimFault::cutShort(100, SimFaultTarget::Pulse),
        SimFault::insert({0x07}, SimFaultTarget::Pulse),
        SimFault::errorLine("Scope overrun", SimFaultTarget::Pulse),
    };
    for (const SimFault& fault : faults) {
        const std::uint64_t before = hookLog().pulses;
        sim->injectFault(fault);
        // A pulse per interval and its transfer (the interface's hold-off); a damaged word
        // count can cost ten of them.
        receiveFor(3.5);
        // Pulses keep coming after the damaged one.
        EXPECT_GE(hookLog().pulses, before + 20) << int(fault.kind);
    }
    EXPECT_EQ(sim->stats().pulsesDamaged, 4u);
    EXPECT_TRUE(reported("Resynchronization OK"));
    EXPECT_TRUE(reported("Error received: Scope overrun"));
    ASSERT_TRUE(StopWaitingForTrigger(link)) << link.text;
    receiveFor(0.5);
    EXPECT_EQ(QueueDepth(link), 0u);
}

TEST_F(SimFaultRecovery, scheduledFaults_measurementGoesOnAndAPulledCableComesBack) {
    SimulatorConfig config;
    config.faults = SimFaultAll & ~SimFaultUnplug;
    config.faultRate = 0.5;
    open(config);
    ASSERT_TRUE(SetBiasVoltage(link, 1));
    ASSERT_TRUE(ScopeConfigure(link, 2, 50, 15));
    ASSERT_TRUE(SetupTrigger(link, 12));
    ASSERT_TRUE(SetupIntervalTimer(link, 0.1, 16));
    ASSERT_TRUE(StartWaitingForTrigger(link));
    // Up to ten pulses a second; a fault costs a few of them, never the measurement.
    for (int window = 0; window < 10; ++window) {
        const std::uint64_t before = hookLog().pulses;
        receiveFor(3.0);
        EXPECT_GT(hookLog().pulses, before) << "window " << window;
    }
    EXPECT_GE(hookLog().pulses, 150u);
    EXPECT_GE(sim->stats().faultsScheduled, 5u);
    EXPECT_TRUE(reported("Resynchronization OK"));

    config.faults = SimFaultUnplug;
    config.faultRate = 0.1;
    open(config);
    for (int second = 0; second < 200 && sim->pluggedIn(); ++second) {
        receiveFor(1.0);
    }
    ASSERT_FALSE(sim->pluggedIn());
    EXPECT_TRUE(reported("Can't determine queue depth"));
    EXPECT_EQ(ListInterfaces(Medipix2Any, nullptr, 0), 0);
    clock.advance(SimulatedInterface::ScheduledUnplugSeconds);
    EXPECT_EQ(ListInterfaces(Medipix2Any, nullptr, 0), 1);
    DeviceLink closer(descr);
    CloseInterface(closer, true);
    descr = OpenInterface(description.c_str(), true, false);
    ASSERT_NE(descr, nullptr);
    link.Attach(descr);
    EXPECT_EQ(descr->chipCount, 1);
    EXPECT_TRUE(SetBiasVoltage(link, 0)) << link.text;
}

TEST_F(SimFaultRecovery, unplug_everyOperationFailsWithoutHanging_replugAndReopenWorks) {
    sim->unplug();
    const double start = clock.now();
    EXPECT_FALSE(SetBiasVoltage(link, 1));
    EXPECT_TRUE(reported("Can't transmit"));
    QrxCommandResponse record(false);
    EXPECT_FALSE(ReceiveMessage(link, record));
    EXPECT_EQ(QueueDepth(link), 0u);
    EXPECT_TRUE(reported("Can't determine queue depth"));
    EXPECT_LT(clock.now() - start, 5.0);
    EXPECT_EQ(ListInterfaces(Medipix2Any, nullptr, 0), 0);

    sim->replug();
    EXPECT_FALSE(SetBiasVoltage(link, 1)); // the old handle stays dead
    DeviceLink closer(descr);
    CloseInterface(closer, true);
    char names[256] = {};
    ASSERT_EQ(ListInterfaces(Medipix2Any, names, sizeof names), 1);
    descr = OpenInterface(names, true, false);
    ASSERT_NE(descr, nullptr);
    link.Attach(descr);
    EXPECT_EQ(descr->chipCount, 1);
    expectInStep();
}

} // namespace
} // namespace tarvio::test
