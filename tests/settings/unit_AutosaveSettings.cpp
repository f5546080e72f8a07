#include "settings/AutosaveSettings.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace tarvio;

TEST(AutosaveSettings, minutesFromTheFile_elseFive) {
    struct Case {
        const char* text; // nullptr: no file
        int minutes;
    };
    const Case cases[] = {
        {nullptr, 5},
        {"[Settings]\nDelay=150\n", 5},
        {"[autosave]\nminutes=0\n", 0},
        {"[Autosave]\nMinutes=60\n", 60},
        {"[Autosave]\nMinutes=0x10\n", 16},
        {"[Autosave]\nMinutes=10080\n", 10080},
        {"[Autosave]\nMinutes=10081\n", 5},
        {"[Autosave]\nMinutes=-1\n", 5},
        {"[Autosave]\nMinutes=2.5\n", 5},
        {"[Autosave]\nMinutes=\n", 5},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        const std::string path = dir.file("settings.ini");
        if (c.text)
            test::writeText(path, c.text);
        EXPECT_EQ(loadAutosaveSettings(path).minutes, c.minutes) << (c.text ? c.text : "no file");
    }
}
