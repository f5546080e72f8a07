// The [Window] section: written and read back as it was; anything missing or absurd leaves
// the window to open as by default.

#include "settings/IniFile.h"
#include "settings/WindowPlacement.h"

#include <gtest/gtest.h>

using namespace tarvio;

namespace {

TEST(WindowPlacement, writtenThenRead_sameValuesOtherSectionsKept) {
    IniFile ini = IniFile::parse("[Settings]\nDelay=200\n");
    for (const WindowPlacement& placement :
         {WindowPlacement{120, -40, 1600, 900, true}, WindowPlacement{0, 0, 817, 436, false}}) {
        writeWindowPlacement(ini, placement);
        EXPECT_EQ(readWindowPlacement(IniFile::parse(ini.text())), placement);
    }
    EXPECT_EQ(ini.text(), "[Settings]\nDelay=200\n[Window]\nLeft=0\nTop=0\nWidth=817\n"
                          "Height=436\nMaximised=0\n");
}

TEST(WindowPlacement, missingOrAbsurdValues_noPlacement) {
    const char* const refused[] = {
        "",
        "[Window]\n",
        "[Window]\nLeft=10\nTop=10\nWidth=800\n",                // no height
        "[Window]\nLeft=10\nTop=10\nWidth=0\nHeight=400\n",      // empty
        "[Window]\nLeft=10\nTop=10\nWidth=-800\nHeight=400\n",   // negative
        "[Window]\nLeft=10\nTop=10\nWidth=800\nHeight=999999\n", // beyond any screen
        "[Window]\nLeft=-2147483648\nTop=10\nWidth=800\nHeight=400\n",
        "[Window]\nLeft=ten\nTop=10\nWidth=800\nHeight=400\n",
        "[Window]\nLeft=10\nTop=10\nWidth=800.5\nHeight=400\n",
    };
    for (const char* text : refused)
        EXPECT_FALSE(readWindowPlacement(IniFile::parse(text)).has_value()) << text;

    // Only the maximised flag may be missing or odd: the window then opens normal.
    for (const char* flag : {"", "Maximised=2\n", "Maximised=yes\n"}) {
        const auto placement = readWindowPlacement(IniFile::parse(
            std::string("[Window]\nLeft=-10\nTop=5\nWidth=900\nHeight=500\n") + flag));
        ASSERT_TRUE(placement.has_value()) << flag;
        EXPECT_EQ(*placement, (WindowPlacement{-10, 5, 900, 500, false}));
    }
}

} // namespace
