// tarvio2-cli selftest as a child process against the emulated FTDI chip (LD_PRELOAD puts it
// under the real libftdi1) at both speeds: every step passes on a sound chip, and each fault
// the chip is given shows up as the one failed step it is, with the sentence that says why.
// Also once against the simulated interface, with the report written to a file.

#include "ChildProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>

using namespace tarvio::test;

namespace {

// The child's environment while it starts; the test's own is restored after.
class ChildEnvironment {
public:
    void set(const char* name, const std::string& value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value.c_str(), 1);
    }
    ~ChildEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->second)
                ::setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                ::unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

struct Scenario {
    const char* name;
    const char* faults;     // TARVIO_EMULATED_USB beside the speed
    const char* failedStep; // null: none fails
    const char* sentence;   // part of the failed step's sentence
};

const Scenario Scenarios[] = {
    {"Sound", "", nullptr, nullptr},
    {"AccessDenied", "access", "system", "install the udev rule"},
    {"Stall", "stall", "round-trips", "LIBUSB_ERROR_PIPE"},
    {"ReplyDroppedAfterPurge", "purge", "purge", "got no answer"},
    {"Unplugged", "unplug", "counting", "disappeared from the USB bus"},
};

void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

struct SelfTestRun {
    int status = -1;
    nlohmann::json report;
    std::string err;
};

SelfTestRun runSelfTest(const std::vector<std::string>& args, const std::string& emulated) {
    TempDir dir;
    const std::string settings = dir.file("settings.ini");
    writeText(settings, "[Settings]\nDelay=0\n[Simulator]\nEnabled=" +
                            std::string(emulated.empty() ? "1" : "0") + "\n");
    std::vector<std::string> all{"--settings", settings, "selftest", "--seconds", "0.1"};
    all.insert(all.end(), args.begin(), args.end());
    SelfTestRun run;
    {
        ChildEnvironment env;
        if (!emulated.empty()) {
            env.set("LD_PRELOAD", TARVIO_EMULATED_PRELOAD);
            env.set("TARVIO_EMULATED_USB", emulated);
            // An instrumented build's runtime need not come first when the chip does.
            const char* asan = std::getenv("ASAN_OPTIONS");
            env.set("ASAN_OPTIONS",
                    std::string(asan ? asan : "") + (asan ? ":" : "") + "verify_asan_link_order=0:detect_odr_violation=0");
        }
        ChildProcess cli(TARVIO_CLI_PATH, all);
        if (!cli.started())
            return run;
        run.status = cli.wait();
        run.err = cli.errRest();
        std::string out = cli.outRest();
        if (out.find('{') != std::string::npos)
            run.report = nlohmann::json::parse(out, nullptr, false);
    }
    return run;
}

class SelfTestAgainstEmulatedChip
    : public ::testing::TestWithParam<std::tuple<const char*, Scenario>> {};

} // namespace

TEST_P(SelfTestAgainstEmulatedChip, scenario_reportNamesTheFailedStepOrPassesEveryStep) {
    const auto& [speed, scenario] = GetParam();
    const SelfTestRun run = runSelfTest({"--json"}, std::string(speed) + " " + scenario.faults);
    ASSERT_FALSE(run.report.is_discarded()) << run.err;
    ASSERT_TRUE(run.report.is_object()) << run.err;
    const nlohmann::json& r = run.report;
    SCOPED_TRACE(r.dump(2));
    EXPECT_EQ(r["program"].get<std::string>().rfind("Tarvio2 ", 0), 0u);
    EXPECT_FALSE(r["os"].get<std::string>().empty());
    EXPECT_FALSE(r["libftdi1"].get<std::string>().empty());
    EXPECT_EQ(r.dump().find("FT7A3K21"), std::string::npos) << "the serial number is masked";

    // The system sees the chip at its speed, whatever else goes wrong.
    const nlohmann::json& seen = r["steps"][0]["figures"]["devices"];
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0]["packetSize"], std::string(speed) == "high" ? 512 : 64);
    EXPECT_EQ(seen[0]["chip"], std::string(speed) == "high" ? "FT232H" : "FT232R");

    if (!scenario.failedStep) {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(r["verdict"], "ok");
        for (const auto& step : r["steps"])
            EXPECT_EQ(step["verdict"], step["id"] == "unplug" ? "skipped" : "ok") << step["id"];
        EXPECT_EQ(r["steps"][2]["figures"]["answered"], 200);
        return;
    }
    EXPECT_EQ(run.status, 7) << run.err;
    EXPECT_EQ(r["verdict"], "failed");
    ASSERT_EQ(r["failedSteps"], nlohmann::json::array({scenario.failedStep}));
    for (const auto& step : r["steps"]) {
        if (step["id"] == scenario.failedStep) {
            EXPECT_NE(step["sentence"].get<std::string>().find(scenario.sentence),
                      std::string::npos)
                << step["sentence"];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BothSpeeds, SelfTestAgainstEmulatedChip,
                         ::testing::Combine(::testing::Values("full", "high"),
                                            ::testing::ValuesIn(Scenarios)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" +
                                    std::get<1>(info.param).name;
                         });

TEST(SelfTestAgainstSimulatedInterface, everyStepPasses_reportFileHoldsTheJson) {
    TempDir dir;
    const std::string file = dir.file("report.json");
    const SelfTestRun run =
        runSelfTest({"--device", "Medipix2 ver 2.0 simulated: SIM0001", "--report", file}, "");
    EXPECT_EQ(run.status, 0) << run.err;
    std::ifstream in(file);
    const nlohmann::json r = nlohmann::json::parse(in, nullptr, false);
    ASSERT_TRUE(r.is_object());
    EXPECT_EQ(r["verdict"], "ok") << r.dump(2);
    EXPECT_EQ(r["device"], "Medipix2 ver 2.0 simulated: *****01") << "its serial masked";
}
