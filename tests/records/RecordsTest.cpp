#include "records/Calibration.h"
#include "records/PulseBuffer.h"
#include "records/Spectrum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace tarvio;

TEST(PulseBuffer, clear_zeroesSamplesAndEmptiesRangeButKeepsCount) {
    PulseBuffer pulse;
    pulse.sampleCount = 17;
    pulse.setSample(3, 1234);
    pulse.clear();
    EXPECT_EQ(pulse.sampleCount, 17u);
    EXPECT_EQ(pulse.samples[3], 0);
    EXPECT_EQ(pulse.minSample, 4096);
    EXPECT_EQ(pulse.maxSample, 0);
}

TEST(PulseBuffer, setSample_tracksRangeFromEmpty) {
    PulseBuffer pulse;
    pulse.setSample(0, 0);
    EXPECT_EQ(pulse.minSample, 0);
    EXPECT_EQ(pulse.maxSample, 0);
    pulse.setSample(1, 4095);
    EXPECT_EQ(pulse.minSample, 0);
    EXPECT_EQ(pulse.maxSample, 4095);
    pulse.resetRange();
    EXPECT_EQ(pulse.samples[1], 4095);
    EXPECT_EQ(pulse.minSample, 4096);
}

TEST(PulseBuffer, setSampleBeyondCapacity_isIgnored) {
    PulseBuffer pulse;
    pulse.setSample(MaxPulseSamples, 99);
    pulse.setSample(0xFFFF, 99);
    EXPECT_EQ(pulse.maxSample, 0);
    EXPECT_EQ(pulse.minSample, 4096);
}

TEST(PulseBuffer, copyFrom_copiesUsedPartOnly) {
    PulseBuffer source;
    source.setSample(0, 10);
    source.setSample(1, 20);
    source.setSample(2, 30);
    source.sampleCount = 2;
    PulseBuffer target;
    target.samples.fill(7);
    target.copyFrom(source);
    EXPECT_EQ(target.sampleCount, 2u);
    EXPECT_EQ(target.samples[0], 10);
    EXPECT_EQ(target.samples[1], 20);
    EXPECT_EQ(target.samples[2], 7); // beyond the count: untouched
    EXPECT_EQ(target.minSample, 10);
    EXPECT_EQ(target.maxSample, 30);

    PulseBuffer empty;
    empty.setSample(0, 5);
    empty.sampleCount = 0;
    target.copyFrom(empty);
    EXPECT_EQ(target.sampleCount, 0u);
    EXPECT_EQ(target.samples[0], 10); // no samples copied...
    EXPECT_EQ(target.minSample, 5);   // ...but count and range are
    EXPECT_EQ(target.maxSample, 5);
}

TEST(PulseBuffer, copyFromCountAboveCapacity_staysWithinBuffer) {
    PulseBuffer source;
    source.samples.fill(3);
    source.sampleCount = 100000;
    PulseBuffer target;
    target.copyFrom(source);
    EXPECT_EQ(target.sampleCount, MaxPulseSamples);
    EXPECT_EQ(target.samples[MaxPulseSamples - 1], 3);
}

TEST(Spectrum, newAndCleared_areEmptyWithFullChannelCount) {
    Spectrum spectrum;
    EXPECT_EQ(spectrum.channelCount, 4096);
    EXPECT_EQ(spectrum.maxCount, 0u);
    spectrum.addCount(5);
    spectrum.clear();
    EXPECT_EQ(spectrum.counts[5], 0u);
    EXPECT_EQ(spectrum.maxCount, 0u);
    EXPECT_EQ(spectrum.channelCount, 4096);
}

TEST(Spectrum, addCount_raisesMaxOnlyAboveIt) {
    Spectrum spectrum;
    spectrum.addCount(10);
    spectrum.addCount(10);
    EXPECT_EQ(spectrum.maxCount, 2u);
    spectrum.addCount(20);
    spectrum.addCount(20); // equal to the maximum
    EXPECT_EQ(spectrum.maxCount, 2u);
    spectrum.addCount(20);
    EXPECT_EQ(spectrum.maxCount, 3u);
    EXPECT_EQ(spectrum.counts[20], 3u);
}

TEST(Spectrum, addCountOutOfRangeOrFull_neitherWritesPastNorWraps) {
    Spectrum spectrum;
    spectrum.addCount(4096);
    spectrum.addCount(0xFFFFFFFF);
    EXPECT_EQ(spectrum.maxCount, 0u);
    spectrum.counts[7] = std::numeric_limits<std::uint32_t>::max();
    spectrum.addCount(7);
    EXPECT_EQ(spectrum.counts[7], std::numeric_limits<std::uint32_t>::max());
}

TEST(Spectrum, copyFrom_copiesCountsAndMaximum) {
    Spectrum source;
    source.addCount(4095);
    source.addCount(0);
    source.addCount(0);
    Spectrum target;
    target.copyFrom(source);
    EXPECT_EQ(target.counts[0], 2u);
    EXPECT_EQ(target.counts[4095], 1u);
    EXPECT_EQ(target.maxCount, 2u);
    EXPECT_EQ(target.channelCount, 4096);
}

TEST(CalibrationLine, fractionsDroppedBeforeDivision_gainAndOffsetOfExample) {
    const auto line = CalibrationLine::fromPoints({100, 59.5}, {200, 122.06});
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->gain, 0.62);
    EXPECT_DOUBLE_EQ(line->offset, -2.5);
    EXPECT_DOUBLE_EQ(line->energy(100), 59.5);
}

TEST(CalibrationLine, pointsInAnyOrder_giveTheSameRisingLine) {
    const auto a = CalibrationLine::fromPoints({200, 122.06}, {100, 59.5});
    const auto b = CalibrationLine::fromPoints({100, 122.06}, {200, 59.5});
    ASSERT_TRUE(a && b);
    EXPECT_DOUBLE_EQ(a->gain, 0.62);
    EXPECT_DOUBLE_EQ(a->offset, -2.5);
    EXPECT_DOUBLE_EQ(b->gain, 0.62);
    EXPECT_DOUBLE_EQ(b->offset, -2.5);
}

TEST(CalibrationLine, channelsLessThanOneApartOrNotFinite_areUndefined) {
    EXPECT_FALSE(CalibrationLine::fromPoints({0, 0}, {0, 0}));
    EXPECT_FALSE(CalibrationLine::fromPoints({100, 10}, {100.9, 20}));
    EXPECT_FALSE(CalibrationLine::fromPoints({100.9, 10}, {100, 20}));
    EXPECT_TRUE(CalibrationLine::fromPoints({100, 10}, {101, 20}));
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(CalibrationLine::fromPoints({nan, 0}, {100, 10}));
    EXPECT_FALSE(CalibrationLine::fromPoints({0, 0}, {100, inf}));
    EXPECT_FALSE(CalibrationLine::fromPoints({0, -1e308}, {1, 1e308}));
}
