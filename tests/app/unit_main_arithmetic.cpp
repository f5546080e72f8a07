// The arithmetic behind the main window's controls: bias codes, threshold track positions,
// the zoom band and the scroll step.

#include "settings/AppError.h"
#include "app/OperatingPoint.h"
#include "app/ZoomBand.h"

#include <gtest/gtest.h>

#include <climits>

using namespace tarvio;

TEST(BiasCode, defaultLimits_codesFromMinimumToMaximum) {
    const std::pair<int, int> cases[] = {{16, 255}, {17, 251}, {40, 145}, {70, 6}, {71, 1}};
    for (auto [volts, code] : cases)
        EXPECT_EQ(biasCode(volts, 16, 71), code) << volts;
}

TEST(BiasCode, outsideTheLimits_heldToTheNearerEndNeverWrapped) {
    EXPECT_EQ(biasCode(15, 16, 71), 255);
    EXPECT_EQ(biasCode(72, 16, 71), 1);
    EXPECT_EQ(biasCode(INT_MIN, 16, 71), 255);
    EXPECT_EQ(biasCode(INT_MAX, 16, 71), 1);
    // Limits given the wrong way round: 255 still stands for the minimum setting.
    EXPECT_EQ(biasCode(71, 71, 16), 255);
    EXPECT_EQ(biasCode(16, 71, 16), 1);
    EXPECT_EQ(biasCode(10, 71, 16), 1);
}

TEST(BiasCode, equalLimits_divisionByZeroError) {
    try {
        biasCode(30, 30, 30);
        FAIL() << "no error";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Floating point division by zero");
    }
}

TEST(ThresholdTrack, volts_truncatedTenthsWithinTheTrackBar) {
    EXPECT_EQ(thresholdTrackPosition(1.25), 12);
    EXPECT_EQ(thresholdTrackPosition(0.29), 2);
    EXPECT_EQ(thresholdTrackPosition(3.7), 25);
    EXPECT_EQ(thresholdTrackPosition(-0.5), 0);
    EXPECT_EQ(thresholdTrackPosition(1e300), 25);
    EXPECT_DOUBLE_EQ(truncateToHundredths(0.4565), 0.45);
    EXPECT_DOUBLE_EQ(truncateToHundredths(-0.4565), -0.45);
}

TEST(ZoomBandArithmetic, dragsAnyDirection_normalisedAndClippedToTheImage) {
    EXPECT_EQ(normaliseToImage({100, 50, -60, -30}, 321, 273), (BandRect{40, 20, 60, 30}));
    // Left of the image: the left edge goes to 0, the width stays.
    EXPECT_EQ(normaliseToImage({20, 100, -30, 0}, 321, 273), (BandRect{0, 100, 30, 0}));
    EXPECT_EQ(normaliseToImage({300, 200, 100, 100}, 321, 273), (BandRect{300, 200, 21, 73}));
    EXPECT_EQ(normaliseToImage({0, 0, 0, 0}, 321, 273), (BandRect{0, 0, 0, 0}));
}

TEST(ZoomBandArithmetic, scrollStep_tenthOfTheImageWidthAtLeastOne) {
    EXPECT_EQ(channelScrollStep(3996, 321), 124); // zoomed to 100 channels
    EXPECT_EQ(channelScrollStep(31, 321), 1);
    EXPECT_EQ(channelScrollStep(100, 5), 100);
}
