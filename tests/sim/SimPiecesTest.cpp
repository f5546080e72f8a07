// The simulator's pieces on their own: source physics, pulse shape and scope message, the
// wire, the chipboard and the faults.

#include "encodings/Encodings.h"
#include "sim/ChipBoard.h"
#include "sim/FaultSchedule.h"
#include "sim/PulseShape.h"
#include "sim/PulseSynth.h"
#include "sim/SimFaults.h"
#include "sim/SimRandom.h"
#include "sim/SourcePhysics.h"
#include "sim/WireQueue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace tarvio {
namespace {

TEST(SourceModel, am241Draws_onlyItsLinesAndALowContinuum) {
    const SourceModel source(SimSource::Am241);
    SimRandom rng(7);
    std::map<double, int> lines;
    int continuum = 0;
    const int draws = 20000;
    for (int i = 0; i < draws; ++i) {
        const double e = source.drawEnergy(rng);
        ASSERT_GE(e, SourceModel::ContinuumLowKeV);
        ASSERT_LE(e, 59.54);
        const bool isLine = std::any_of(source.lines().begin(), source.lines().end(),
                                        [&](const GammaLine& l) { return l.energyKeV == e; });
        isLine ? ++lines[e] : ++continuum;
    }
    EXPECT_EQ(lines.size(), 5u);
    // 59.54 keV carries 35.9 of 74.8 weight units of the lines.
    EXPECT_NEAR(lines[59.54] / double(draws - continuum), 35.9 / 74.8, 0.02);
    EXPECT_NEAR(continuum / double(draws), source.continuumFraction(), 0.01);
}

TEST(SourceModel, otherSources_carryTheirLines) {
    EXPECT_DOUBLE_EQ(SourceModel(SimSource::Co57).lines()[0].energyKeV, 122.06);
    EXPECT_DOUBLE_EQ(SourceModel(SimSource::Co57).lines()[1].energyKeV, 136.47);
    EXPECT_DOUBLE_EQ(SourceModel(SimSource::Cs137).lines()[0].energyKeV, 661.7);
    EXPECT_DOUBLE_EQ(SourceModel(SimSource::Cs137).lines()[1].energyKeV, 32.0);
}

TEST(Detector, chargeCollection_offAtZeroAndGrowingWithBiasVoltage) {
    EXPECT_EQ(detector::chargeCollection(0), 0.0);
    double previous = 0;
    // Code 255 is the lowest voltage, code 1 the highest.
    for (int code = 255; code >= 1; --code) {
        const double c = detector::chargeCollection(static_cast<std::uint8_t>(code));
        EXPECT_GT(c, previous) << code;
        previous = c;
    }
    EXPECT_GT(detector::chargeCollection(1), 0.99);
    EXPECT_LE(detector::chargeCollection(1), 1.0);
}

TEST(Detector, cs137LineAtFullBias_fitsTheConverterRange) {
    SimRandom rng(3);
    double sum = 0;
    for (int i = 0; i < 2000; ++i) {
        sum += detector::amplitudeCodes(661.7, 1, rng);
    }
    const double mean = sum / 2000;
    EXPECT_NEAR(mean, 661.7 * 5.0, 661.7 * 5.0 * 0.01);
    EXPECT_LT(detector::BaselineCode + mean + 5 * 5.0 * detector::resolutionSigmaKeV(661.7), 4095);
}

TEST(Detector, defaultThreshold_liesUnderTheLowestAm241LineAtLowestBias) {
    const double threshold = detector::thresholdCodes(detector::DefaultThresholdDac);
    EXPECT_NEAR(threshold, 50.0, 1.0); // 0.1 V
    EXPECT_LT(threshold, 13.9 * detector::CodesPerKeV * detector::chargeCollection(255));
}

TEST(PulseShape, pulse_peaksAtItsAmplitudeAboveTheBaseline) {
    SimRandom noise(11);
    std::vector<std::uint16_t> samples;
    pulse::shapeSamples(300.0, 450, 0.0, noise, samples);
    ASSERT_EQ(samples.size(), 450u);
    const auto peak = std::max_element(samples.begin(), samples.end());
    EXPECT_NEAR(*peak, 400, 8);
    const auto peakAt = peak - samples.begin();
    const double onset = pulse::onsetSample(450);
    EXPECT_NEAR(peakAt, onset + pulse::ShapingSamples, 1.5);
    // Before the onset only the noisy baseline.
    for (int k = 0; k < onset; ++k) {
        EXPECT_NEAR(samples[k], 100, 10) << k;
    }
}

TEST(PulseShape, hugeAmplitudeAndShortRecords_stayInRange) {
    SimRandom noise(1);
    std::vector<std::uint16_t> samples;
    pulse::shapeSamples(1e6, 60, 0.5, noise, samples);
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 4095);
    pulse::shapeSamples(100.0, 0, 0.0, noise, samples);
    EXPECT_TRUE(samples.empty());
    pulse::shapeSamples(100.0, 1, 0.0, noise, samples);
    EXPECT_EQ(samples.size(), 1u);
}

TEST(PulseSynth, imperfections_appearAsConfiguredAndTheTruthTellsThem) {
    // Noise, wander and pile-up, one case each, 2000 pulses of 450 samples, seeded.
    struct Case {
        const char* name;
        double noise;
        double wander;
        bool pileUp;
        double activity;
    };
    const Case cases[] = {
        {"defaults", 2.0, 0.0, false, 2000.0},
        {"noisy", 8.0, 0.0, false, 2000.0},
        {"wandering", 2.0, 5.0, false, 2000.0},
        {"piled up", 2.0, 0.0, true, 35000.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimulatorConfig config;
        config.noiseCodes = c.noise;
        config.baselineWanderCodes = c.wander;
        config.pileUp = c.pileUp;
        config.activity = c.activity;
        PulseSynth synth(config);
        SimRandom rng(3);
        std::vector<std::uint16_t> samples;
        PulseTruth truth;
        double noiseSum = 0, noiseSquares = 0, baselineSquares = 0, lastBaseline = 100.0;
        double step = 0;
        int noiseSamples = 0, piledUp = 0;
        const int pulses = 2000;
        for (int i = 0; i < pulses; ++i) {
            Trigger trigger{i * 0.05, 59.54, 297.7, rng.uniform()};
            synth.make(trigger, 1, 450, samples, truth);
            for (int k = 0; k < 32; ++k) {
                const double d = samples[k] - truth.baseline;
                noiseSum += d;
                noiseSquares += d * d;
                ++noiseSamples;
            }
            baselineSquares += (truth.baseline - 100.0) * (truth.baseline - 100.0);
            if (i > 0)
                step = std::max(step, std::abs(truth.baseline - lastBaseline));
            lastBaseline = truth.baseline;
            piledUp += truth.pileUp;
            EXPECT_EQ(truth.amplitude, 297.7);
            EXPECT_NEAR(truth.onset, 40.0 + trigger.phase, 1e-12);
            if (truth.pileUp) {
                EXPECT_GE(truth.pileUpOffset, PulseSynth::PileUpEarliestSamples);
                EXPECT_LE(truth.pileUpOffset, PulseSynth::PileUpLatestSamples);
                EXPECT_GT(truth.pileUpEnergyKeV, 0.0);
            }
        }
        const double mean = noiseSum / noiseSamples;
        // Rounding to codes adds a twelfth of a code squared; a pile-up before the onset adds
        // a little more.
        const double sigma = std::sqrt(noiseSquares / noiseSamples - mean * mean - 1.0 / 12);
        EXPECT_NEAR(sigma, c.noise, c.pileUp ? 0.4 : 0.1);
        EXPECT_NEAR(std::sqrt(baselineSquares / pulses), c.wander, 0.4 * c.wander + 1e-9);
        // Slow: 50 ms apart, the baseline moves a small part of its spread.
        EXPECT_LE(step, 0.6 * c.wander + 1e-9);
        const double expected = c.pileUp ? synth.pileUpProbability() * pulses : 0.0;
        EXPECT_NEAR(piledUp, expected, 4.0 * std::sqrt(expected + 1));
        if (c.pileUp) {
            EXPECT_NEAR(synth.pileUpProbability(), 0.1, 0.01);
        }
    }
}

TEST(PulseSynth, clippedPulse_isSaturatedInTheTruth) {
    SimulatorConfig config;
    PulseSynth synth(config);
    std::vector<std::uint16_t> samples;
    PulseTruth truth;
    synth.make(Trigger{0, 661.7, 3308.5, 0.5}, 1, 450, samples, truth);
    EXPECT_FALSE(truth.saturated);
    synth.make(Trigger{0, 900.0, 4500.0, 0.5}, 1, 450, samples, truth);
    EXPECT_TRUE(truth.saturated);
    EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), pulse::MaxCode);
}

TEST(ScopeMessage, layout_countWordsMonitorWordAndTerminator) {
    const std::vector<std::uint16_t> samples = {100, 0x0ABC, 4095};
    std::vector<std::uint8_t> m;
    pulse::encodeScopeData(samples, 3, 0x534, m);
    const std::vector<std::uint8_t> expected = {'$',  3,    0,    0x00, 100, 0x0A, 0xBC,
                                                0x0F, 0xFF, 0x35, 0x34, 'O', 'K',  '\r'};
    EXPECT_EQ(m, expected);
}

TEST(ScopeMessage, hostPulseHeight_followsTheHostsWordRules) {
    // The last word is never taken; monitor-tagged words are skipped; bit 15 is ignored.
    const std::vector<std::uint16_t> words = {100, 0x2FFF, 0x8000 | 3000, 200, 0x3FFF, 4000};
    EXPECT_EQ(pulse::hostPulseHeight(words.data(), words.size()), 3000);
    const std::uint16_t one = 4000;
    EXPECT_EQ(pulse::hostPulseHeight(&one, 1), 0); // one word: nothing stored
    // Beyond word 448 nothing is looked at.
    std::vector<std::uint16_t> many(600, 100);
    many[449] = 4000;
    many[448] = 900;
    EXPECT_EQ(pulse::hostPulseHeight(many.data(), many.size()), 900);
    // For samples as sent (monitor word appended) the same rule.
    std::vector<std::uint16_t> samples(450, 100);
    samples[449] = 4000; // word 449 of 451: not looked at
    EXPECT_EQ(pulse::hostPulseHeight(samples), 100);
    samples[448] = 4000;
    EXPECT_EQ(pulse::hostPulseHeight(samples), 4000);
}

TEST(WireQueue, pacedBytes_arriveAtTheWireRateInOrder) {
    WireQueue wire(1.0e6);
    wire.push(std::vector<std::uint8_t>(1000, 1), 10.0);
    wire.push(std::vector<std::uint8_t>(500, 2), 10.0); // queues behind the first
    EXPECT_EQ(wire.available(9.9), 0u);
    EXPECT_EQ(wire.available(10.0005), 500u);
    EXPECT_EQ(wire.available(10.0012), 1200u);
    EXPECT_DOUBLE_EQ(wire.arrivalOf(1000), 10.001);
    EXPECT_DOUBLE_EQ(wire.arrivalOf(1500), 10.0015);
    EXPECT_EQ(wire.arrivalOf(1501), WireQueue::Never);
    EXPECT_DOUBLE_EQ(wire.idleAt(10.0), 10.0015);
    std::uint8_t buffer[2000];
    EXPECT_EQ(wire.read(buffer, 2000, 10.0012, {}), 1200u);
    EXPECT_EQ(buffer[999], 1);
    EXPECT_EQ(buffer[1000], 2);
    EXPECT_EQ(wire.pending(), 300u);
}

TEST(WireQueue, depthUnderPushesAndPartialReads_matchesBytesArrivedLessBytesRead) {
    // The depth is kept as a running count; check it against one worked out from scratch.
    const double rate = 1000.0;
    WireQueue wire(rate);
    SimRandom rng(5);
    std::vector<std::pair<double, std::size_t>> sent; // start on the wire, size
    std::size_t read = 0;
    auto arrivedBy = [&](double t) {
        std::size_t bytes = 0;
        for (const auto& [start, size] : sent) {
            if (t >= start) {
                bytes += std::min<std::size_t>(size, std::floor((t - start) * rate + 1e-6));
            }
        }
        return bytes;
    };
    double t = 0;
    std::uint8_t buffer[64];
    for (int step = 0; step < 2000; ++step) {
        t += rng.uniform() * 0.01;
        switch (rng.below(3)) {
        case 0: {
            const std::size_t size = 1 + rng.below(20);
            const double last = sent.empty() ? 0 : sent.back().first + sent.back().second / rate;
            const double ready = t + rng.uniform() * 0.02;
            sent.emplace_back(std::max(ready, last), size);
            wire.push(std::vector<std::uint8_t>(size, 7), ready);
            break;
        }
        case 1:
            read += wire.read(buffer, 1 + rng.below(sizeof buffer), t, {});
            break;
        default:
            ASSERT_EQ(wire.available(t), arrivedBy(t) - read) << "step " << step;
        }
    }
}

TEST(WireQueue, laterMessage_neverOvertakesADelayedOne) {
    WireQueue fast(0);
    fast.push({'a'}, 5.0);
    fast.push({'b'}, 1.0);
    EXPECT_EQ(fast.available(2.0), 0u);
    EXPECT_EQ(fast.available(5.0), 2u);
}

TEST(WireQueue, pulse_countsOnlyWhenItsLastByteIsRead) {
    WireQueue wire(0);
    wire.push({1, 2, 3}, 0.0, 1234);
    wire.push({4}, 0.0);
    std::vector<std::uint16_t> delivered;
    const auto record = [&](std::uint16_t h) { delivered.push_back(h); };
    std::uint8_t b[4];
    wire.read(b, 2, 0.0, record);
    EXPECT_TRUE(delivered.empty());
    wire.read(b, 2, 0.0, record);
    EXPECT_EQ(delivered, std::vector<std::uint16_t>{1234});
    wire.push({1, 2, 3}, 0.0, 99);
    wire.clear();
    EXPECT_EQ(wire.read(b, 4, 0.0, record), 0u);
    EXPECT_EQ(delivered.size(), 1u);
}

// Decodes chipboard ID records as the host does.
std::string decodeIds(const std::vector<std::uint8_t>& bytes, bool& timepix) {
    std::string text;
    timepix = false;
    for (std::size_t k = 0; k + 3 < bytes.size(); k += 4) {
        const unsigned d1 = ReverseBits(bytes[k + 1]);
        const unsigned x = d1 & 15, y = d1 >> 4;
        const unsigned wafer = (ReverseBits(bytes[k + 3]) & 7) * 256 + ReverseBits(bytes[k + 2]);
        timepix = timepix || (ReverseBits(bytes[k + 3]) & 8);
        char item[16];
        if (x == 0 && y == 0 && wafer == 0) {
            std::snprintf(item, sizeof item, "000-W000");
        } else {
            std::snprintf(item, sizeof item, "%c%02d-W%04u", char(64 + x), 12 - int(y), wafer);
        }
        text += (text.empty() ? "" : " ") + std::string(item);
    }
    return text;
}

TEST(ChipBoard, resetAnswer_namesChipsKindAndRetries) {
    EXPECT_EQ(ChipBoard(SimChipKind::Medipix2, 1, 1).resetAnswer(0),
              "!Unit is on line. Medipix chips: 1 Ready\r");
    EXPECT_EQ(ChipBoard(SimChipKind::Timepix, 2, 1).resetAnswer(2),
              "!Unit is on line. !Unit is on line. !Unit is on line. "
              "Medipix TPX chips: 2 Medipix chips: 2 Ready\r");
    EXPECT_EQ(ChipBoard(SimChipKind::Mxr, 4, 1).resetAnswer(0),
              "!Unit is on line. Medipix MXR chips: 4 Medipix chips: 4 Ready\r");
}

TEST(ChipBoard, chipIds_decodeToTheIdentifierTextAndKind) {
    bool timepix = false;
    const ChipBoard tpx(SimChipKind::Timepix, 2, 1);
    EXPECT_EQ(decodeIds(tpx.chipIds(), timepix), "C10-W0123 D10-W0123");
    EXPECT_EQ(tpx.identifierText(), "C10-W0123 D10-W0123");
    EXPECT_TRUE(timepix);
    const ChipBoard mxr(SimChipKind::Mxr, 1, 1);
    EXPECT_EQ(decodeIds(mxr.chipIds(), timepix), "C10-W0123");
    EXPECT_FALSE(timepix);
    const ChipBoard plain(SimChipKind::Medipix2, 3, 1);
    EXPECT_EQ(plain.chipIds().size(), 12u);
    EXPECT_EQ(decodeIds(plain.chipIds(), timepix), plain.identifierText());
}

// Every chip kind and count: the frame the board encodes is the frame the host decodes.
TEST(ChipBoard, encodedFrames_decodeBackToTheirCounts) {
    for (SimChipKind kind : {SimChipKind::Medipix2, SimChipKind::Mxr, SimChipKind::Timepix}) {
        for (int chips = 1; chips <= 4; ++chips) {
            const ChipBoard board(kind, chips, 42);
            std::vector<std::uint16_t> values;
            board.exposureFrame(3, 0.5, values);
            std::vector<std::uint8_t> stream = board.encodeFrame(values);
            ASSERT_EQ(stream.size(), FrameStreamSize(board.largeCounters(), chips));
            std::vector<std::uint16_t> decoded(board.pixelCount() + 5, 0);
            ASSERT_TRUE(DeserializeFrameStream(board.largeCounters(), stream.data(), stream.size(),
                                               decoded.data(), decoded.size()));
            ASSERT_TRUE(
                ConvertPseudoCodes(board.largeCounters(), decoded.data(), board.pixelCount(), 1));
            decoded.resize(board.pixelCount());
            EXPECT_EQ(decoded, values) << "kind " << int(kind) << " chips " << chips;
            EXPECT_LE(*std::max_element(values.begin(), values.end()), board.maxCount());
        }
    }
}

TEST(ChipBoard, frames_areDeterministicPerSeedAndFrame) {
    const ChipBoard a(SimChipKind::Medipix2, 1, 5), b(SimChipKind::Medipix2, 1, 5);
    std::vector<std::uint16_t> fa, fb, fc;
    a.exposureFrame(1, 1.0, fa);
    b.exposureFrame(1, 1.0, fb);
    a.exposureFrame(2, 1.0, fc);
    EXPECT_EQ(fa, fb);
    EXPECT_NE(fa, fc);
}

TEST(FaultInjector, eachFault_changesOnlyTheNextMessageOfItsTarget) {
    FaultInjector faults(1);
    const std::vector<std::uint8_t> ok = {'b', 'O', 'K', '\r'};

    faults.arm(SimFault::drop(2, 1));
    EXPECT_EQ(faults.apply(ok, SimFaultTarget::Pulse).bytes, ok); // other target untouched
    auto f = faults.apply(ok, SimFaultTarget::Response);
    EXPECT_EQ(f.bytes, (std::vector<std::uint8_t>{'b', '\r'}));
    EXPECT_FALSE(f.intact);
    EXPECT_EQ(faults.apply(ok, SimFaultTarget::Response).bytes, ok); // used up

    faults.arm(SimFault::corrupt(1, 0));
    f = faults.apply(ok, SimFaultTarget::Response);
    EXPECT_EQ(f.bytes[0], static_cast<std::uint8_t>(~'b'));

    faults.arm(SimFault::cutShort(1));
    EXPECT_EQ(faults.apply(ok, SimFaultTarget::Response).bytes, std::vector<std::uint8_t>{'b'});

    faults.arm(SimFault::insert({0xC8, 0x01}));
    f = faults.apply(ok, SimFaultTarget::Response);
    EXPECT_EQ(f.before, (std::vector<std::uint8_t>{0xC8, 0x01}));
    EXPECT_EQ(f.bytes, ok);
    EXPECT_TRUE(f.intact);

    faults.arm(SimFault::errorLine("Overheat"));
    f = faults.apply(ok, SimFaultTarget::Response);
    EXPECT_EQ(std::string(f.before.begin(), f.before.end()), "!Overheat\r");

    faults.arm(SimFault::wrongCode('l'));
    std::uint8_t code = 0;
    EXPECT_TRUE(faults.takeWrongCode(code));
    EXPECT_EQ(code, 'l');
    EXPECT_FALSE(faults.takeWrongCode(code));
    EXPECT_TRUE(faults.empty());
}

TEST(FaultInjector, stopAnswering_silencesCountedCommandsOrAllUntilCleared) {
    FaultInjector faults(1);
    faults.arm(SimFault::stopAnswering(2));
    EXPECT_TRUE(faults.silenceCommand());
    EXPECT_TRUE(faults.silenceCommand());
    EXPECT_FALSE(faults.silenceCommand());
    faults.arm(SimFault::stopAnswering(0));
    EXPECT_TRUE(faults.silent());
    EXPECT_TRUE(faults.silenceCommand());
    faults.clear();
    EXPECT_FALSE(faults.silent());
    EXPECT_FALSE(faults.silenceCommand());
}

TEST(FaultSchedule, faultsComeAtTheRateAndOfTheListedKindsOnly) {
    FaultSchedule schedule(SimFaultDrop | SimFaultUnplug, 10.0, 3);
    std::map<std::uint32_t, int> kinds;
    int faults = 0;
    for (double t = 0; t < 100; t += 0.01) {
        std::uint32_t kind = 0;
        SimFault fault;
        while (schedule.due(t, kind, fault)) {
            ++kinds[kind];
            ++faults;
            if (kind == SimFaultDrop) {
                EXPECT_EQ(fault.kind, SimFaultKind::DropBytes);
            }
        }
    }
    EXPECT_NEAR(faults, 1000, 100);
    EXPECT_EQ(kinds.size(), 2u);
    EXPECT_GT(kinds[SimFaultUnplug], 0);

    std::uint32_t kind = 0;
    SimFault fault;
    FaultSchedule noKinds(0, 10.0, 1);
    FaultSchedule noRate(SimFaultDrop, 0.0, 1);
    EXPECT_FALSE(noKinds.due(1e6, kind, fault) || noRate.due(1e6, kind, fault));
}

TEST(SimulatorConfig, badValues_fallBackToDefaultsAndSourceNamesParse) {
    SimulatorConfig c;
    c.chips = 9;
    c.activity = -5;
    c.resetRetries = 100;
    c.wireRate = 0;
    c = sanitized(c);
    EXPECT_EQ(c.chips, 1);
    EXPECT_EQ(c.activity, 2000.0);
    EXPECT_EQ(c.resetRetries, 0);
    EXPECT_EQ(c.wireRate, 1.0e6);
    SimSource s = SimSource::Am241;
    EXPECT_TRUE(parseSimSource("cs-137", s));
    EXPECT_EQ(s, SimSource::Cs137);
    EXPECT_TRUE(parseSimSource("Co57", s));
    EXPECT_EQ(s, SimSource::Co57);
    EXPECT_FALSE(parseSimSource("U-235", s));
    EXPECT_EQ(s, SimSource::Co57);
    EXPECT_STREQ(simSourceName(SimSource::Am241), "Am-241");
}

} // namespace
} // namespace tarvio
