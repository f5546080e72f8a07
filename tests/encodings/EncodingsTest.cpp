#include "encodings/Encodings.h"
#include "encodings/ReferenceDecoder.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <vector>

using namespace tarvio;

namespace {

std::uint16_t convertOne(bool large, std::uint16_t value, int direction, bool* ok = nullptr) {
    const bool result = ConvertPseudoCodes(large, &value, 1, direction);
    if (ok) {
        *ok = result;
    }
    return value;
}

std::vector<std::uint8_t> randomBytes(std::mt19937& rng, std::size_t n) {
    std::vector<std::uint8_t> bytes(n);
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : bytes) {
        b = static_cast<std::uint8_t>(byte(rng));
    }
    return bytes;
}

std::vector<std::uint8_t> ticks(double seconds, std::uint8_t kind = 3) {
    std::vector<std::uint8_t> t(6, 0xEE);
    SecondsToTicks(seconds, kind, t.data());
    return t;
}

} // namespace

TEST(PseudoCodes, smallCounterKnownCodes_decodeAndEncodeAsTheRegisterSteps) {
    EXPECT_EQ(convertOne(false, 0x1FFF, 1), 0);
    EXPECT_EQ(convertOne(false, 0x1FFE, 1), 1);
    EXPECT_EQ(convertOne(false, 0x1FFC, 1), 2);
    EXPECT_EQ(convertOne(false, 0x1FF8, 1), 3);
    EXPECT_EQ(convertOne(false, 0, 0), 0x1FFF);
    EXPECT_EQ(convertOne(false, 3, 0), 0x1FF8);
    // Code 0 is never produced by the register.
    bool ok = false;
    EXPECT_EQ(convertOne(false, 0, 1, &ok), 0xFFFF);
    EXPECT_TRUE(ok);
}

TEST(PseudoCodes, largeCounterKnownCodes_decodeAndEncodeAsTheRegisterSteps) {
    EXPECT_EQ(convertOne(true, 0x3FFF, 1), 0);
    EXPECT_EQ(convertOne(true, 0x3FFE, 1), 1);
    EXPECT_EQ(convertOne(true, 0x3FFD, 1), 2);
    EXPECT_EQ(convertOne(true, 0x3FFA, 1), 3);
    EXPECT_EQ(convertOne(true, 0, 1), 0);
    const std::uint16_t last = convertOne(true, LargeCounterMax, 0);
    EXPECT_NE(last, 0);
    EXPECT_EQ(convertOne(true, last, 1), LargeCounterMax);
}

TEST(PseudoCodes, everyCounterValue_roundTripsThroughDistinctCodes) {
    for (bool large : {false, true}) {
        const std::uint16_t max = large ? LargeCounterMax : SmallCounterMax;
        std::vector<std::uint16_t> values(max + 1);
        for (std::uint16_t i = 0; i <= max; ++i) {
            values[i] = i;
        }
        ASSERT_TRUE(ConvertPseudoCodes(large, values.data(), values.size(), 0));
        const std::set<std::uint16_t> distinct(values.begin(), values.end());
        EXPECT_EQ(distinct.size(), values.size()) << "large=" << large;
        EXPECT_LT(*distinct.rbegin(), large ? 16384 : 8192);
        ASSERT_TRUE(ConvertPseudoCodes(large, values.data(), values.size(), 1));
        for (std::uint16_t i = 0; i <= max; ++i) {
            ASSERT_EQ(values[i], i) << "large=" << large;
        }
    }
}

TEST(PseudoCodes, outOfRangeValues_becomeInvalidAndFailWhileTheRestConvert) {
    std::vector<std::uint16_t> small{0x1FFF, 0x2000, 0x1FFE, 0xFFFF};
    EXPECT_FALSE(ConvertPseudoCodes(false, small.data(), small.size(), 1));
    EXPECT_EQ(small, (std::vector<std::uint16_t>{0, 0xFFFF, 1, 0xFFFF}));

    std::vector<std::uint16_t> large{0x4000, 0x3FFE};
    EXPECT_FALSE(ConvertPseudoCodes(true, large.data(), large.size(), 1));
    EXPECT_EQ(large, (std::vector<std::uint16_t>{0xFFFF, 1}));

    // A count beyond the last state has no code and must not encode to a bogus one.
    bool ok = true;
    EXPECT_EQ(convertOne(false, SmallCounterMax + 1, 0, &ok), 0xFFFF);
    EXPECT_FALSE(ok);
    EXPECT_EQ(convertOne(true, LargeCounterMax + 1, 0, &ok), 0xFFFF);
    EXPECT_FALSE(ok);

    EXPECT_TRUE(ConvertPseudoCodes(false, nullptr, 0, 1));
}

TEST(FrameStream, onePlainChipAllOnes_skipsPrefixAndGives8191Everywhere) {
    std::vector<std::uint8_t> stream(114689, 0xFF);
    stream[0] = 0x00;
    std::vector<std::uint16_t> out(PixelsPerChip, 0);
    ASSERT_TRUE(
        DeserializeFrameStream(false, stream.data(), stream.size(), out.data(), out.size()));
    for (std::uint16_t v : out) {
        ASSERT_EQ(v, 8191);
    }
}

TEST(FrameStream, singleSetBit_landsAtItsRowPlaneAndReversedColumn) {
    struct Case {
        bool large;
        std::size_t row, plane, column;
    };
    for (const Case& c : {Case{false, 0, 0, 0}, Case{false, 255, 12, 255}, Case{false, 7, 5, 130},
                          Case{true, 0, 13, 0}, Case{true, 255, 0, 255}, Case{true, 100, 9, 17}}) {
        const std::size_t planes = c.large ? 14 : 13;
        const std::size_t size = FrameStreamSize(c.large, 1);
        std::vector<std::uint8_t> stream(size, 0);
        const std::size_t byte =
            1 + c.row * 32 * planes + 32 * (planes - 1 - c.plane) + c.column / 8;
        stream[byte] = static_cast<std::uint8_t>(0x80u >> (c.column % 8));
        std::vector<std::uint16_t> out(PixelsPerChip, 0xAAAA);
        ASSERT_TRUE(DeserializeFrameStream(c.large, stream.data(), size, out.data(), out.size()));
        const std::size_t where = 256 * c.row + 255 - c.column;
        for (std::size_t i = 0; i < out.size(); ++i) {
            ASSERT_EQ(out[i], i == where ? (1u << c.plane) : 0u)
                << "large=" << c.large << " row=" << c.row << " plane=" << c.plane
                << " column=" << c.column << " index=" << i;
        }
    }
}

TEST(FrameStream, streamTooShortForAChip_decodesNothingAndSucceeds) {
    std::vector<std::uint8_t> stream(114720, 0xFF);
    std::vector<std::uint16_t> out(PixelsPerChip, 0x1234);
    EXPECT_TRUE(DeserializeFrameStream(true, stream.data(), stream.size(), out.data(), out.size()));
    EXPECT_EQ(out.front(), 0x1234);
    EXPECT_EQ(out.back(), 0x1234);
    EXPECT_TRUE(DeserializeFrameStream(false, nullptr, 0, nullptr, 0));
    // One 14-bit byte more is a whole chip.
    stream.push_back(0xFF);
    EXPECT_TRUE(DeserializeFrameStream(true, stream.data(), stream.size(), out.data(), out.size()));
    EXPECT_EQ(out.front(), 16383);
}

TEST(FrameStream, outputTooSmall_failsWithoutWritingTheChipThatDoesNotFit) {
    std::vector<std::uint8_t> stream(FrameStreamSize(false, 2), 0xFF);
    std::vector<std::uint16_t> out(2 * PixelsPerChip, 0x1234);
    // The capacity is one value short of the second chip.
    EXPECT_FALSE(
        DeserializeFrameStream(false, stream.data(), stream.size(), out.data(), out.size() - 1));
    EXPECT_NE(out[0], 0x1234);
    for (std::size_t i = PixelsPerChip; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0x1234);
    }
    std::vector<std::uint16_t> small(PixelsPerChip - 1, 0x1234);
    std::vector<std::uint8_t> one(FrameStreamSize(true, 1), 0xFF);
    EXPECT_FALSE(DeserializeFrameStream(true, one.data(), one.size(), small.data(), small.size()));
    for (std::uint16_t v : small) {
        ASSERT_EQ(v, 0x1234);
    }
}

TEST(FrameStream, lengthClaimingMoreChipsThanItHolds_failsInsteadOfReadingPastTheEnd) {
    // 2 x 114688 bytes counts as two chips but lacks the two prefix bytes.
    std::vector<std::uint8_t> stream(2 * ChipBlockBytes, 0x55);
    std::vector<std::uint16_t> out(2 * PixelsPerChip);
    EXPECT_FALSE(
        DeserializeFrameStream(false, stream.data(), stream.size(), out.data(), out.size()));
}

TEST(FrameStream, lengthsAndCapacitiesAroundEveryBoundary_agreeWithTheReference) {
    // Exact-size buffers, so that a sanitizer catches any access past either end.
    std::mt19937 rng(5);
    for (bool large : {false, true}) {
        for (std::size_t length : {0ul, 1ul, 114687ul, 114688ul, 114689ul, 114720ul, 114721ul,
                                   114722ul, 229376ul, 229377ul, 229378ul, 229441ul, 229442ul}) {
            for (std::size_t capacity : {0ul, 65535ul, 131071ul, 131072ul}) {
                const auto stream = randomBytes(rng, length);
                std::vector<std::uint16_t> expected(capacity, 0xABCD);
                std::vector<std::uint16_t> actual(capacity, 0xABCD);
                const bool want =
                    reference::deserialize(large, stream.data(), length, expected.data(), capacity);
                const bool got =
                    DeserializeFrameStream(large, stream.data(), length, actual.data(), capacity);
                ASSERT_EQ(got, want)
                    << "large=" << large << " length=" << length << " capacity=" << capacity;
                ASSERT_EQ(actual, expected)
                    << "large=" << large << " length=" << length << " capacity=" << capacity;
            }
        }
    }
}

TEST(FrameStream, randomStreamsOfOneToFourChips_matchTheReferenceDecoder) {
    std::mt19937 rng(20261208);
    for (bool large : {false, true}) {
        for (std::size_t chips = 1; chips <= 4; ++chips) {
            // Up to 3 stray trailing bytes must not change the outcome.
            const std::size_t size = FrameStreamSize(large, chips) + rng() % 4;
            const auto stream = randomBytes(rng, size);
            const auto copy = stream;
            std::vector<std::uint16_t> expected(chips * PixelsPerChip, 0);
            std::vector<std::uint16_t> actual(chips * PixelsPerChip, 1);
            ASSERT_TRUE(reference::deserialize(large, stream.data(), size, expected.data(),
                                               expected.size()));
            ASSERT_TRUE(
                DeserializeFrameStream(large, stream.data(), size, actual.data(), actual.size()));
            EXPECT_EQ(stream, copy) << "the caller's stream must stay as it was";
            ASSERT_EQ(actual, expected) << "large=" << large << " chips=" << chips;
        }
    }
}

TEST(FrameStream, tenChainedPlainChips_shiftByMoreThanAByteLikeTheReference) {
    std::mt19937 rng(7);
    const std::size_t chips = 10; // the last chip is read 8 bits to the left
    const std::size_t size = FrameStreamSize(false, chips);
    const auto stream = randomBytes(rng, size);
    std::vector<std::uint16_t> expected(chips * PixelsPerChip, 0);
    std::vector<std::uint16_t> actual(chips * PixelsPerChip, 1);
    ASSERT_TRUE(
        reference::deserialize(false, stream.data(), size, expected.data(), expected.size()));
    ASSERT_TRUE(DeserializeFrameStream(false, stream.data(), size, actual.data(), actual.size()));
    EXPECT_EQ(actual, expected);
}

TEST(FrameStream, serialisedFrames_deserialiseToTheSameValues) {
    std::mt19937 rng(99);
    for (bool large : {false, true}) {
        const unsigned mask = large ? 0x3FFF : 0x1FFF;
        for (std::size_t chips = 1; chips <= 4; ++chips) {
            std::vector<std::uint16_t> values(chips * PixelsPerChip);
            for (auto& v : values) {
                v = static_cast<std::uint16_t>(rng() & mask);
            }
            std::vector<std::uint8_t> stream(FrameStreamSize(large, chips));
            ASSERT_TRUE(
                SerializeFrameStream(large, values.data(), chips, stream.data(), stream.size()));
            std::vector<std::uint16_t> back(values.size());
            ASSERT_TRUE(DeserializeFrameStream(large, stream.data(), stream.size(), back.data(),
                                               back.size()));
            if (!large && chips > 1) {
                // The bit of the first chip that travels in the prefix is not decoded.
                values[255] &= 0x0FFF;
            }
            ASSERT_EQ(back, values) << "large=" << large << " chips=" << chips;
        }
    }
}

TEST(FrameStream, serialiseIntoTooSmallBuffer_failsAndWritesNothing) {
    std::vector<std::uint16_t> values(PixelsPerChip, 5);
    std::vector<std::uint8_t> stream(FrameStreamSize(true, 1) - 1, 0x77);
    EXPECT_FALSE(SerializeFrameStream(true, values.data(), 1, stream.data(), stream.size()));
    for (std::uint8_t b : stream) {
        ASSERT_EQ(b, 0x77);
    }
    EXPECT_EQ(FrameStreamSize(false, 1), 114689u);
    EXPECT_EQ(FrameStreamSize(false, 2), 2 * 114689u + 1);
    EXPECT_EQ(FrameStreamSize(false, 10), 10 * 114689u + 2);
    EXPECT_EQ(FrameStreamSize(true, 4), 4 * 114721u);
}

TEST(BlockShift, twoBytesByOneBit_moveAcrossTheByteBoundary) {
    std::uint8_t right[] = {0x80, 0x01};
    ShiftBlockBits(right, 2, 1);
    EXPECT_EQ(right[0], 0x40);
    EXPECT_EQ(right[1], 0x00);
    std::uint8_t left[] = {0x80, 0x01};
    ShiftBlockBits(left, 2, -1);
    EXPECT_EQ(left[0], 0x00);
    EXPECT_EQ(left[1], 0x02);
}

TEST(BlockShift, anyShiftIncludingWholeBytesAndBeyond_matchesBitByBitShift) {
    std::mt19937 rng(3);
    const auto original = randomBytes(rng, 13);
    for (int shift = -110; shift <= 110; ++shift) {
        auto bytes = original;
        ShiftBlockBits(bytes.data(), bytes.size(), shift);
        ASSERT_EQ(bytes, reference::shifted(original, shift)) << "shift=" << shift;
    }
    auto bytes = original;
    ShiftBlockBits(bytes.data(), bytes.size(), INT_MIN);
    EXPECT_EQ(bytes, std::vector<std::uint8_t>(13, 0));
    ShiftBlockBits(nullptr, 0, 3);
}

TEST(ReverseBits, everyByte_reversesItsBitOrder) {
    EXPECT_EQ(ReverseBits(0x01), 0x80);
    EXPECT_EQ(ReverseBits(0xF0), 0x0F);
    for (unsigned v = 0; v < 256; ++v) {
        unsigned expected = 0;
        for (unsigned bit = 0; bit < 8; ++bit) {
            expected |= ((v >> bit) & 1u) << (7 - bit);
        }
        ASSERT_EQ(ReverseBits(static_cast<std::uint8_t>(v)), expected) << v;
    }
}

TEST(Ticks, typicalAndDegenerateTimes_giveTheExpectedTickBytes) {
    EXPECT_EQ(ticks(0.2), (std::vector<std::uint8_t>{0x96, 0x08, 0x3D, 0, 0, 0}));
    EXPECT_EQ(ticks(0.0), (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ticks(1e-9), (std::vector<std::uint8_t>{1, 0, 0, 0, 0, 0}));
    // 1 s less the overhead: 19 999 894 = 0x01312C96.
    const std::vector<std::uint8_t> oneSecond{0x96, 0x2C, 0x31, 0x01, 0, 0};
    EXPECT_EQ(ticks(1.0), oneSecond);
    EXPECT_EQ(ticks(-3.0), oneSecond);
    EXPECT_EQ(ticks(std::nan("")), oneSecond);
    // 8 MHz clock: (1 - 5.3e-6) x 8e6 = 7 999 957.6 -> 7 999 957 = 0x7A11D5.
    EXPECT_EQ(ticks(1.0, 2), (std::vector<std::uint8_t>{0xD5, 0x11, 0x7A, 0, 0, 0}));
    // Times beyond 48 bits hold at the largest count instead of wrapping.
    const std::vector<std::uint8_t> full(6, 0xFF);
    EXPECT_EQ(ticks(1e12), full);
    EXPECT_EQ(ticks(std::numeric_limits<double>::infinity()), full);
}

TEST(Ticks, tickBytes_readBackAsSecondsAtTheKindsRate) {
    const std::uint8_t twentyMillion[6] = {0x00, 0x2D, 0x31, 0x01, 0, 0};
    EXPECT_DOUBLE_EQ(TicksToSeconds(twentyMillion, 3), 1.0);
    EXPECT_DOUBLE_EQ(TicksToSeconds(twentyMillion, 2), 2.5);
    const std::uint8_t top[6] = {0, 0, 0, 0, 0, 0x01}; // 2^40
    EXPECT_DOUBLE_EQ(TicksToSeconds(top, 0), 1099511627776.0 / 20e6);
    const auto t = ticks(123.456);
    EXPECT_NEAR(TicksToSeconds(t.data(), 3), 123.456 - 5.3e-6, 1e-7);
}
