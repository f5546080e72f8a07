// The command processor at byte level, and the trigger timing it drives.

#include "sim/ProtocolEngine.h"
#include "link/CommandTable.h"
#include "sim/Acquisition.h"
#include "sim/SourcePhysics.h"
#include "encodings/Encodings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace tarvio {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Engine {
    explicit Engine(SimulatorConfig c = {})
        : config(c), board(c.chipKind, c.chips, c.seed), engine(config, board, &faults) {}

    // Sends bytes; returns every answer's bytes, concatenated.
    Bytes send(const Bytes& bytes, double now = 1.0) {
        std::vector<OutMessage> out;
        engine.receive(bytes.data(), bytes.size(), now, out);
        Bytes all;
        for (auto& m : out) {
            all.insert(all.end(), m.bytes.begin(), m.bytes.end());
        }
        return all;
    }

    SimulatorConfig config;
    ChipBoard board;
    FaultInjector faults{1};
    ProtocolEngine engine;
};

std::string text(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// Length of the body of a response in its row's shape, read from the message; -1 when the
// message does not have that shape.
long bodyLength(const Bytes& m, const ChipBoard& board) {
    if (m.empty()) {
        return -1;
    }
    const CommandInfo* row = FindCommand(m[0]);
    if (!row) {
        return -1;
    }
    switch (row->responseType) {
    case OkOnly:
        return 0;
    case StringParameter: {
        for (std::size_t i = 1; i < m.size(); ++i) {
            if (m[i] == '\r') {
                return static_cast<long>(i);
            }
        }
        return -1;
    }
    case TimedFrameStream:
        return static_cast<long>(6 + board.streamSize());
    case ScopeData:
        return m.size() < 3 ? -1 : 2 + 2 * (long(m[1] | (m[2] << 8)) + 1);
    case ChipIdList:
        return 4L * board.chips();
    default:
        return row->responseType;
    }
}

bool hasShape(const Bytes& m, const ChipBoard& board) {
    const long body = bodyLength(m, board);
    if (body < 0 || m.size() != static_cast<std::size_t>(1 + body + 3)) {
        return false;
    }
    return text(Bytes(m.end() - 3, m.end())) == "OK\r";
}

TEST(ProtocolEngine, blank_answersTheSynchronisationPattern) {
    Engine e;
    EXPECT_EQ(text(e.send({' '})), " 1234567890qwertyuiopasdfghjklzxcvbnmOK\r");
    EXPECT_EQ(e.engine.synchronisations(), 1u);
}

// Every row of the table: after its parameter bytes, one response of the row's shape.
TEST(ProtocolEngine, everyCommandOfTheTable_answeredInItsShapeAfterItsParameters) {
    for (SimChipKind kind : {SimChipKind::Medipix2, SimChipKind::Timepix}) {
        SimulatorConfig c;
        c.chipKind = kind;
        c.chips = 2;
        for (int i = 0; i < CommandCount; ++i) {
            Engine e(c);
            const CommandInfo& row = CommandTable[i];
            const std::size_t params =
                row.paramBytes == -2 ? e.board.streamSize() : std::size_t(row.paramBytes);
            Bytes command(1 + params, 0);
            command[0] = row.code;
            // One byte short: no answer yet.
            EXPECT_TRUE(e.send(Bytes(command.begin(), command.end() - 1)).empty() || params == 0)
                << row.name;
            const Bytes answer = params == 0 ? e.send(command) : e.send({command.back()});
            Bytes response = answer;
            if (row.code == '_') { // the reset's own response, then its answer line
                const std::string line = e.board.resetAnswer(0);
                ASSERT_GE(answer.size(), line.size());
                EXPECT_EQ(text(Bytes(answer.end() - line.size(), answer.end())), line);
                response.resize(answer.size() - line.size());
            }
            EXPECT_TRUE(hasShape(response, e.board)) << row.name;
            EXPECT_EQ(e.engine.commandsReceived(), 1u) << row.name;
        }
    }
}

TEST(ProtocolEngine, unknownCode_getsAnErrorLineAndTheNextCommandStillWorks) {
    Engine e;
    const std::string answer = text(e.send({'N', 'b', 1}));
    EXPECT_EQ(answer, "!Unknown command [0x4e]\rbOK\r");
    EXPECT_EQ(e.engine.unknownCodes(), 1u);
    EXPECT_EQ(e.engine.state().biasCode, 1);
}

// Whatever the host sends, the interface stays within its buffers and answers the next
// synchronisation once a half command has timed out.
TEST(ProtocolEngine, randomInput_neverBreaksTheNextSynchronisation) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        Engine e;
        SimRandom rng(seed);
        Bytes noise(4000);
        for (auto& b : noise) {
            b = static_cast<std::uint8_t>(rng.below(256));
        }
        e.send(noise, 1.0);
        const std::string answer = text(e.send({' '}, 2.0));
        const std::string sync = " 1234567890qwertyuiopasdfghjklzxcvbnmOK\r";
        ASSERT_GE(answer.size(), sync.size()) << seed;
        EXPECT_EQ(answer.substr(answer.size() - sync.size()), sync) << seed;
    }
}

TEST(ProtocolEngine, parametersSplitOverWrites_areJoined) {
    Engine e;
    EXPECT_TRUE(e.send({'>', 0}).empty());
    EXPECT_EQ(text(e.send({0x47, 0x01}, 1.1)), ">OK\r");
    EXPECT_EQ(e.engine.state().thresholdDac, 327);
}

TEST(ProtocolEngine, abandonedParameters_areDroppedAfterTheParameterTimeout) {
    Engine e;
    EXPECT_TRUE(e.send({'>', 0}, 1.0).empty());
    // The host gave up; its synchronisation is answered, not swallowed as parameters.
    EXPECT_EQ(text(e.send({' '}, 1.0 + ProtocolEngine::ParameterTimeout + 0.1)).substr(0, 11),
              " 1234567890");
}

TEST(ProtocolEngine, operatingPoint_setByTheCommandsAndReadBackByTheMonitor) {
    Engine e;
    auto readings = e.engine.monitorReadings();
    EXPECT_EQ(readings[9], detector::DefaultThresholdDac);
    EXPECT_LT(readings[2], 10); // bias off
    e.send({'b', 145});
    e.send({'>', 0, 0x47, 0x01});
    const Bytes m = e.send({'M'});
    ASSERT_EQ(m.size(), 1u + 26 + 3);
    auto reading = [&](int i) { return (m[1 + 2 * i] & 0x0F) * 256 + m[2 + 2 * i]; };
    EXPECT_EQ(reading(9), 327);
    EXPECT_GT(reading(2), 1000); // about 40 V on a 100 V scale
    EXPECT_LT(reading(2), 2000);
    EXPECT_GT(reading(3), 0);
    // Every threshold the host can send reads back, through the host's conversions, as the
    // code it sent (within one code where the 12-bit DAC tops out).
    for (int centivolts = 0; centivolts <= 250; ++centivolts) {
        const double volts = centivolts / 100.0;
        const auto code = static_cast<std::uint16_t>(volts * 4096.5 * 0.4);
        e.send({'>', 0, std::uint8_t(code & 0xFF), std::uint8_t(code >> 8)});
        const double readBack = e.engine.monitorReadings()[9] * 2.5 / 4096;
        EXPECT_NEAR(readBack, volts, 2.5 / 4096) << volts;
        const auto resent = static_cast<std::uint16_t>(readBack * 4096.5 * 0.4);
        EXPECT_LE(std::abs(int(resent) - int(code)), 1) << volts;
    }
}

TEST(ProtocolEngine, scopeAndTimerCommands_setTheAcquisitionState) {
    Engine e;
    e.send({'A', 2, 0xC2, 0x01, 15});
    EXPECT_EQ(e.engine.state().sampleCount, 450);
    e.send({'A', 2, 0xE8, 0x03, 15});
    EXPECT_EQ(e.engine.state().sampleCount, 1000);
    e.send({'A', 2, 0xFF, 0xFF, 15});
    EXPECT_EQ(e.engine.state().sampleCount, ProtocolEngine::MaxScopeSamples);
    e.send({'Q', 12});
    e.send({'Z', 0x96, 0x08, 0x3D, 0, 0, 0, 16});
    EXPECT_NEAR(e.engine.state().intervalSeconds(), 0.2, 1e-6);
    e.send({'l'}, 5.0);
    EXPECT_TRUE(e.engine.state().waitingForTrigger);
    EXPECT_EQ(e.engine.state().armedAt, 5.0);
    e.send({'L'});
    e.send({'Y'});
    EXPECT_FALSE(e.engine.state().waitingForTrigger);
    EXPECT_EQ(e.engine.state().intervalSeconds(), 0.0);
}

TEST(ProtocolEngine, timedFrame_carriesTheExposureAndTheEncodedFrame) {
    SimulatorConfig c;
    c.chipKind = SimChipKind::Mxr;
    Engine e(c);
    e.send({'o'}, 10.0);
    const Bytes m = e.send({'C'}, 10.5);
    ASSERT_TRUE(hasShape(m, e.board));
    EXPECT_NEAR(TicksToSeconds(&m[1], 3), 0.5, 1e-5);
    std::vector<std::uint16_t> decoded(65536);
    ASSERT_TRUE(
        DeserializeFrameStream(true, &m[7], e.board.streamSize(), decoded.data(), decoded.size()));
    ASSERT_TRUE(ConvertPseudoCodes(true, decoded.data(), decoded.size(), 1));
    EXPECT_EQ(decoded, e.engine.lastFrame());
    // Test pulses: every pixel counted them.
    e.send({'O', 0x2C, 0x01, 0});
    EXPECT_EQ(e.engine.lastFrame()[12345], 300);
}

TEST(ProtocolEngine, reset_restoresDefaultsAndSendsTheLineAfterARestart) {
    SimulatorConfig c;
    c.resetRetries = 2;
    Engine e(c);
    e.send({'b', 9});
    e.send({'l'});
    std::vector<OutMessage> out;
    const std::uint8_t reset = '_';
    e.engine.receive(&reset, 1, 2.0, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(text(out[0].bytes), "_OK\r");
    EXPECT_EQ(text(out[1].bytes), e.board.resetAnswer(2));
    EXPECT_GT(out[1].delay, 0.0);
    EXPECT_FALSE(out[1].response);
    EXPECT_EQ(e.engine.state().biasCode, 0);
    EXPECT_FALSE(e.engine.state().waitingForTrigger);
    EXPECT_EQ(e.engine.state().resets, 1u);
}

TEST(ProtocolEngine, wrongCodeAndSilenceFaults_shapeTheAnswer) {
    Engine e;
    e.faults.arm(SimFault::wrongCode('M'));
    const Bytes m = e.send({'b', 7});
    EXPECT_EQ(m[0], 'M');
    EXPECT_TRUE(hasShape(m, e.board));
    EXPECT_EQ(e.engine.state().biasCode, 7); // the command itself was carried out
    e.faults.arm(SimFault::stopAnswering(1));
    EXPECT_TRUE(e.send({'b', 8}).empty());
    EXPECT_EQ(text(e.send({'b', 9})), "bOK\r");
}

// Trigger timing.

InterfaceState armed(double at, double interval = 0) {
    InterfaceState s;
    s.biasCode = 1;
    s.waitingForTrigger = true;
    s.armedAt = at;
    s.armCount = 1;
    if (interval > 0) {
        std::uint8_t ticks[6];
        SecondsToTicks(interval, 3, ticks);
        for (int i = 5; i >= 0; --i) {
            s.intervalTicks = (s.intervalTicks << 8) | ticks[i];
        }
        s.intervalRunning = true;
    }
    return s;
}

std::vector<Trigger> triggersUntil(Acquisition& a, const InterfaceState& s, double until) {
    std::vector<Trigger> all;
    Trigger t;
    while (a.nextTrigger(s, s.armedAt, until, t)) {
        all.push_back(t);
    }
    return all;
}

TEST(Acquisition, withoutIntervalTimer_triggersAtTheSourcesRate) {
    SimulatorConfig c;
    Acquisition a(c);
    const auto triggers = triggersUntil(a, armed(0.0), 10.0);
    // Almost every Am-241 photon passes the default threshold at full bias: only the low end
    // of the continuum stays under it.
    EXPECT_NEAR(triggers.size(), 2000 * 10 * 0.985, 2000 * 10 * 0.015);
    for (std::size_t i = 1; i < triggers.size(); ++i) {
        ASSERT_GT(triggers[i].time, triggers[i - 1].time);
    }
}

TEST(Acquisition, intervalTimer_atMostOnePulsePerInterval) {
    SimulatorConfig c;
    Acquisition a(c);
    const InterfaceState s = armed(100.0, 0.2);
    const auto triggers = triggersUntil(a, s, 120.0);
    EXPECT_GE(triggers.size(), 95u); // 2000/s fills nearly every interval
    EXPECT_LE(triggers.size(), 100u);
    for (std::size_t i = 1; i < triggers.size(); ++i) {
        const auto interval = [&](double t) { return std::floor((t - 100.0) / 0.2 + 1e-9); };
        EXPECT_GT(interval(triggers[i].time), interval(triggers[i - 1].time));
    }
}

TEST(Acquisition, biasOffDisarmedOrThresholdAboveAll_noTrigger) {
    SimulatorConfig c;
    Acquisition a(c);
    InterfaceState s = armed(0.0);
    s.biasCode = 0;
    EXPECT_TRUE(triggersUntil(a, s, 5.0).empty());
    s = armed(0.0);
    s.waitingForTrigger = false;
    EXPECT_TRUE(triggersUntil(a, s, 5.0).empty());
    s = armed(0.0);
    s.thresholdDac = 4095; // 2.5 V = 250 keV, above every Am-241 line
    EXPECT_TRUE(triggersUntil(a, s, 5.0).empty());
}

TEST(Acquisition, threshold_cutsTheLowLines) {
    SimulatorConfig c;
    Acquisition a(c);
    InterfaceState s = armed(0.0);
    s.thresholdDac = static_cast<std::uint16_t>(0.4 * 4096.5 * 0.4); // 40 keV
    const auto triggers = triggersUntil(a, s, 2.0);
    ASSERT_FALSE(triggers.empty());
    for (const auto& t : triggers) {
        EXPECT_GE(t.amplitude, detector::thresholdCodes(s.thresholdDac));
    }
}

TEST(Acquisition, sameSeed_samePulses) {
    SimulatorConfig c;
    c.seed = 99;
    Acquisition a(c), b(c);
    const auto ta = triggersUntil(a, armed(0.0), 1.0);
    const auto tb = triggersUntil(b, armed(0.0), 1.0);
    ASSERT_EQ(ta.size(), tb.size());
    for (std::size_t i = 0; i < ta.size(); ++i) {
        EXPECT_EQ(ta[i].time, tb[i].time);
        EXPECT_EQ(ta[i].amplitude, tb[i].amplitude);
    }
    c.seed = 100;
    Acquisition other(c);
    EXPECT_NE(triggersUntil(other, armed(0.0), 1.0).front().time, ta.front().time);
}

TEST(Acquisition, pulseLimit_stopsTriggering) {
    SimulatorConfig c;
    c.pulseLimit = 25;
    Acquisition a(c);
    EXPECT_EQ(triggersUntil(a, armed(0.0), 10.0).size(), 25u);
    EXPECT_TRUE(a.limitReached());
}

} // namespace
} // namespace tarvio
