#include "settings/AppError.h"
#include "settings/Settings.h"
#include "records/TextFile.h"

#include "settings/FreshFile.h"
#include "settings/ScopedSeparator.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tarvio;
using tarvio::test::FreshFile;
using tarvio::test::readText;
using tarvio::test::ScopedSeparator;
using tarvio::test::TempDir;
using tarvio::test::writeText;

namespace {

struct Loaded {
    AppSettings settings{1, 2, 3.0}; // anything but the defaults
    CalibrationPoint point1{5, 6};
    CalibrationPoint point2{7, 8};
};

Loaded load(const std::string& path) {
    Loaded l;
    loadSettings(path, l.settings, l.point1, l.point2);
    return l;
}

class SettingsFile : public ::testing::Test {
protected:
    TempDir dir;
    std::string path = dir.file("settings.ini");
    ScopedSeparator locale{ScopedSeparator::point()};
};

} // namespace

TEST_F(SettingsFile, missingFile_defaultsAndNineLinesWritten) {
    const Loaded l = load(path);
    EXPECT_EQ(l.settings.biasMinVolts, 16);
    EXPECT_EQ(l.settings.biasMaxVolts, 71);
    EXPECT_DOUBLE_EQ(l.settings.delaySeconds, 0.2);
    EXPECT_EQ(l.point1.channel, 0);
    EXPECT_EQ(l.point1.energy, 0);
    EXPECT_EQ(l.point2.channel, 0);
    EXPECT_EQ(l.point2.energy, 0);

    saveSettings(path, l.settings, l.point1, l.point2);
    EXPECT_EQ(readText(path), FreshFile);
    // Nothing else is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(SettingsFile, fileValues_readIncludingHexAndFallbacks) {
    writeText(path, "[calibration]\npeak1=100\nEnergy1=59.5\nPeak2=$C8\nEnergy2=122.06\n"
                    "[SETTINGS]\nBiasMin=20\nBiasMax=60\nDelay=0x64\n");
    Loaded l = load(path);
    EXPECT_EQ(l.point1.channel, 100.0);
    EXPECT_EQ(l.point1.energy, 59.5);
    EXPECT_EQ(l.point2.channel, 200.0);
    EXPECT_EQ(l.point2.energy, 122.06);
    EXPECT_DOUBLE_EQ(l.settings.delaySeconds, 0.1);
    EXPECT_EQ(l.settings.biasMinVolts, 20);
    EXPECT_EQ(l.settings.biasMaxVolts, 60);

    for (const char* delay : {"abc", "", "12.5", "99999999999"}) {
        writeText(path, std::string("[Settings]\nDelay=") + delay + "\nBiasMin=x\nBiasMax=-5\n");
        l = load(path);
        EXPECT_DOUBLE_EQ(l.settings.delaySeconds, 0.2) << delay;
        EXPECT_EQ(l.settings.biasMinVolts, 16);
        EXPECT_EQ(l.settings.biasMaxVolts, -5); // taken as it is
    }
    writeText(path, "[Calibration]\nPeak1=99.7\nEnergy1=abc\n");
    l = load(path);
    EXPECT_EQ(l.point1.channel, 0.0);
    EXPECT_EQ(l.point1.energy, 0.0);
}

TEST_F(SettingsFile, existingFile_otherKeysCommentsAndOrderKept) {
    const std::string before = "; written by hand\n"
                               "[Settings]\n"
                               "Delay=150\n"
                               "Colour=green\n"
                               "\n"
                               "[Simulator]\n"
                               "Source=Co-57\n";
    writeText(path, before);
    Loaded l = load(path);
    l.point1 = {99.7, 59.5};
    saveSettings(path, l.settings, l.point1, l.point2);
    EXPECT_EQ(readText(path), "; written by hand\n"
                              "[Settings]\n"
                              "Delay=150\n"
                              "Colour=green\n"
                              "BiasMax=71\n"
                              "BiasMin=16\n"
                              "\n"
                              "[Simulator]\n"
                              "Source=Co-57\n"
                              "[Calibration]\n"
                              "Peak1=99\n"
                              "Peak2=0\n"
                              "Energy1=59.5\n"
                              "Energy2=0\n");
}

TEST_F(SettingsFile, delay_halfMillisecondsGoUpAndFileValuesSurviveRuns) {
    EXPECT_EQ(delayMilliseconds(12.5 * 0.001), 13);
    EXPECT_EQ(delayMilliseconds(-12.5 * 0.001), -12);
    EXPECT_EQ(delayMilliseconds(1e300), 2147483647);
    for (int ms = 0; ms <= 100000; ++ms) {
        ASSERT_EQ(delayMilliseconds(ms * 0.001), ms);
        ASSERT_EQ(delayMilliseconds((ms + 0.5) * 0.001), ms + 1);
    }
    writeText(path, "[Settings]\nDelay=150\n");
    for (int run = 0; run < 3; ++run) {
        const Loaded l = load(path);
        saveSettings(path, l.settings, l.point1, l.point2);
    }
    EXPECT_NE(readText(path).find("Delay=150\n"), std::string::npos);
}

TEST_F(SettingsFile, commaLocale_energiesWithCommaAndPointValuesFallBack) {
    ScopedSeparator comma(ScopedSeparator::comma());
    saveSettings(path, AppSettings{}, {100, 59.5}, {200, 122.06});
    const std::string text = readText(path);
    EXPECT_NE(text.find("Energy1=59,5\n"), std::string::npos);
    EXPECT_NE(text.find("Energy2=122,06\n"), std::string::npos);
    EXPECT_EQ(load(path).point1.energy, 59.5);

    writeText(path, "[Calibration]\nEnergy1=59.5\n");
    EXPECT_EQ(load(path).point1.energy, 0.0);
}

TEST_F(SettingsFile, readOnlyFile_errorNamesPathAndFileUnchanged) {
    writeText(path, "[Settings]\nDelay=150\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    try {
        saveSettings(path, AppSettings{}, {}, {});
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_EQ(readText(path), "[Settings]\nDelay=150\n");
}

TEST_F(SettingsFile, unwritableFolder_errorAndNothingWritten) {
    // A folder that cannot exist fails for every user.
    writeText(dir.file("plain"), "x");
    const std::string inside = dir.file("plain") + "/settings.ini";
    EXPECT_THROW(saveSettings(inside, AppSettings{}, {}, {}), AppError);

    writeText(path, FreshFile);
    namespace fs = std::filesystem;
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    // Root writes into read-only folders, so root tries it as an ordinary user, in a child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        try {
            saveSettings(path, AppSettings{1, 2, 3}, {}, {});
        } catch (const AppError& e) {
            ::_exit(std::string(e.what()) == "Unable to write to " + path ? 0 : 3);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: could not drop root, 3: wrong text";
    EXPECT_EQ(readText(path), FreshFile);
}

TEST_F(SettingsFile, linkedFile_writtenThroughTheLink) {
    const std::string real = dir.file("real.ini");
    writeText(real, "[Other]\nk=v\n");
    std::filesystem::create_symlink(real, path);
    saveSettings(path, AppSettings{}, {}, {});
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(readText(real), std::string("[Other]\nk=v\n") + FreshFile);
}

TEST_F(SettingsFile, hostileFiles_defaultsALogLineAndNoHang) {
    // What a settings.ini can be besides a text file, and what the log line says about it.
    struct Case {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* problem; // empty: read as a file
    };
    const Case cases[] = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is not a regular file and was not read; the built-in settings apply."},
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); },
         "is not a regular file"},
        {"link to /dev/zero",
         [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
         "is not a regular file"},
        {"random text", [](const std::string& p) { writeText(p, "=[]\n[[Settings\nDelay\n=7\n"); },
         ""},
        {"binary",
         [](const std::string& p) { writeText(p, std::string("\0\xff[Settings]\0", 13)); }, ""},
        {"oversized",
         [](const std::string& p) {
             writeText(p, "[Settings]\nDelay=150\n" + std::string(MaxTextFileBytes, '\n'));
         },
         "is larger than 1 MiB and was not read; the built-in settings apply and the file is left "
         "as it is."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(path);
        c.make(path);
        // A read that blocks would hang the test: give it a few seconds, then free it.
        auto loading = std::async(std::launch::async, [&] {
            Loaded l;
            const std::string note = loadSettings(path, l.settings, l.point1, l.point2);
            return std::pair{l, note};
        });
        if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            ADD_FAILURE() << "reading blocked";
            ::close(::open(path.c_str(), O_WRONLY | O_NONBLOCK));
        }
        const auto [l, note] = loading.get();
        EXPECT_DOUBLE_EQ(l.settings.delaySeconds, 0.2);
        EXPECT_EQ(l.settings.biasMaxVolts, 71);
        if (*c.problem == 0) {
            EXPECT_EQ(note, "");
        } else {
            EXPECT_EQ(note.rfind("Settings file " + path + " ", 0), 0u) << note;
            EXPECT_NE(note.find(c.problem), std::string::npos) << note;
        }
    }
}

TEST_F(SettingsFile, oversizedFile_leftUntouchedAtSave) {
    const std::string big = "[Settings]\nDelay=150\n" + std::string(MaxTextFileBytes, ' ');
    writeText(path, big);
    saveSettings(path, AppSettings{1, 2, 3}, {}, {});
    EXPECT_EQ(readText(path), big);

    // A FIFO is neither read nor replaced by a file.
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_THROW(saveSettings(path, AppSettings{}, {}, {}), AppError);
    EXPECT_TRUE(std::filesystem::is_fifo(path));
}

TEST(SettingsPath, runningExecutable_fileBesideIt) {
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(settingsPath(), (exe.parent_path() / "settings.ini").string());
}
