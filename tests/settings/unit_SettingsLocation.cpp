#include "settings/SettingsLocation.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sys/stat.h>

using namespace tarvio;
using tarvio::test::readText;
using tarvio::test::TempDir;
using tarvio::test::writeText;

namespace fs = std::filesystem;

namespace {

constexpr auto ReadOnlyFolder = fs::perms::owner_read | fs::perms::owner_exec;

// An executable's folder and a configuration home in one temporary folder.
struct Places {
    TempDir dir;
    fs::path exe = dir.path() / "bin";
    fs::path config = dir.path() / "config";
    fs::path beside = exe / "settings.ini";
    fs::path user = config / "tarvio2" / "settings.ini";

    Places() { fs::create_directory(exe); }
    ~Places() {
        std::error_code ignored;
        fs::permissions(exe, fs::perms::owner_all, ignored);
    }
    SettingsLocation locate() const { return locateSettings({exe, config}); }
};

std::optional<std::string> variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

void restore(const char* name, const std::optional<std::string>& value) {
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

} // namespace

TEST(SettingsLocation, besideOrUserFolder_byWhatCanBeWritten) {
    // Read-only files and folders count as such for root too, whose access() says yes.
    struct Case {
        const char* name;
        bool folderWritable;
        std::optional<fs::perms> besideFile; // none: no file beside the executable
        std::optional<std::string> userFile; // none: no file in the user's folder yet
        bool expectBeside;
        std::string expectUserText; // the user's file afterwards, when not beside
    };
    const std::string site = "[Settings]\nBiasMax=60\n[Simulator]\nSeed=7\n";
    const Case cases[] = {
        {"build folder without a file", true, std::nullopt, std::nullopt, true, ""},
        {"build folder, read-only file", true, fs::perms::owner_read, std::nullopt, true, ""},
        {"stick copy, writable file", false, fs::perms::owner_read | fs::perms::owner_write,
         std::nullopt, true, ""},
        {"installed, first start, site file", false, fs::perms::owner_read, std::nullopt, false,
         site},
        {"installed, later start", false, fs::perms::owner_read, "[Settings]\nDelay=150\n", false,
         "[Settings]\nDelay=150\n"},
        {"installed, no site file", false, std::nullopt, std::nullopt, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Places p;
        if (c.besideFile) {
            writeText(p.beside, site);
            fs::permissions(p.beside, *c.besideFile);
        }
        if (c.userFile) {
            fs::create_directories(p.user.parent_path());
            writeText(p.user, *c.userFile);
        }
        if (!c.folderWritable)
            fs::permissions(p.exe, ReadOnlyFolder);

        const SettingsLocation location = p.locate();
        EXPECT_EQ(location.besideExecutable, c.expectBeside);
        EXPECT_EQ(location.problem, "");
        if (c.expectBeside) {
            EXPECT_EQ(location.file, p.beside.string());
            EXPECT_FALSE(fs::exists(p.config));
            continue;
        }
        EXPECT_EQ(location.file, p.user.string());
        if (!c.userFile) {
            EXPECT_EQ(fs::status(p.user.parent_path()).permissions(), fs::perms::owner_all);
        }
        EXPECT_EQ(readText(p.user), c.expectUserText);
        const bool seeded = c.besideFile && !c.userFile;
        EXPECT_EQ(location.seededFrom, seeded ? p.beside.string() : "");
        if (seeded) {
            EXPECT_EQ(::access(p.user.c_str(), W_OK), 0) << "the copy is the user's to write";
            EXPECT_EQ(describeSettingsLocation(location), "Settings: " + p.user.string() +
                                                              " (first start: values from " +
                                                              p.beside.string() + ")");
            // The next start finds the user's file and copies nothing again.
            writeText(p.user, "[Settings]\nDelay=150\n");
            EXPECT_EQ(p.locate().seededFrom, "");
            EXPECT_EQ(readText(p.user), "[Settings]\nDelay=150\n");
        }
    }
}

TEST(SettingsLocation, installedUnderUsr_userFolderEvenForRoot) {
    TempDir dir;
    const SettingsLocation location = locateSettings({"/usr/bin", dir.path()});
    EXPECT_FALSE(location.besideExecutable);
    EXPECT_EQ(location.file, (dir.path() / "tarvio2" / "settings.ini").string());
}

TEST(SettingsLocation, userFolderCannotBeMade_problemToldAndNothingThrown) {
    Places p;
    writeText(p.config, "a file where the folder should be");
    fs::permissions(p.exe, ReadOnlyFolder);
    const SettingsLocation location = p.locate();
    EXPECT_EQ(location.file, p.user.string());
    EXPECT_NE(location.problem, "");
    EXPECT_EQ(describeSettingsLocation(location),
              "Settings: " + p.user.string() + " (" + location.problem + ")");
}

TEST(SettingsLocation, configHome_fromXdgOrHomeIgnoringRelativePaths) {
    struct Case {
        const char* xdg;
        const char* home;
        const char* expect;
    };
    const Case cases[] = {
        {"/x/config", "/h", "/x/config"},
        {"relative/config", "/h", "/h/.config"},
        {"", "/h", "/h/.config"},
    };
    const std::optional<std::string> oldXdg = variable("XDG_CONFIG_HOME");
    const std::optional<std::string> oldHome = variable("HOME");
    for (const Case& c : cases) {
        ::setenv("XDG_CONFIG_HOME", c.xdg, 1);
        ::setenv("HOME", c.home, 1);
        EXPECT_EQ(currentSettingsPlaces().configHome, fs::path(c.expect)) << c.xdg;
    }
    restore("XDG_CONFIG_HOME", oldXdg);
    restore("HOME", oldHome);
    EXPECT_EQ(currentSettingsPlaces().executableFolder,
              fs::read_symlink("/proc/self/exe").parent_path());
}
