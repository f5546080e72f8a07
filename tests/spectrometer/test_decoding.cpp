// Pure decoders of the spectrometer: chip identifiers, the reset answer, scope data and the
// threshold DAC conversion.

#include "spectrometer/ChipIdentifiers.h"
#include "spectrometer/Commands.h"
#include "encodings/Encodings.h"
#include "spectrometer/ResetAnswer.h"
#include "spectrometer/ScopeDecoding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace tarvio;

namespace {

// One chipboard record as the interface sends it: every byte bit-reversed on the wire.
std::vector<std::uint8_t> chipRecord(unsigned x, unsigned y, unsigned wafer, bool timepix) {
    const std::uint8_t d1 = static_cast<std::uint8_t>((y << 4) | x);
    const std::uint8_t d2 = static_cast<std::uint8_t>(wafer & 0xFF);
    const std::uint8_t d3 = static_cast<std::uint8_t>(((wafer >> 8) & 7) | (timepix ? 8 : 0));
    return {0x55, ReverseBits(d1), ReverseBits(d2), ReverseBits(d3)};
}

std::vector<std::uint8_t> records(const std::vector<std::vector<std::uint8_t>>& chips) {
    std::vector<std::uint8_t> all;
    for (const auto& chip : chips) {
        all.insert(all.end(), chip.begin(), chip.end());
    }
    return all;
}

// A scope data body: L as little-endian 16 bits, then big-endian words.
std::vector<std::uint8_t> scopeBody(std::uint16_t l, const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> body = {static_cast<std::uint8_t>(l & 0xFF),
                                      static_cast<std::uint8_t>(l >> 8)};
    for (std::uint16_t w : words) {
        body.push_back(static_cast<std::uint8_t>(w >> 8));
        body.push_back(static_cast<std::uint8_t>(w & 0xFF));
    }
    return body;
}

struct Records {
    PulseBuffer pulse;
    Spectrum spectrum;
    ScopeMonitorReadings readings;
    Records() {
        pulse.clear();
        spectrum.clear();
    }
    bool accumulate(const std::vector<std::uint8_t>& body) {
        return AccumulateScopeData(body.data(), body.size(), pulse, spectrum, readings);
    }
};

} // namespace

TEST(ChipIdentifiers, typedRecord_givesLetterNumberWaferAndBothFlags) {
    const auto data = chipRecord(3, 2, 123, true);
    const ChipIdentifiers ids = DecodeChipIdentifiers(data.data(), data.size(), 1);
    EXPECT_STREQ(ids.text, "C10-W0123");
    EXPECT_TRUE(ids.largeCounters);
    EXPECT_TRUE(ids.timepix);
}

TEST(ChipIdentifiers, twoChipsAndZeroRecord_separatedByOneBlankZeroSetsNoFlag) {
    const auto two = records({chipRecord(1, 0, 7, false), chipRecord(15, 12, 2047, false)});
    const ChipIdentifiers ids = DecodeChipIdentifiers(two.data(), two.size(), 2);
    EXPECT_STREQ(ids.text, "A12-W0007 O00-W2047");
    EXPECT_TRUE(ids.largeCounters);
    EXPECT_FALSE(ids.timepix);

    const std::vector<std::uint8_t> zero = {0, 0, 0, 0};
    const ChipIdentifiers none = DecodeChipIdentifiers(zero.data(), zero.size(), 1);
    EXPECT_STREQ(none.text, "000-W000");
    EXPECT_FALSE(none.largeCounters);

    EXPECT_STREQ(DecodeChipIdentifiers(zero.data(), zero.size(), 0).text, "");
}

TEST(ChipIdentifiers, eightLongEntries_cutAtLastWholeEntryWithinCapacity) {
    std::vector<std::vector<std::uint8_t>> chips(8, chipRecord(3, 2, 123, false));
    chips[7] = chipRecord(3, 2, 123, true); // a chip left out of the text still counts
    const auto data = records(chips);
    const ChipIdentifiers ids = DecodeChipIdentifiers(data.data(), data.size(), 8);
    EXPECT_STREQ(ids.text, "C10-W0123 C10-W0123 C10-W0123 C10-W0123 C10-W0123 C10-W0123");
    EXPECT_LE(std::strlen(ids.text), ChipIdTextCapacity);
    EXPECT_TRUE(ids.timepix);
}

TEST(ChipIdentifiers, fewerBytesThanChips_decodesOnlyWholeRecords) {
    auto data = records({chipRecord(1, 0, 1, false), chipRecord(2, 0, 2, false)});
    data.resize(6);
    EXPECT_STREQ(DecodeChipIdentifiers(data.data(), data.size(), 2).text, "A12-W0001");
    EXPECT_STREQ(DecodeChipIdentifiers(nullptr, 8, 2).text, "");
}

TEST(ResetAnswer, plainReport_givesChipCountWithoutRetries) {
    const ResetAnswer a = ParseResetAnswer("!Unit is on line. Medipix chips: 1 Ready");
    EXPECT_EQ(a.kind, ResetAnswer::Kind::Plain);
    EXPECT_EQ(a.chipCount, 1);
    EXPECT_EQ(a.retries, 0);
}

TEST(ResetAnswer, threePrefixesAndTypedReport_countsTwoRetriesAndType) {
    const ResetAnswer a = ParseResetAnswer("!Unit is on line. !Unit is on line. !Unit is on line. "
                                           "Medipix TPX chips: 2 Medipix chips: 2 Ready");
    EXPECT_EQ(a.kind, ResetAnswer::Kind::Typed);
    EXPECT_EQ(a.retries, 2);
    EXPECT_EQ(a.chipCount, 2);
    EXPECT_EQ(std::string(a.type), "TPX");
}

TEST(ResetAnswer, malformedLines_areRejectedByKind) {
    EXPECT_EQ(ParseResetAnswer("Unit is on line. Medipix chips: 1 Ready").kind,
              ResetAnswer::Kind::NoPrefix);
    EXPECT_EQ(ParseResetAnswer("!Unit is on line").kind, ResetAnswer::Kind::NoPrefix);
    EXPECT_EQ(ParseResetAnswer("!Unit is on line. Hello").kind, ResetAnswer::Kind::Malformed);
    EXPECT_EQ(ParseResetAnswer("!Unit is on line. Medipix XYZ chips: 1").kind,
              ResetAnswer::Kind::Malformed);
    // Only the low 8 bits of the count are kept.
    EXPECT_EQ(ParseResetAnswer("!Unit is on line. Medipix chips: 257 Ready").chipCount, 1);
}

TEST(ScopeDecoding, threeSamples_storeAllButLastWordAndCountTheMaximum) {
    Records r;
    ASSERT_TRUE(r.accumulate(scopeBody(3, {100, 3000, 200, 4095})));
    EXPECT_EQ(r.pulse.sampleCount, 4u);
    EXPECT_EQ(r.pulse.samples[0], 100);
    EXPECT_EQ(r.pulse.samples[1], 3000);
    EXPECT_EQ(r.pulse.samples[2], 200);
    EXPECT_EQ(r.pulse.samples[3], 0); // the last announced word is not stored
    EXPECT_EQ(r.pulse.maxSample, 3000);
    EXPECT_EQ(r.pulse.minSample, 100);
    EXPECT_EQ(r.spectrum.counts[3000], 1u);
    EXPECT_EQ(r.spectrum.maxCount, 1u);
}

TEST(ScopeDecoding, oneWord_storesNothingAndCountsChannelZero) {
    Records r;
    r.pulse.samples[0] = 77;
    ASSERT_TRUE(r.accumulate(scopeBody(0, {1234})));
    EXPECT_EQ(r.pulse.sampleCount, 1u);
    EXPECT_EQ(r.pulse.samples[0], 77);
    EXPECT_EQ(r.spectrum.counts[0], 1u);
}

TEST(ScopeDecoding, fullAndOversizedPulses_neverExceedCapacity) {
    Records r;
    r.pulse.samples[449] = 9;
    std::vector<std::uint16_t> words(450);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = static_cast<std::uint16_t>(i);
    }
    ASSERT_TRUE(r.accumulate(scopeBody(449, words)));
    EXPECT_EQ(r.pulse.sampleCount, 450u);
    EXPECT_EQ(r.pulse.samples[448], 448);
    EXPECT_EQ(r.pulse.samples[449], 9);
    EXPECT_EQ(r.spectrum.counts[448], 1u);

    words.assign(600, 4000);
    words[449] = 4095; // beyond the decoded part: never looked at
    ASSERT_TRUE(r.accumulate(scopeBody(599, words)));
    EXPECT_EQ(r.pulse.sampleCount, 450u);
    EXPECT_EQ(r.pulse.maxSample, 4000);
    EXPECT_EQ(r.spectrum.counts[4000], 1u);
    EXPECT_EQ(r.spectrum.counts[4095], 0u);
}

TEST(ScopeDecoding, taggedWords_setMonitorReadingsAndLeaveSlotsAlone) {
    Records r;
    r.pulse.samples[1] = 55;
    // tag 2 at k = 1, tag 3 at k = 2, bit 15 with tag 0 is a sample of its low 12 bits.
    ASSERT_TRUE(r.accumulate(scopeBody(4, {10, 0x2ABC, 0x3123, 0x8FFF, 0})));
    EXPECT_EQ(r.readings.reading2, 0xABC);
    EXPECT_EQ(r.readings.reading3, 0x123);
    EXPECT_EQ(r.pulse.samples[1], 55);
    EXPECT_EQ(r.pulse.samples[3], 0xFFF);
    EXPECT_EQ(r.pulse.maxSample, 0xFFF);
    EXPECT_EQ(r.spectrum.counts[0xFFF], 1u);
}

TEST(ScopeDecoding, bodyShorterThanAnnounced_neverReadsBeyondIt) {
    Records r;
    // Announces 65536 words (the count wrapped) but carries two: stale bytes behind the body
    // must not become samples.
    std::vector<std::uint8_t> buffer = scopeBody(0xFFFF, {300, 200});
    const std::size_t length = buffer.size();
    buffer.resize(2000, 0x0F); // what an earlier message left in the receive buffer
    ASSERT_TRUE(AccumulateScopeData(buffer.data(), length, r.pulse, r.spectrum, r.readings));
    EXPECT_EQ(r.pulse.maxSample, 300);
    EXPECT_EQ(r.pulse.sampleCount, 3u);
    EXPECT_EQ(r.spectrum.counts[300], 1u);

    EXPECT_FALSE(r.accumulate({0x05}));
    EXPECT_EQ(r.spectrum.counts[300], 1u);
    EXPECT_EQ(r.spectrum.maxCount, 1u);
}

TEST(DacConversion, thresholdVolts_truncateToDacCodes) {
    EXPECT_EQ(VoltsToDacCode(0.2), 327);
    EXPECT_EQ(VoltsToDacCode(1.0), 1638);
    EXPECT_EQ(VoltsToDacCode(2.5), 4096);
    EXPECT_EQ(VoltsToDacCode(0.0), 0);
    EXPECT_EQ(VoltsToDacCode(-1.0), 0);
    EXPECT_EQ(VoltsToDacCode(1e9), 65535);
    EXPECT_DOUBLE_EQ(DacCodeToVolts(4096), 2.5);
    EXPECT_DOUBLE_EQ(DacCodeToVolts(0), 0.0);
}
