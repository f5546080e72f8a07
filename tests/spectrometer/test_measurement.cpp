// The measurement record, its presets and the dead-time model, with times given by hand:
// real and live time across start, end and single shots, presets ending at their exact
// limit, counts after a preset kept apart, rates and saturation.

#include "spectrometer/DeadTime.h"
#include "spectrometer/MeasurementRecord.h"
#include "spectrometer/MeasurementState.h"
#include "spectrometer/Presets.h"

#include <gtest/gtest.h>

#include <vector>

using namespace tarvio;

namespace {

constexpr double Tau = 0.005; // seconds of dead time per pulse in these tests
constexpr double T0 = 1000.0; // steady time of the start

MeasurementPresets presets(std::optional<double> real, std::optional<double> live,
                           std::optional<std::uint64_t> counts) {
    MeasurementPresets p;
    p.realSeconds = real;
    p.liveSeconds = live;
    p.counts = counts;
    return p;
}

// A record as the controller keeps it, with the spectrum it guards.
struct Bench {
    MeasurementRecord record;
    Spectrum spectrum;

    void start(double at = T0) {
        spectrum.clear();
        record.clear();
        record.begin(at, 1700000000000, Tau);
    }
    // One pulse arriving at `at` in channel 100, as the pulse path handles it.
    bool pulse(double at) {
        if (!record.admit(at)) {
            return false;
        }
        spectrum.addCount(100);
        record.counted(at, spectrum);
        return true;
    }
};

} // namespace

TEST(DeadTime, holdOffOfDelayAndTransfer) {
    EXPECT_EQ(ScopeMessageBytes(450), 908u);
    EXPECT_EQ(ScopeMessageBytes(0), 8u);
    const struct {
        double delay;
        std::uint32_t samples;
        double wireRate;
        double extra;
        double tau;
    } cases[] = {
        {0.001, 450, 1e6, 0, 0.001908},                     // Delay 1 ms, 450 samples
        {0.2, 450, 1e6, 0, 0.200908},                       // the default delay
        {0.001, 450, 0, 0, 0.001908},                       // rate not known: 1 MB/s
        {0.001, 50, 2e5, 10e-6, 0.001 + 108 / 2e5 + 10e-6}, // slow wire, extra dead time
        {-1.0, 450, 1e6, -5.0, 0.000908},                   // nonsense parts count as 0
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(DeadTimePerPulse(c.delay, c.samples, c.wireRate, c.extra), c.tau, 1e-12)
            << c.delay << " " << c.samples << " " << c.wireRate;
    }
    EXPECT_DOUBLE_EQ(LiveSeconds(10.0, 1000, Tau), 5.0);
    EXPECT_EQ(LiveSeconds(1.0, 1000, Tau), 0.0); // never below 0
}

TEST(DeadTime, ratesFromCountsAndTimes) {
    const struct {
        std::optional<double> real;
        std::optional<double> live;
        std::uint64_t counts;
        std::optional<double> accepted, fraction, input;
        bool saturated;
    } cases[] = {
        {10.0, 5.0, 1000, 100.0, 0.5, 200.0, false},
        {10.0, 0.05, 1980, 198.0, 0.005, std::nullopt, true}, // live 0.5 %: saturated
        {10.0, 0.1, 1980, 198.0, 0.01, 19800.0, false},       // exactly 1 % still counts
        {0.0, 0.0, 0, std::nullopt, std::nullopt, std::nullopt, false},
        {std::nullopt, std::nullopt, 7, std::nullopt, std::nullopt, std::nullopt, false},
    };
    for (const auto& c : cases) {
        MeasurementInfo info;
        info.realSeconds = c.real;
        info.liveSeconds = c.live;
        info.acceptedCount = c.counts;
        const CountRates rates = RatesOf(info);
        EXPECT_EQ(rates.accepted.has_value(), c.accepted.has_value());
        EXPECT_EQ(rates.liveFraction.has_value(), c.fraction.has_value());
        EXPECT_EQ(rates.input.has_value(), c.input.has_value());
        if (c.accepted && rates.accepted) {
            EXPECT_DOUBLE_EQ(*rates.accepted, *c.accepted);
        }
        if (c.fraction && rates.liveFraction) {
            EXPECT_DOUBLE_EQ(*rates.liveFraction, *c.fraction);
        }
        if (c.input && rates.input) {
            EXPECT_NEAR(*rates.input, *c.input, 1e-6);
        }
        EXPECT_EQ(rates.saturated, c.saturated);
    }
}

TEST(Presets, firstLimitMetWinsAtItsExactMoment) {
    const struct {
        MeasurementPresets limits;
        double real;
        std::uint64_t counts;
        std::optional<PresetKind> kind;
        double at;
    } cases[] = {
        {presets(10.0, {}, {}), 9.99, 5, std::nullopt, 0},
        {presets(10.0, {}, {}), 10.5, 5, PresetKind::RealTime, 10.0},
        // Live 5 s with 1000 pulses of 5 ms: met at 10 s of real time.
        {presets({}, 5.0, {}), 9.9, 1000, std::nullopt, 0},
        {presets({}, 5.0, {}), 12.0, 1000, PresetKind::LiveTime, 10.0},
        {presets(11.0, 5.0, {}), 12.0, 1000, PresetKind::LiveTime, 10.0},
        {presets(9.0, 5.0, {}), 12.0, 1000, PresetKind::RealTime, 9.0},
        // Limits that are no limits.
        {presets(0.0, -1.0, 0), 1e9, 1000000, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        Presets p;
        p.set(c.limits);
        const auto reached = p.check({c.real, c.counts, Tau, {}});
        ASSERT_EQ(reached.has_value(), c.kind.has_value()) << c.real;
        if (reached) {
            EXPECT_EQ(reached->kind, *c.kind);
            EXPECT_DOUBLE_EQ(reached->atRealSeconds, c.at);
        }
    }

    Presets counts;
    counts.set(presets({}, {}, 3));
    EXPECT_FALSE(counts.metByData({1.0, 2, Tau, {}}));
    EXPECT_EQ(counts.metByData({1.0, 3, Tau, {}}), PresetKind::Counts);
    EXPECT_FALSE(counts.check({1e9, 3, Tau, {}})); // counts are not the clock's business
}

TEST(Presets, progressAndTimeLeftFollowTheNearestLimit) {
    Presets p;
    EXPECT_FALSE(p.fractionDone({5.0, 10, Tau, {}}));
    p.set(presets(100.0, {}, 1000));
    EXPECT_DOUBLE_EQ(*p.fractionDone({25.0, 500, Tau, {}}), 0.5); // counts ahead of time
    // 500 counts to go at 50/s: 10 s, before the real time's 75 s.
    EXPECT_DOUBLE_EQ(*p.secondsLeft({25.0, 500, Tau, {}}, 50.0), 10.0);
    EXPECT_DOUBLE_EQ(*p.secondsLeft({25.0, 500, Tau, {}}, std::nullopt), 75.0);

    // Live time grows at the live share of real time: 5 s live in 10 s real, 5 s to go.
    p.set(presets({}, 10.0, {}));
    EXPECT_DOUBLE_EQ(*p.secondsLeft({10.0, 1000, Tau, {}}, 100.0), 10.0);
    EXPECT_FALSE(p.secondsLeft({1.0, 1000, Tau, {}}, 100.0)); // no live time yet: cannot say
}

TEST(MeasurementRecord, realAndLiveTimeAcrossStartEndAndSingleShots) {
    Bench b;
    EXPECT_FALSE(b.record.info(T0).realSeconds); // never started
    b.start();
    EXPECT_TRUE(b.record.running());
    for (int i = 1; i <= 400; ++i) {
        b.pulse(T0 + i * 0.01);
    }
    MeasurementInfo info = b.record.info(T0 + 4.0);
    EXPECT_FALSE(info.ended);
    EXPECT_EQ(info.startUtcMs, 1700000000000);
    EXPECT_DOUBLE_EQ(*info.realSeconds, 4.0);
    EXPECT_DOUBLE_EQ(*info.liveSeconds, 4.0 - 400 * Tau);
    EXPECT_DOUBLE_EQ(*info.deadTimePerPulseSeconds, Tau);

    b.record.end(T0 + 5.0);
    info = b.record.info(T0 + 50.0); // the clocks stopped
    EXPECT_TRUE(info.ended);
    EXPECT_DOUBLE_EQ(*info.realSeconds, 5.0);
    // A single shot, or a pulse in flight at the stop: counted, the clocks stay.
    EXPECT_TRUE(b.pulse(T0 + 60.0));
    info = b.record.info(T0 + 70.0);
    EXPECT_EQ(info.acceptedCount, 401u);
    EXPECT_DOUBLE_EQ(*info.realSeconds, 5.0);
    EXPECT_DOUBLE_EQ(*info.liveSeconds, 5.0 - 401 * Tau);
    EXPECT_EQ(info.countsAfterEnd, 0u);

    // Ending twice changes nothing; a clear forgets the measurement.
    b.record.end(T0 + 80.0);
    EXPECT_DOUBLE_EQ(*b.record.info(T0 + 90.0).realSeconds, 5.0);
    b.record.clear();
    info = b.record.info(T0 + 90.0);
    EXPECT_FALSE(info.realSeconds);
    EXPECT_EQ(info.acceptedCount, 0u);
    EXPECT_FALSE(b.record.takeStopOwed());
}

TEST(MeasurementRecord, countPreset_leavesExactlyNCountsAndTheRestApart) {
    Bench b;
    b.record.setPresets(presets({}, {}, 100), T0, b.spectrum);
    b.start();
    for (int i = 1; i <= 130; ++i) {
        b.pulse(T0 + i * 0.01);
    }
    EXPECT_EQ(b.spectrum.counts[100], 100u);
    MeasurementInfo info = b.record.info(T0 + 10.0);
    EXPECT_EQ(info.acceptedCount, 100u);
    EXPECT_EQ(info.countsAfterEnd, 30u);
    EXPECT_DOUBLE_EQ(*info.realSeconds, 1.0); // ended with the 100th pulse
    EXPECT_EQ(b.record.presetReached(), PresetKind::Counts);
    EXPECT_TRUE(b.record.takeStopOwed());
    EXPECT_FALSE(b.record.takeStopOwed()); // owed once

    // A single shot afterwards counts again.
    b.record.reopen();
    EXPECT_TRUE(b.pulse(T0 + 20.0));
    EXPECT_EQ(b.spectrum.counts[100], 101u);
}

TEST(MeasurementRecord, timePresets_endAtTheLimitAndLaterPulsesStayOut) {
    Bench b;
    b.record.setPresets(presets(2.0, {}, {}), T0, b.spectrum);
    b.start();
    EXPECT_TRUE(b.record.needsClock());
    EXPECT_TRUE(b.pulse(T0 + 1.999));
    EXPECT_FALSE(b.pulse(T0 + 2.001)); // after the limit: not in the spectrum
    EXPECT_EQ(b.record.presetReached(), PresetKind::RealTime);
    EXPECT_DOUBLE_EQ(*b.record.info(T0 + 3.0).realSeconds, 2.0);
    EXPECT_EQ(b.record.info(T0 + 3.0).countsAfterEnd, 1u);

    // A live-time limit met between pulses, noticed later by the periodic check.
    b.record.setPresets(presets({}, 1.0, {}), T0, b.spectrum);
    b.start();
    for (int i = 1; i <= 100; ++i) {
        b.pulse(T0 + i * 0.01); // 100 pulses: 0.5 s dead
    }
    EXPECT_FALSE(b.record.check(T0 + 1.49));
    EXPECT_TRUE(b.record.check(T0 + 3.0));
    EXPECT_FALSE(b.record.check(T0 + 4.0)); // once
    const MeasurementInfo info = b.record.info(T0 + 5.0);
    EXPECT_DOUBLE_EQ(*info.realSeconds, 1.5);
    EXPECT_DOUBLE_EQ(*info.liveSeconds, 1.0);
}

TEST(MeasurementRecord, presetsChangedWhileRunning_neverEndInThePast) {
    Bench b;
    b.start();
    for (int i = 1; i <= 50; ++i) {
        b.pulse(T0 + i * 0.1);
    }
    EXPECT_FALSE(b.record.needsClock()); // no preset: the pulse path reads no clock
    // A real time of 2 s set at 8 s: the measurement ends now, at 8 s.
    b.record.setPresets(presets(2.0, {}, {}), T0 + 8.0, b.spectrum);
    EXPECT_FALSE(b.record.running());
    EXPECT_DOUBLE_EQ(*b.record.info(T0 + 9.0).realSeconds, 8.0);
    // Raising a count limit keeps the measurement going; one below the count ends it now.
    b.start();
    b.record.setPresets(presets({}, {}, 10), T0, b.spectrum);
    for (int i = 1; i <= 5; ++i) {
        b.pulse(T0 + i);
    }
    b.record.setPresets(presets({}, {}, 3), T0 + 6.0, b.spectrum);
    EXPECT_EQ(b.record.presetReached(), PresetKind::Counts);
    EXPECT_DOUBLE_EQ(*b.record.info(T0 + 9.0).realSeconds, 6.0);
    EXPECT_EQ(b.spectrum.counts[100], 5u);
}

TEST(MeasurementRecord, slidingRate_followsTheLastSeconds) {
    Bench b;
    b.start();
    double t = T0;
    // 100 pulses a second for 10 s, then 10 a second for 6 s; refreshed every 0.1 s.
    for (int tick = 1; tick <= 160; ++tick) {
        const int perTick = tick <= 100 ? 10 : 1;
        for (int i = 0; i < perTick; ++i) {
            b.pulse(t + 0.1 * (i + 1) / perTick);
        }
        t = T0 + tick * 0.1;
        b.record.sample(t);
    }
    MeasurementStatus status;
    b.record.describe(t, status);
    ASSERT_TRUE(status.slidingRate);
    EXPECT_NEAR(*status.slidingRate, 10.0, 0.5);
    EXPECT_NEAR(*status.rates.accepted, 1060.0 / 16.0, 1e-9);
    b.record.end(t);
    b.record.describe(t, status);
    EXPECT_FALSE(status.slidingRate); // nothing is coming in
}

TEST(MeasurementStateCell, listenerHearsEachChangeOnce) {
    MeasurementStateCell cell;
    std::vector<MeasurementState> heard;
    cell.setListener([&](MeasurementState s) { heard.push_back(s); });
    EXPECT_EQ(cell.get(), MeasurementState::Idle);
    EXPECT_TRUE(cell.set(MeasurementState::Measuring));
    EXPECT_FALSE(cell.set(MeasurementState::Measuring));
    EXPECT_FALSE(cell.change(MeasurementState::Idle, MeasurementState::PresetReached));
    EXPECT_TRUE(cell.change(MeasurementState::Measuring, MeasurementState::PresetReached));
    EXPECT_EQ(heard, (std::vector<MeasurementState>{MeasurementState::Measuring,
                                                    MeasurementState::PresetReached}));
    EXPECT_STREQ(MeasurementStateName(MeasurementState::PresetReached), "Preset reached");
    EXPECT_STREQ(MeasurementStateName(MeasurementState::InterfaceLost), "Interface lost");
}

TEST(MeasurementRecord, regionPreset_endsWithThePulseThatGivesTheRegionEnoughCounts) {
    // Net counts: a flat background of 2 a channel in 100..110 is not a peak.
    Bench b;
    b.start();
    for (std::uint32_t c = 100; c <= 110; ++c) {
        b.spectrum.counts[c] = 2;
    }
    MeasurementPresets limits;
    limits.region = RegionCountsPreset{100, 110, 5, false};
    b.record.setPresets(limits, T0, b.spectrum);
    const auto pulseIn = [&](std::uint32_t channel, double at) {
        if (!b.record.admit(at)) {
            return false;
        }
        b.spectrum.addCount(channel);
        b.record.counted(at, b.spectrum, channel);
        return true;
    };
    for (int i = 0; i < 50; ++i) {
        pulseIn(300, T0 + 0.1 * i); // outside the region: never meets it
    }
    EXPECT_TRUE(b.record.running());
    const MeasurementStatus before = [&] {
        MeasurementStatus s;
        b.record.describe(T0 + 5.0, s);
        return s;
    }();
    ASSERT_TRUE(before.presetFraction);
    EXPECT_DOUBLE_EQ(*before.presetFraction, 0.0);
    for (int i = 0; i < 4; ++i) {
        pulseIn(105, T0 + 6.0 + i);
    }
    EXPECT_TRUE(b.record.running()); // 4 net counts above the background
    EXPECT_TRUE(pulseIn(105, T0 + 10.0));
    EXPECT_EQ(b.record.presetReached(), PresetKind::RegionCounts);
    EXPECT_DOUBLE_EQ(*b.record.info(T0 + 20.0).realSeconds, 10.0);
    EXPECT_FALSE(pulseIn(105, T0 + 11.0)); // after the end: counted apart
    EXPECT_EQ(b.spectrum.counts[105], 7u);

    // Gross counts of the same region: the background counts too.
    limits.region->gross = true;
    limits.region->counts = 40;
    b.start();
    b.record.setPresets(limits, T0, b.spectrum);
    for (int i = 0; i < 39; ++i) {
        pulseIn(100 + i % 11, T0 + 0.01 * i);
    }
    EXPECT_TRUE(b.record.running());
    pulseIn(110, T0 + 1.0);
    EXPECT_EQ(b.record.presetReached(), PresetKind::RegionCounts);

    // A region outside the spectrum or asking for nothing is no preset.
    Presets none;
    none.set({{}, {}, {}, RegionCountsPreset{10, 5000, 5, false}});
    EXPECT_FALSE(none.any());
    none.set({{}, {}, {}, RegionCountsPreset{10, 20, 0, false}});
    EXPECT_FALSE(none.any());
}
