#include "settings/ProcessingSettings.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tarvio;

namespace {

std::shared_ptr<const PulseTemplate> someLearnedShape() {
    std::vector<double> grid(PulseTemplate::GridNodes);
    for (int i = 0; i < PulseTemplate::GridNodes; ++i) {
        const double x =
            (static_cast<double>(i) / PulseTemplate::GridPerSample - PulseTemplate::LeadSamples) /
            6.0;
        grid[i] = x > 0 ? x * std::exp(1 - x) : 0.0;
    }
    return std::make_shared<PulseTemplate>(*PulseTemplate::learned(grid, 1200));
}

} // namespace

TEST(ProcessingSettings, defaults_leaveTheFileAsItWas) {
    const std::string text = "[Settings]\nDelay=150\n";
    IniFile ini = IniFile::parse(text);
    const ProcessingSettings read = readProcessingSettings(ini);
    EXPECT_TRUE(read.options.isPlain());
    EXPECT_EQ(read.learnPulses, ProcessingSettings::DefaultLearnPulses);
    writeProcessingSettings(ini, read);
    EXPECT_EQ(ini.text(), text);
}

TEST(ProcessingSettings, chosenProcessing_roundTripsAndBadValuesFallBack) {
    ProcessingSettings chosen;
    chosen.options.method = HeightMethod::Fit;
    chosen.options.rejectPileUp = chosen.options.rejectSaturated = true;
    chosen.options.tolerance = 3.5;
    chosen.options.shape = someLearnedShape();
    chosen.learnPulses = 500;
    IniFile ini = IniFile::parse("[Settings]\nDelay=150\n");
    writeProcessingSettings(ini, chosen);
    const ProcessingSettings back = readProcessingSettings(IniFile::parse(ini.text()));
    EXPECT_EQ(back.options.method, HeightMethod::Fit);
    EXPECT_EQ(rejectionNames(back.options), "saturated,pileup");
    EXPECT_EQ(back.options.tolerance, 3.5);
    ASSERT_TRUE(back.options.shape);
    EXPECT_EQ(back.options.shape->learnedFrom(), 1200);
    EXPECT_EQ(back.learnPulses, 500);
    // Back to the defaults: the section goes.
    writeProcessingSettings(ini, ProcessingSettings());
    EXPECT_EQ(ini.text(), "[Settings]\nDelay=150\n");

    const ProcessingSettings bad = readProcessingSettings(
        IniFile::parse("[Processing]\nHeight=parabola\nReject=pileup,typo\nTolerance=0.1\n"
                       "Template=12 1 2 3\nLearnPulses=-4\n"));
    EXPECT_TRUE(bad.options.isPlain());
    EXPECT_EQ(bad.options.tolerance, ProcessingOptions::DefaultTolerance);
    EXPECT_FALSE(bad.options.shape);
    EXPECT_EQ(bad.learnPulses, ProcessingSettings::DefaultLearnPulses);
}
