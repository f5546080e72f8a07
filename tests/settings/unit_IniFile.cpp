#include "settings/IniFile.h"

#include <gtest/gtest.h>

using tarvio::IniFile;

TEST(IniFile, namesInAnyCase_matchFirstSectionAndKey) {
    const IniFile ini = IniFile::parse("; Delay=1\n"
                                       "[settings]\n"
                                       "  DELAY =  150  \n"
                                       "delay=999\n"
                                       "# BiasMin=3\n"
                                       "[Settings]\n"
                                       "BiasMin=20\n");
    EXPECT_EQ(ini.value("Settings", "Delay"), "150");
    // Only the first section of a name counts; comments are never keys.
    EXPECT_FALSE(ini.value("SETTINGS", "BiasMin").has_value());
    EXPECT_FALSE(ini.value("Calibration", "Delay").has_value());
    EXPECT_EQ(IniFile::parse("[A]\nk=\n").value("a", "K"), "");
}

TEST(IniFile, longValue_cutAt2047Characters) {
    const std::string longValue(5000, '7');
    const IniFile ini = IniFile::parse("[S]\nK=" + longValue + "\n");
    EXPECT_EQ(ini.value("S", "K"), std::string(2047, '7'));
}

TEST(IniFile, setValue_replacesInPlaceAddsAtSectionEndKeepsTheRest) {
    IniFile ini = IniFile::parse("\xEF\xBB\xBF; my notes\r\n"
                                 "[calibration]\r\n"
                                 "PEAK1 = 7\r\n"
                                 "Other=keep me\r\n"
                                 "\r\n"
                                 "[Mine]\r\n"
                                 "x=1");
    ini.setValue("Calibration", "Peak1", "100");
    ini.setValue("Calibration", "Peak2", "200");
    ini.setValue("Settings", "Delay", "150");
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF; my notes\r\n"
                          "[calibration]\r\n"
                          "PEAK1=100\r\n"
                          "Other=keep me\r\n"
                          "Peak2=200\r\n"
                          "\r\n"
                          "[Mine]\r\n"
                          "x=1\r\n"
                          "[Settings]\r\n"
                          "Delay=150\r\n");
}

TEST(IniFile, emptyText_buildsSectionsInOrder) {
    IniFile ini;
    ini.setValue("A", "k1", "1");
    ini.setValue("B", "k2", "2");
    ini.setValue("a", "k3", "3");
    EXPECT_EQ(ini.text(), "[A]\nk1=1\nk3=3\n[B]\nk2=2\n");
}
