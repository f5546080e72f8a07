// What tarvio2-cli makes of its command line before it touches an interface or a file.

#include "CliTestSupport.h"
#include "cli/AcquireCommand.h"
#include "cli/AcquireProgress.h"
#include "cli/AcquireRun.h"
#include "cli/CliSettings.h"
#include "cli/RegionArgument.h"
#include "records/ProgramVersion.h"
#include "settings/Duration.h"

#include <CLI/CLI.hpp>

#include <gtest/gtest.h>

using namespace tarvio;
using namespace tarvio::test;

TEST(CommandLine, everyUsageError_exitsTwoWithOneLineNamingIt_beforeAnyInterface) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{}, "A subcommand is required"},
        {{"frobnicate"}, "'frobnicate' is not a subcommand"},
        {{"acquire", "--simulate"}, "--output is required"},
        {{"acquire", "--simulate", "--output", "x.doc"}, "names no format"},
        {{"acquire", "--simulate", "--samples", "0", "--output", "x.n42"}, "not in range"},
        {{"acquire", "--simulate", "--samples", "451", "--output", "x.n42"}, "not in range"},
        {{"acquire", "--simulate", "--threshold", "3", "--output", "x.n42"}, "not in range"},
        {{"acquire", "--simulate", "--counts", "-5", "--output", "x.n42"}, "above 0"},
        {{"acquire", "--simulate", "--real-time", "0", "--output", "x.n42"}, "above 0"},
        {{"acquire", "--simulate", "--autosave", "nan", "--output", "x.n42"}, "above 0"},
        {{"acquire", "--simulate=Xe-135", "--output", "x.n42"}, "'Xe-135' is not a source"},
        {{"acquire", "--device", "A", "--simulate", "--output", "x.n42"}, "excludes"},
        {{"acquire", "--fast", "--output", "x.n42"}, "requires --simulate"},
        {{"acquire", "--simulate", "--bias", "40.5", "--output", "x.n42"},
         "'40.5' is not a valid integer value"},
        {{"acquire", "--simulate", "--roi", "500:400", "--output", "x.n42"},
         "first channel lies above the last"},
        {{"acquire", "--simulate", "--roi-counts", "1:2", "--output", "x.n42"}, "FIRST:LAST:N"},
        {{"acquire", "--simulate", "--roi-counts", "1:2:0", "--output", "x.n42"}, "above 0"},
        {{"acquire", "--simulate", "--calibrated", "--output", "x.n42"}, "for the .txt form"},
        {{"acquire", "--simulate", "--calibrated", "--output", "x.txt"},
         "holds no energy calibration"},
        {{"acquire", "--simulate", "--status", "xml", "--output", "x.n42"}, "--status"},
        {{"analyze", "f.n42", "--sigma", "0"}, "not in range"},
        {{"analyze", "f.n42", "--roi", "0:4096"}, "whole numbers from 0 to 4095"},
        {{"analyze", "f.n42", "--roi", "12"}, "not a region FIRST:LAST"},
        {{"convert", "a.n42"}, "OUT is required"},
        {{"convert", "a.n42", "b.xyz"}, "names no format"},
        {{"--settings", "/no/such/settings.ini", "list"}, "does not exist"},
    };
    for (const Case& c : cases) {
        CliRunner cli;
        const CliResult result = cli.run(c.args);
        std::string typed;
        for (const std::string& arg : c.args)
            typed += arg + " ";
        EXPECT_EQ(result.status, 2) << typed;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << typed << "\n" << result.err;
        EXPECT_EQ(result.err.rfind("tarvio2-cli", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << "one line: " << result.err;
        EXPECT_EQ(cli.simulator, nullptr) << typed << ": an interface was set up";
    }
}

TEST(CommandLine, settingsThatDefeatTheBiasConversion_usageErrorNamingTheFile) {
    CliRunner cli;
    writeText(cli.settingsFile, "[Settings]\nBiasMin=30\nBiasMax=30\n");
    const CliResult result = cli.run({"acquire", "--simulate", "--output", cli.file("a.n42")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("Floating point division by zero"), std::string::npos);
    EXPECT_NE(result.err.find(cli.settingsFile), std::string::npos);
}

TEST(CommandLine, helpOfEachSubcommand_exitsZeroWithItsUsage) {
    for (const char* command : {"list", "acquire", "analyze", "convert"}) {
        CliRunner cli;
        const CliResult result = cli.run({command, "--help"});
        EXPECT_EQ(result.status, 0) << command;
        EXPECT_NE(result.out.find(std::string("Usage: tarvio2-cli ") + command), std::string::npos)
            << result.out;
    }
}

TEST(CommandLine, regionTexts_parsedOrRefused) {
    struct Case {
        const char* text;
        bool preset;
        bool ok;
    };
    const Case cases[] = {
        {"0:4095", false, true},    {"380:420", false, true},     {"7:7", false, true},
        {"420:380", false, false},  {"-1:5", false, false},       {"1:4096", false, false},
        {"1:2:3", false, false},    {"a:b", false, false},        {":5", false, false},
        {"1 :5", false, false},     {"380:420:1000", true, true}, {"380:420", true, false},
        {"380:420:0", true, false}, {"380:420:-2", true, false},
    };
    for (const Case& c : cases) {
        std::string error;
        const bool ok = c.preset ? parseRegionCountPreset(c.text, error).has_value()
                                 : parseRegion(c.text, error).has_value();
        EXPECT_EQ(ok, c.ok) << c.text;
        EXPECT_EQ(error.empty(), c.ok) << c.text << ": " << error;
    }
    std::string error;
    const auto preset = parseRegionCountPreset("380:420:1000", error);
    EXPECT_EQ(*preset, (RegionCountsPreset{380, 420, 1000, false}));
}

TEST(CommandLine, clockAndAutosaveNames) {
    // The one clock text of the program, as the window's status bar shows it.
    EXPECT_EQ(formatClock(0.0), "00:00:00");
    EXPECT_EQ(formatClock(3723.9), "01:02:03");
    EXPECT_EQ(formatClock(2 * 86400 + 5), "48:00:05");
    EXPECT_EQ(formatClock(-4.0), "00:00:00");
    EXPECT_EQ(autosavePathFor("/data/am241.n42"), "/data/am241.autosave.n42");
    EXPECT_EQ(autosavePathFor("run.txt"), "run.autosave.txt");
}

TEST(CommandLine, settingsCalibration_isTheOneTheWindowShows) {
    TempDir dir;
    const std::string file = dir.file("settings.ini");
    const std::string points = "[Calibration]\nPeak1=100\nPeak2=200\nEnergy1=20\nEnergy2=40\n";
    writeText(file, points);
    auto calibration = loadCliSettings(file).calibration();
    ASSERT_TRUE(calibration);
    EXPECT_DOUBLE_EQ(calibration->coefficients[1], 0.2);

    // The calibration from peaks, when the window uses it, takes over from the two points.
    writeText(file, points + "[EnergyCalibration]\nActive=1\nModel=Quadratic\nC0=-1\nC1=0.25\n"
                             "C2=0.0001\n");
    calibration = loadCliSettings(file).calibration();
    ASSERT_TRUE(calibration);
    EXPECT_DOUBLE_EQ(calibration->coefficients[1], 0.25);
    EXPECT_DOUBLE_EQ(calibration->coefficients[2], 0.0001);

    writeText(file, points + "[EnergyCalibration]\nActive=0\nModel=Line\nC0=-1\nC1=0.25\nC2=0\n");
    EXPECT_DOUBLE_EQ(loadCliSettings(file).calibration()->coefficients[1], 0.2);
}

// What someone new to the program types: a bias far beyond the limits, a name that promises
// a format nothing writes, the time forms of the presets dialog, --version.
TEST(CommandLine, newcomersInput_refusedWithExitTwoOrReadAsTheWindowReadsIt) {
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case refusals[] = {
        {{"acquire", "--simulate", "--bias", "500", "--output", "x.n42"},
         "--bias: 500 V lies outside 16 to 71 V"},
        {{"acquire", "--simulate", "--bias", "15", "--output", "x.n42"}, "15 V lies outside"},
        {{"acquire", "--simulate", "--output", "x.tsv"}, "use .n42, .spe, .csv or .txt"},
        {{"convert", "a.n42", "b.dat"}, "use .n42, .spe, .csv or .txt"},
        {{"acquire", "--simulate", "--live-time", "1:60", "--output", "x.n42"},
         "'1:60' is not a time above 0 (seconds, m:ss or h:mm:ss)"},
    };
    for (const Case& c : refusals) {
        CliRunner cli;
        const CliResult result = cli.run(c.args);
        EXPECT_EQ(result.status, 2) << c.args[2];
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(cli.simulator, nullptr) << c.args[2] << ": an interface was set up";
    }

    CliRunner cli;
    const CliResult version = cli.run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "tarvio2-cli " + std::string(programVersion()) + "\n");

    const std::pair<const char*, double> times[] = {
        {"90", 90.0}, {"2.5", 2.5}, {"1:30", 90.0}, {"1:00:00", 3600.0}, {"0:00:00.5", 0.5}};
    for (const auto& [text, seconds] : times) {
        CLI::App app;
        AcquireOptions options;
        addAcquireCommand(app, options);
        app.parse("acquire --simulate --output x.n42 --real-time " + std::string(text) +
                      " --live-time " + text,
                  false);
        std::vector<std::string> notes;
        const AcquirePlan plan = planAcquisition(options, loadCliSettings(cli.settingsFile), notes);
        EXPECT_EQ(plan.limits.realSeconds, seconds) << text;
        EXPECT_EQ(plan.limits.liveSeconds, seconds) << text;
    }
}
