#include "settings/AnalysisSettings.h"
#include "settings/Settings.h"

#include "settings/ScopedSeparator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tarvio;
using tarvio::test::readText;
using tarvio::test::ScopedSeparator;
using tarvio::test::TempDir;

TEST(AnalysisSettings, savedWithTheOtherKeys_readBackWhateverTheLocale) {
    TempDir dir;
    const std::string path = dir.file("settings.ini");
    AnalysisSettings s;
    s.regions = {{170, 185}, {380, 420}};
    s.calibrationPairs = {{169.72, 13.944}, {397.7, 59.5409}};
    s.calibrationModel = CalibrationModel::Quadratic;
    s.polynomial = EnergyCalibration{{-19.98, 0.2001, 1.5e-7}};
    {
        ScopedSeparator comma(',');
        saveSettings(path, AppSettings{}, {}, {},
                     [&](IniFile& ini) { writeAnalysisSettings(ini, s); });
    }
    const std::string text = readText(path);
    EXPECT_NE(text.find("[Regions]\nRegion1=170-185\nRegion2=380-420\n"), std::string::npos);
    EXPECT_NE(text.find("Channel1=169.72\n"), std::string::npos);

    const AnalysisSettings back = readAnalysisSettings(readSettingsFile(path));
    EXPECT_EQ(back.regions, s.regions);
    ASSERT_EQ(back.calibrationPairs.size(), 2u);
    EXPECT_EQ(back.calibrationPairs[1].energy, 59.5409);
    EXPECT_EQ(back.calibrationModel, CalibrationModel::Quadratic);
    ASSERT_TRUE(back.polynomial);
    EXPECT_EQ(back.polynomial->coefficients, s.polynomial->coefficients);

    // Regions and calibration gone: both sections go, the nine lines stay.
    saveSettings(path, AppSettings{}, {}, {},
                 [&](IniFile& ini) { writeAnalysisSettings(ini, AnalysisSettings{}); });
    EXPECT_EQ(readText(path).find("Regions"), std::string::npos);
    EXPECT_EQ(readText(path).find("EnergyCalibration"), std::string::npos);
}

TEST(AnalysisSettings, handEditedValues_badOnesLeftOut) {
    const IniFile ini = IniFile::parse("[Regions]\n"
                                       "Region1=10-20\n"
                                       "Region2=20-10\n"     // upside down
                                       "Region3=4000-4096\n" // beyond the spectrum
                                       "Region4=abc\n"
                                       "Region5=-5-10\n"
                                       "Region7=4095-4095\n" // after a gap
                                       "Region99=1-2\n"      // beyond the most kept
                                       "[EnergyCalibration]\n"
                                       "Active=1\n"
                                       "C0=1\n"
                                       "C1=nan\n"
                                       "C2=0\n"
                                       "Channel1=100\n"
                                       "Energy1=5,5\n"
                                       "Channel2=200\n"
                                       "Energy2=40\n");
    const AnalysisSettings s = readAnalysisSettings(ini);
    EXPECT_EQ(s.regions, (std::vector<Region>{{10, 20}, {4095, 4095}}));
    EXPECT_FALSE(s.polynomial); // a coefficient that is not a number
    ASSERT_EQ(s.calibrationPairs.size(), 1u);
    EXPECT_EQ(s.calibrationPairs[0].channel, 200);
    EXPECT_EQ(s.calibrationModel, CalibrationModel::Line);
}
