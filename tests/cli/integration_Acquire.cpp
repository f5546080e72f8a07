// acquire end to end against the simulated interface, in the test's own process: how each
// way a measurement ends leaves the file, the exit status and the bias.

#include "CliTestSupport.h"
#include "analysis/RegionFigures.h"
#include "cli/StopSignals.h"
#include "driver/TimeSource.h"
#include "formats/SpectrumFiles.h"
#include "spectrometer/SpecTestSupport.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <filesystem>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// The bias was switched on for the measurement and off by the end.
void expectBiasSwitchedOff(const std::shared_ptr<SimulatedInterface>& sim) {
    ASSERT_NE(sim, nullptr);
    const std::vector<std::uint8_t> codes = sim->biasCodesSent();
    ASSERT_FALSE(codes.empty());
    EXPECT_NE(std::find(codes.begin(), codes.end(), 255), codes.end()) << "never switched on";
    EXPECT_EQ(codes.back(), 0);
    EXPECT_EQ(sim->state().biasCode, 0);
}

MeasuredSpectrum readBack(const std::string& path) {
    ReadResult read = readSpectrumFile(path);
    EXPECT_TRUE(read) << read.error;
    return read ? *read.spectrum : MeasuredSpectrum{};
}

} // namespace

TEST(Acquire, sigintMidRun_writesWhatWasCountedExits130BiasOff) {
    CliRunner cli;
    cli.tick = [](const AcquireProgress& progress) {
        if (progress.counts > 2000)
            requestStop(SIGINT);
    };
    const std::string output = cli.file("stopped.n42");
    const CliResult result = cli.run({"acquire", "--simulate", "--fast", "--output", output});
    EXPECT_EQ(result.status, 130) << result.err;
    expectBiasSwitchedOff(cli.simulator);
    const MeasuredSpectrum spectrum = readBack(output);
    EXPECT_GT(spectrum.totalCounts(), 2000u);
    // Every pulse the interface delivered was counted and written.
    EXPECT_EQ(spectrum.totalCounts(), cli.simulator->stats().pulsesDelivered);
    EXPECT_NE(result.err.find("Stopped by SIGINT"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(std::to_string(spectrum.totalCounts()) + " counts."),
              std::string::npos)
        << result.err;
    EXPECT_TRUE(spectrum.measurement.ended);
    EXPECT_EQ(spectrum.measurement.operatingPoint.biasVolts, 16.0);
}

TEST(Acquire, interfaceLostMidRun_writesWhatWasCountedExitsFour) {
    CliRunner cli;
    std::shared_ptr<SimulatedInterface> unplugged;
    cli.tick = [&](const AcquireProgress& progress) {
        if (progress.counts > 1000 && !unplugged) {
            unplugged = cli.simulator;
            unplugged->unplug();
        }
    };
    const std::string output = cli.file("lost.spe");
    const CliResult result = cli.run({"acquire", "--simulate", "--fast", "--output", output});
    EXPECT_EQ(result.status, 4) << result.err;
    EXPECT_NE(result.err.find("Interface lost"), std::string::npos) << result.err;
    EXPECT_GT(readBack(output).totalCounts(), 1000u);
}

TEST(Acquire, realTimePreset_stopsOnTimeOnTheManualClock) {
    SharedManualTime clock;
    ScopedTimeSource useClock(clock);
    CliRunner cli;
    const std::string output = cli.file("timed.n42");
    const CliResult result = cli.run(
        {"acquire", "--simulate", "--real-time", "30", "--status", "json", "--output", output});
    ASSERT_EQ(result.status, 0) << result.err;
    expectBiasSwitchedOff(cli.simulator);
    const MeasuredSpectrum spectrum = readBack(output);
    // The record ends at the limit itself, not at the poll that noticed it.
    EXPECT_EQ(spectrum.measurement.realSeconds, 30.0);
    // Every thread's sleep moves the manual clock on, so a slow build may reach the limit
    // before the monitoring thread has read a pulse; either way the live time is consistent.
    ASSERT_TRUE(spectrum.measurement.liveSeconds);
    if (spectrum.totalCounts() > 0)
        EXPECT_LT(*spectrum.measurement.liveSeconds, 30.0);
    else
        EXPECT_EQ(*spectrum.measurement.liveSeconds, 30.0);

    // One status line a second, whose counts never go down; the last one says how it ended.
    std::istringstream lines(result.out);
    std::string line;
    std::uint64_t counts = 0;
    int statusLines = 0;
    nlohmann::json last;
    while (std::getline(lines, line)) {
        last = nlohmann::json::parse(line);
        EXPECT_GE(last["counts"].get<std::uint64_t>(), counts) << line;
        counts = last["counts"];
        ++statusLines;
    }
    EXPECT_GE(statusLines, 28);
    EXPECT_LE(statusLines, 32);
    EXPECT_EQ(last["state"], "Preset reached");
    EXPECT_EQ(last["counts"], spectrum.totalCounts());
    EXPECT_EQ(last["output"], output);
}

TEST(Acquire, countsAndRegionPresets_stopWhereAsked_withTheRegionsReported) {
    CliRunner cli;
    const std::string counted = cli.file("counted.n42");
    const CliResult exact = cli.run({"acquire", "--simulate", "--fast", "--counts", "5000", "--roi",
                                     "330:380", "--status", "json", "--output", counted});
    ASSERT_EQ(exact.status, 0) << exact.err;
    EXPECT_EQ(readBack(counted).totalCounts(), 5000u);
    expectBiasSwitchedOff(cli.simulator);
    const std::string lastLine = exact.out.substr(exact.out.rfind('\n', exact.out.size() - 2) + 1);
    const auto last = nlohmann::json::parse(lastLine);
    EXPECT_EQ(last["counts"], 5000);
    EXPECT_GT(last["regions"].at(0)["net"].get<double>(), 1000.0);

    // The 59.5 keV line lies about channels 340 to 366 at the lowest bias.
    const std::string region = cli.file("region.spe");
    const CliResult net = cli.run({"acquire", "--simulate", "--fast", "--roi-counts",
                                   "330:380:2000", "--roi", "330:380", "--output", region});
    ASSERT_EQ(net.status, 0) << net.err;
    EXPECT_NE(net.err.find("Preset reached (region counts)"), std::string::npos) << net.err;
    EXPECT_NE(net.out.find("330:380"), std::string::npos) << net.out;
    const MeasuredSpectrum spectrum = readBack(region);
    // Met by the pulse that brought it there: within one count of the preset.
    const double netCounts = regionNetCounts(*toSpectrum(spectrum), Region{330, 380});
    EXPECT_GE(netCounts, 2000.0);
    EXPECT_LT(netCounts, 2001.0);
}

TEST(Acquire, outputThatCannotBeWritten_exitsFive_beforeOrAfterMeasuring) {
    CliRunner cli;
    const CliResult before =
        cli.run({"acquire", "--simulate", "--fast", "--output", cli.file("no/folder/a.n42")});
    EXPECT_EQ(before.status, 5);
    EXPECT_NE(before.err.find("no/folder"), std::string::npos) << before.err;
    EXPECT_EQ(cli.simulator, nullptr) << "measured although the file could not be written";

    // The folder goes away while measuring: the bias still goes off, and the reason is told.
    const std::string folder = cli.file("vanishing");
    std::filesystem::create_directory(folder);
    cli.tick = [&](const AcquireProgress& progress) {
        if (progress.counts > 500) {
            std::filesystem::remove_all(folder);
            requestStop(SIGTERM);
        }
    };
    const CliResult after =
        cli.run({"acquire", "--simulate", "--fast", "--output", folder + "/a.csv"});
    EXPECT_EQ(after.status, 5) << after.err;
    EXPECT_NE(after.err.find(folder + "/a.csv"), std::string::npos) << after.err;
    expectBiasSwitchedOff(cli.simulator);
}

TEST(Acquire, autosave_besideTheOutputWhileMeasuring_removedOnceWritten) {
    SharedManualTime clock;
    ScopedTimeSource useClock(clock);
    CliRunner cli;
    const std::string output = cli.file("long.n42");
    const std::string autosave = cli.file("long.autosave.n42");
    bool seen = false;
    cli.tick = [&](const AcquireProgress& progress) {
        if (!seen && progress.realSeconds.value_or(0) > 7.0 && std::filesystem::exists(autosave)) {
            seen = true;
            const MeasuredSpectrum partial = readBack(autosave);
            EXPECT_FALSE(partial.measurement.ended);
        }
    };
    const CliResult result = cli.run(
        {"acquire", "--simulate", "--real-time", "10", "--autosave", "0.1", "--output", output});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(seen);
    EXPECT_FALSE(std::filesystem::exists(autosave));
    EXPECT_TRUE(readBack(output).measurement.ended);
}

TEST(Acquire, noInterface_exitsThree) {
    CliRunner cli;
    writeText(cli.settingsFile, "[Simulator]\nEnabled=0\n");
    const CliResult list = cli.run({"list"});
    EXPECT_EQ(list.status, 3);
    EXPECT_EQ(list.out, "");
    const CliResult acquire = cli.run({"acquire", "--output", cli.file("a.n42")});
    EXPECT_EQ(acquire.status, 3);
    EXPECT_NE(acquire.err.find("No interface found."), std::string::npos) << acquire.err;

    writeText(cli.settingsFile, "[Simulator]\nEnabled=1\n");
    const CliResult listed = cli.run({"list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, cli.simulator->description() + "\n");
    const CliResult other =
        cli.run({"acquire", "--device", "Medipix2 elsewhere", "--output", cli.file("a.n42")});
    EXPECT_EQ(other.status, 3);
    EXPECT_NE(other.err.find("No interface 'Medipix2 elsewhere' found; found: '" +
                             cli.simulator->description() + "'"),
              std::string::npos)
        << other.err;
    EXPECT_FALSE(std::filesystem::exists(cli.file("a.n42")));
}

// Without pacing the clocks time this computer: the file calls the times unknown and the
// operator hears why.
TEST(Acquire, fastSimulator_timesMarkedNotMeasured) {
    CliRunner cli;
    const std::string output = cli.file("fast.n42");
    const CliResult result =
        cli.run({"acquire", "--simulate", "--fast", "--counts", "200", "--output", output});
    ASSERT_EQ(result.status, 0) << result.err;
    const MeasuredSpectrum spectrum = readBack(output);
    EXPECT_EQ(spectrum.totalCounts(), 200u);
    EXPECT_FALSE(spectrum.measurement.realSeconds);
    EXPECT_FALSE(spectrum.measurement.liveSeconds);
    EXPECT_NE(result.err.find("not the simulated source"), std::string::npos) << result.err;
}
