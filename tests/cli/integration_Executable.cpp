// The built tarvio2-cli as a child process: a signal stops it with the file written and the
// shell's exit status, and the command of the README writes a schema-valid N42 file.

#include "ChildProcess.h"
#include "formats/SpectrumFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class Executable : public ::testing::Test {
protected:
    void SetUp() override {
        settings = dir.file("settings.ini");
        writeText(settings, "[Settings]\nDelay=0\n");
    }
    std::vector<std::string> withSettings(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--settings", settings});
        return args;
    }

    TempDir dir;
    std::string settings;
};

std::uint64_t countsIn(const std::string& path) {
    const ReadResult read = readSpectrumFile(path);
    EXPECT_TRUE(read) << read.error;
    return read ? read.spectrum->totalCounts() : 0;
}

} // namespace

TEST_F(Executable, sigintMidRun_exits130WithEveryCountedPulseInTheFile) {
    const std::string output = dir.file("run.n42");
    ChildProcess cli(TARVIO_CLI_PATH, withSettings({"acquire", "--simulate", "--fast", "--status",
                                                    "json", "--output", output}));
    ASSERT_TRUE(cli.started());
    std::string line;
    ASSERT_TRUE(cli.outLine(line)) << "no status line";
    const auto first = nlohmann::json::parse(line);
    EXPECT_EQ(first["state"], "Measuring");
    cli.signal(SIGINT);
    EXPECT_EQ(cli.wait(), 130) << cli.errRest();

    // The last status line is the final count, and the file holds exactly that.
    std::uint64_t counts = first["counts"];
    nlohmann::json last = first;
    std::istringstream rest(cli.outRest());
    while (std::getline(rest, line)) {
        last = nlohmann::json::parse(line);
        EXPECT_GE(last["counts"].get<std::uint64_t>(), counts);
        counts = last["counts"];
    }
    EXPECT_EQ(last["state"], "Stopped");
    EXPECT_GT(counts, 0u);
    EXPECT_EQ(countsIn(output), counts);
}

TEST_F(Executable, sigterm_exits143_andUsageErrorsExitTwo) {
    const std::string output = dir.file("run.csv");
    {
        ChildProcess cli(TARVIO_CLI_PATH,
                         withSettings({"acquire", "--simulate", "--fast", "--output", output}));
        std::string line;
        do
            ASSERT_TRUE(cli.errLine(line)) << "never started measuring";
        while (line.rfind("Measuring on", 0) != 0);
        cli.signal(SIGTERM);
        EXPECT_EQ(cli.wait(), 143) << cli.errRest();
        EXPECT_NE(cli.errRest().find("Stopped by SIGTERM"), std::string::npos) << cli.errRest();
        EXPECT_GT(countsIn(output), 0u);
    }
    ChildProcess usage(TARVIO_CLI_PATH, {"acquire", "--samples", "0", "--output", output});
    EXPECT_EQ(usage.wait(), 2);
    EXPECT_EQ(usage.errRest(),
              "tarvio2-cli acquire: --samples: Value 0 not in range 1 to 450 (see tarvio2-cli "
              "acquire --help)\n");
}

TEST_F(Executable, readmeCommand_schemaValidN42WithTheCountsAsked_thenAnalysed) {
    const std::string schema = std::string(TARVIO_SHARED_DIR) + "/reference/n42/n42.xsd";
    if (!std::filesystem::exists(schema))
        GTEST_SKIP() << "no N42 schema at " << schema << " (the shared reference folder is absent)";
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    const std::string output = dir.file("am241.n42");
    ChildProcess acquire(TARVIO_CLI_PATH, withSettings({"acquire", "--simulate", "--fast",
                                                        "--counts", "10000", "--output", output}));
    ASSERT_EQ(acquire.wait(), 0) << acquire.errRest();
    const std::string command = "xmllint --noout --schema '" + schema + "' '" + output + "' >" +
                                dir.file("xmllint.log") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(dir.file("xmllint.log"));
    EXPECT_EQ(countsIn(output), 10000u);

    ChildProcess analyze(TARVIO_CLI_PATH, {"analyze", output, "--roi", "330:380"});
    ASSERT_EQ(analyze.wait(), 0) << analyze.errRest();
    EXPECT_NE(analyze.outRest().find("10000 counts"), std::string::npos) << analyze.outRest();
}

TEST_F(Executable, acquireWithFitAndRejections_fileSaysHowAndCountsTheRejected) {
    // A noisy simulated detector with piled-up records.
    writeText(settings, "[Settings]\nDelay=0\n[Simulator]\nNoise=8\nPileUp=1\nActivity=35000\n");
    const std::string output = dir.file("fit.n42");
    ChildProcess cli(
        TARVIO_CLI_PATH,
        withSettings({"acquire", "--simulate", "--fast", "--counts", "2000", "--height", "fit",
                      "--reject", "pileup,shape", "--tolerance", "5", "--output", output}));
    ASSERT_EQ(cli.wait(), 0) << cli.errRest();
    const std::string said = cli.errRest();
    EXPECT_NE(said.find("Rejected pulses: "), std::string::npos) << said;

    const ReadResult read = readSpectrumFile(output);
    ASSERT_TRUE(read) << read.error;
    const MeasurementInfo& info = read.spectrum->measurement;
    EXPECT_EQ(read.spectrum->totalCounts(), 2000u);
    EXPECT_EQ(info.processing,
              "template fit (built-in CR-RC shape); rejected: pile-up, shape beyond 5 sigma");
    // About a tenth of the records carry a second photon; most of them are rejected.
    EXPECT_GT(info.rejected.pileUp, 50u);
    EXPECT_EQ(info.rejected.saturated, 0u);
    EXPECT_EQ(info.rejected.total, info.rejected.pileUp + info.rejected.shape);

    ChildProcess bad(TARVIO_CLI_PATH, withSettings({"acquire", "--simulate", "--fast", "--height",
                                                    "parabola", "--output", output}));
    EXPECT_EQ(bad.wait(), 2);
    EXPECT_NE(bad.errRest().find("--height: 'parabola' is not a method"), std::string::npos);
}

TEST_F(Executable, simulatedAm241_analyzeFindsItsLinesAndNamesItWithEvidence) {
    const std::string output = dir.file("am241.n42");
    ChildProcess acquire(TARVIO_CLI_PATH,
                         withSettings({"acquire", "--simulate", "--fast", "--bias", "60",
                                       "--counts", "8000", "--output", output}));
    ASSERT_EQ(acquire.wait(), 0) << acquire.errRest();

    ChildProcess text(TARVIO_CLI_PATH, withSettings({"analyze", output, "--peaks", "--identify"}));
    ASSERT_EQ(text.wait(), 0) << text.errRest();
    const std::string out = text.outRest();
    EXPECT_NE(out.find("1. Am-241 (half-life 432.6 y)"), std::string::npos) << out;
    EXPECT_NE(out.find("found    59.541 keV gamma (35.92 %)"), std::string::npos) << out;
    EXPECT_NE(out.find("found    13.944 keV Np La"), std::string::npos) << out;

    // Without --roi: the summary with the peaks; as JSON, the same answer for scripts.
    ChildProcess json(TARVIO_CLI_PATH, withSettings({"analyze", output, "--identify", "--json"}));
    ASSERT_EQ(json.wait(), 0) << json.errRest();
    const auto result = nlohmann::json::parse(json.outRest());
    EXPECT_EQ(result["counts"], 8000);
    EXPECT_EQ(result["peaks"].size(), 5u);
    ASSERT_FALSE(result["nuclides"].empty());
    EXPECT_EQ(result["nuclides"][0]["nuclide"], "Am-241");
    EXPECT_EQ(result["nuclides"][0]["found"].size(), 5u);
    EXPECT_TRUE(result["nuclides"][0]["missing"].empty());
}
