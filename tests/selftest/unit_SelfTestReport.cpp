// The self-test's figures and report: latency statistics, serial masking, and the verdict and
// failed steps as the text and the JSON carry them.

#include "selftest/LatencyFigures.h"
#include "selftest/SelfTestReport.h"

#include <gtest/gtest.h>

using namespace tarvio;

TEST(LatencyFigures, sampleSets_giveMinMedianNearestRankP99AndMax) {
    struct Case {
        std::vector<double> samples;
        LatencyFigures expected;
    };
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i); // unsorted on purpose
    std::vector<double> twoHundred = hundred;
    twoHundred.insert(twoHundred.end(), hundred.begin(), hundred.end());
    twoHundred.push_back(1000); // one outlier in 201 is above the 99th percentile
    const Case cases[] = {
        {{}, {0, 0, 0, 0}},
        {{5}, {5, 5, 5, 5}},
        {{3, 1}, {1, 2, 3, 3}},
        {hundred, {1, 50.5, 99, 100}},
        {twoHundred, {1, 51, 100, 1000}},
    };
    for (const Case& c : cases) {
        const LatencyFigures f = latencyFigures(c.samples);
        SCOPED_TRACE(c.samples.size());
        EXPECT_EQ(f.min, c.expected.min);
        EXPECT_EQ(f.median, c.expected.median);
        EXPECT_EQ(f.p99, c.expected.p99);
        EXPECT_EQ(f.max, c.expected.max);
    }
}

TEST(MaskedSerial, serials_keepOnlyTheirLastTwoCharactersUnlessShown) {
    EXPECT_EQ(maskedSerial("FT7A3K21", false), "******21");
    EXPECT_EQ(maskedSerial("FT7A3K21", true), "FT7A3K21");
    EXPECT_EQ(maskedSerial("AB", false), "**");
    EXPECT_EQ(maskedSerial("", false), "");
}

TEST(SelfTestReport, failedAndWarningSteps_setTheVerdictInTextAndJson) {
    SelfTestReport report;
    report.program = "Tarvio2 0.1";
    report.device = "Medipix2 ver 2.0";
    const auto step = [](const char* id, Verdict verdict) {
        SelfTestStep s;
        s.id = id;
        s.title = id;
        s.verdict = verdict;
        s.sentence = std::string(id) + " sentence.";
        return s;
    };
    report.steps = {step("system", Verdict::Ok), step("round-trips", Verdict::Warning),
                    step("unplug", Verdict::Skipped)};
    EXPECT_EQ(report.overall(), Verdict::Warning);
    EXPECT_NE(reportText(report).find("Verdict: passed, with warnings."), std::string::npos);

    report.steps.insert(report.steps.begin() + 1, step("purge", Verdict::Failed));
    const nlohmann::json json = reportJson(report);
    EXPECT_EQ(json["verdict"], "failed");
    EXPECT_EQ(json["failedSteps"], nlohmann::json::array({"purge"}));
    EXPECT_EQ(json["steps"][1]["verdict"], "failed");
    EXPECT_EQ(json["steps"][3]["verdict"], "skipped");
    const std::string text = reportText(report);
    EXPECT_NE(text.find("[failed]  purge: purge sentence."), std::string::npos) << text;
    EXPECT_NE(text.find("Verdict: FAILED (purge)."), std::string::npos) << text;
}
