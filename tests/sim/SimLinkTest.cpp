// The link layer running against the simulated interface: listing, reset and chip report,
// every command of the table, frame streams, the operating point and pulses.

#include "SimLinkFixture.h"

#include "link/CommandTable.h"
#include "link/Transport.h"
#include "spectrometer/Commands.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace tarvio::test {
namespace {

using SimLink = SimLinkFixture;

SimulatorConfig chipConfig(SimChipKind kind, int chips, int retries = 0) {
    SimulatorConfig c;
    c.chipKind = kind;
    c.chips = chips;
    c.resetRetries = retries;
    return c;
}

TEST_F(SimLink, listing_afterRealInterfacesAndWithAnIdentifier) {
    ScopedScriptedPipe pipe; // stands in for a real interface
    pipe->addDevice("Medipix2 ver 1.0: REAL1", "R1");
    ScopedSimulatedBackend simulated;
    char names[256] = {};
    ASSERT_EQ(ListInterfaces(Medipix2Ver, names, sizeof names), 2);
    EXPECT_STREQ(names, "Medipix2 ver 1.0: REAL1");
    EXPECT_STREQ(names + std::strlen(names) + 1, "Medipix2 ver 2.0 simulated: SIM0001");
}

TEST_F(SimLink, disabledSimulator_listsNothing) {
    SimulatorConfig c;
    c.enabled = false;
    ScopedSimulatedBackend simulated(c);
    EXPECT_EQ(ListInterfaces(Medipix2Any, nullptr, 0), 0);
}

TEST_F(SimLink, configProvider_calledOnceWhenFirstListed) {
    int calls = 0;
    auto backend = std::make_shared<SimulatedBackend>([&] {
        ++calls;
        SimulatorConfig c;
        c.serialNumber = "SIM0042";
        return c;
    });
    installBackend(backend);
    EXPECT_EQ(calls, 0);
    char names[256] = {};
    ListInterfaces(Medipix2Any, names, sizeof names);
    ListInterfaces(Medipix2Any, names, sizeof names);
    EXPECT_EQ(calls, 1);
    EXPECT_STREQ(names, "Medipix2 ver 2.0 simulated: SIM0042");
    removeBackend(backend);
}

TEST_F(SimLink, openWithDetection_plainBoard_takesTheIdentifierFromTheDescription) {
    for (int chips = 1; chips <= 4; ++chips) {
        open(chipConfig(SimChipKind::Medipix2, chips));
        EXPECT_EQ(descr->chipCount, chips);
        EXPECT_FALSE(descr->largeCounters);
        EXPECT_FALSE(descr->timepix);
        EXPECT_STREQ(descr->chipIdText, "SIM0001");
        EXPECT_STREQ(descr->serialNumber, "SIM0001");
        EXPECT_EQ(descr->deviceId, 0x04036001u);
    }
}

TEST_F(SimLink, openWithDetection_mxrAndTimepixBoards_reportKindAndChipIds) {
    open(chipConfig(SimChipKind::Mxr, 2));
    EXPECT_EQ(descr->chipCount, 2);
    EXPECT_TRUE(descr->largeCounters);
    EXPECT_FALSE(descr->timepix);
    EXPECT_STREQ(descr->chipIdText, "C10-W0123 D10-W0123");

    open(chipConfig(SimChipKind::Timepix, 1));
    EXPECT_EQ(descr->chipCount, 1);
    EXPECT_TRUE(descr->largeCounters);
    EXPECT_TRUE(descr->timepix);
    EXPECT_STREQ(descr->chipIdText, "C10-W0123");
    EXPECT_EQ(sim->identifierText(), "C10-W0123");
}

TEST_F(SimLink, resetWithRetries_reportsThem) {
    removeAllBackends();
    ScopedSimulatedBackend simulated(chipConfig(SimChipKind::Timepix, 2, 2));
    InstallChipDetection();
    recorder.hookReports();
    char names[256] = {};
    ASSERT_EQ(ListInterfaces(Medipix2Any, names, sizeof names), 1);
    descr = OpenInterface(names, true, false);
    ASSERT_NE(descr, nullptr);
    EXPECT_EQ(descr->chipCount, 2);
    EXPECT_TRUE(descr->timepix);
    bool reported = false;
    for (const auto& r : recorder.reports()) {
        reported = reported || r.text.find("2 retries needed to reset the interface.") == 0;
    }
    EXPECT_TRUE(reported);
    EXPECT_TRUE(errors().empty());
}

TEST_F(SimLink, everyCommandOfTheTable_executesWithItsResponseShape) {
    open(chipConfig(SimChipKind::Timepix, 2));
    for (int i = 0; i < CommandCount; ++i) {
        const CommandInfo& row = CommandTable[i];
        const std::size_t params =
            row.paramBytes == -2 ? StreamSize(*descr) : std::size_t(row.paramBytes);
        std::vector<std::uint8_t> command(1 + params, 0);
        command[0] = row.code;
        QrxCommandResponse record;
        EXPECT_TRUE(ExecuteCommand(link, record, command.data(),
                                   static_cast<std::uint32_t>(command.size()), 2.0, 1))
            << row.name << ": " << link.text;
        EXPECT_EQ(record.code, row.code) << row.name;
        if (row.responseType > 0) {
            EXPECT_EQ(record.count, row.responseType) << row.name;
        }
        if (row.code == '_') {
            ASSERT_TRUE(Synchronize(link)); // the on-line line that follows a reset
        }
    }
    EXPECT_TRUE(errors().empty()) << errors().front();
    EXPECT_EQ(QueueDepth(link), 0u);
}

TEST_F(SimLink, timedFrameStream_decodesToTheFrameTheInterfaceEncoded) {
    for (const auto& config :
         {chipConfig(SimChipKind::Medipix2, 1), chipConfig(SimChipKind::Medipix2, 4),
          chipConfig(SimChipKind::Mxr, 2), chipConfig(SimChipKind::Timepix, 4)}) {
        open(config);
        std::vector<std::uint16_t> frame(FrameBufferSize, 0xAAAA);
        QrxCommandResponse record(frame.data(), static_cast<std::uint32_t>(frame.size()), true);
        QrxCommandResponse shutter;
        ASSERT_TRUE(ExecuteCommand(link, shutter, "o", 0, -1, 0));
        clock.advance(0.25);
        ASSERT_TRUE(ExecuteCommand(link, record, "C", 0, 2.0, 0)) << link.text;
        EXPECT_NEAR(record.frameTime, 0.25, 0.005); // the exchange itself takes a few ms
        EXPECT_EQ(record.frameNumber, 1u);
        const std::vector<std::uint16_t> expected = sim->lastFrame();
        ASSERT_EQ(expected.size(), PixelCount(*descr));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame.begin()))
            << config.chips << " chips of kind " << int(config.chipKind);
        EXPECT_TRUE(errors().empty());
    }
}

TEST_F(SimLink, thresholdAndBias_readBackThroughTheMonitor) {
    open({});
    AdcReadings r{};
    ASSERT_TRUE(ReadAdcMonitor(link, r));
    EXPECT_NEAR(DacCodeToVolts(r[9]), 0.1, 0.001); // the interface's own start value
    for (double volts : {0.05, 0.25, 1.0, 2.2}) {
        ASSERT_TRUE(SetInterfaceDac(link, 0, VoltsToDacCode(volts)));
        ASSERT_TRUE(ReadAdcMonitor(link, r));
        EXPECT_NEAR(DacCodeToVolts(r[9]), volts, 2.5 / 4096) << volts;
        EXPECT_EQ(VoltsToDacCode(DacCodeToVolts(r[9])), VoltsToDacCode(volts)) << volts;
    }
    const std::uint16_t biasOff = r[2];
    ASSERT_TRUE(SetBiasVoltage(link, 1));
    ASSERT_TRUE(ReadAdcMonitor(link, r));
    EXPECT_GT(r[2], biasOff + 1000);
    EXPECT_EQ(sim->state().biasCode, 1);
}

// Channel of the highest count from `from` on.
std::size_t peakChannel(const std::vector<std::uint64_t>& h, std::size_t from) {
    return std::max_element(h.begin() + from, h.end()) - h.begin();
}

void arm(DeviceLink& link, std::uint16_t samples, double interval) {
    ASSERT_TRUE(SetBiasVoltage(link, 1));
    ASSERT_TRUE(ScopeConfigure(link, 2, samples, 15));
    ASSERT_TRUE(SetupTrigger(link, 12));
    ASSERT_TRUE(SetupIntervalTimer(link, interval, 16));
    ASSERT_TRUE(StartWaitingForTrigger(link));
}

TEST_F(SimLink, measurement_onePulsePerIntervalUntilStopped) {
    open({});
    arm(link, 450, 0.2);
    receiveFor(10.0);
    ASSERT_TRUE(StopWaitingForTrigger(link)) << link.text;
    ASSERT_TRUE(StopIntervalTimer(link));
    const SimStats stats = sim->stats();
    EXPECT_GE(stats.pulsesDelivered, 45u);
    EXPECT_LE(stats.pulsesDelivered, 51u);
    EXPECT_EQ(hookLog().pulses, stats.pulsesDelivered);
    EXPECT_EQ(hookLog().histogram, sim->pulseHistogram());
    EXPECT_TRUE(errors().empty()) << errors().front();
    // Stopped: nothing more comes.
    receiveFor(2.0);
    EXPECT_EQ(sim->stats().pulsesDelivered, stats.pulsesDelivered);
    EXPECT_EQ(hookLog().pulses, stats.pulsesDelivered);
}

TEST_F(SimLink, pulses_carryTheAskedSampleCountAndTheAm241Lines) {
    SimulatorConfig c;
    c.fastMode = true;
    c.pulseLimit = 3000;
    open(c);
    arm(link, 600, 0.0);
    ASSERT_TRUE(StopIntervalTimer(link)); // every trigger, no interval
    receiveFor(1.0);
    ASSERT_EQ(sim->stats().pulsesDelivered, 3000u);
    EXPECT_EQ(hookLog().pulses, 3000u);
    EXPECT_EQ(hookLog().histogram, sim->pulseHistogram());
    EXPECT_TRUE(std::all_of(hookLog().pulseWords.begin(), hookLog().pulseWords.end(),
                            [](std::int32_t w) { return w == 601; }));
    // Some pulses came in groups, some with a text message.
    EXPECT_GT(hookLog().groupItems, 100u);
    EXPECT_GT(hookLog().texts, 10u);
    // The 59.54 keV line: about 5 codes per keV above a baseline of about 100 at full bias.
    const auto& h = hookLog().histogram;
    EXPECT_NEAR(peakChannel(h, 300), 100 + 59.54 * 5 * detector::chargeCollection(1), 6);
    // Nothing under the threshold (0.1 V, 50 codes above the baseline, plus noise).
    EXPECT_EQ(std::accumulate(h.begin(), h.begin() + 140, std::uint64_t{0}), 0u);
    EXPECT_TRUE(errors().empty()) << errors().front();
}

TEST_F(SimLink, peakPosition_followsTheSourcesLineAndTheBias) {
    struct Case {
        SimSource source;
        std::uint8_t bias;
        double lineKeV;
    };
    for (const Case& c : {Case{SimSource::Co57, 1, 122.06}, Case{SimSource::Cs137, 1, 661.7},
                          Case{SimSource::Am241, 255, 59.54}}) {
        SimulatorConfig config;
        config.fastMode = true;
        config.pulseLimit = 1500;
        config.source = c.source;
        open(config);
        ASSERT_TRUE(SetBiasVoltage(link, c.bias));
        ASSERT_TRUE(ScopeConfigure(link, 2, 200, 15));
        ASSERT_TRUE(StartWaitingForTrigger(link));
        receiveFor(1.0);
        ASSERT_EQ(hookLog().pulses, 1500u);
        const double expected = 100 + c.lineKeV * 5 * detector::chargeCollection(c.bias);
        EXPECT_NEAR(peakChannel(hookLog().histogram, 300), expected, expected * 0.01 + 4)
            << simSourceName(c.source);
    }
}

TEST_F(SimLink, biasOff_noPulses_andSingleShotSendsOneAtOnce) {
    open({});
    ASSERT_TRUE(ScopeConfigure(link, 2, 100, 15));
    ASSERT_TRUE(SetupTrigger(link, 12));
    ASSERT_TRUE(StartWaitingForTrigger(link)); // bias still off
    receiveFor(2.0);
    EXPECT_EQ(hookLog().pulses, 0u);
    ASSERT_TRUE(StopWaitingForTrigger(link));
    ASSERT_TRUE(SingleShotScope(link));
    receiveFor(0.1);
    EXPECT_EQ(hookLog().pulses, 1u);
    EXPECT_EQ(hookLog().pulseWords.back(), 101);
    EXPECT_EQ(sim->stats().singleShots, 1u);
    // A trace without a pulse: its height is the baseline's noise.
    EXPECT_EQ(hookLog().histogram, sim->pulseHistogram());
    EXPECT_LT(std::max_element(hookLog().histogram.begin(), hookLog().histogram.end()) -
                  hookLog().histogram.begin(),
              120);
}

} // namespace
} // namespace tarvio::test
