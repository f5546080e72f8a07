// tarvio2-cli replay on a recording made through the consumer interface: the whole spectrum,
// a time range and its slices (one N42 file of several measurements, valid against the
// schema, read back slice by slice) each equal what the live spectrum counted in that time.
#include "ChildProcess.h"

#include "formats/N42Format.h"
#include "formats/SpectrumFiles.h"
#include "listmode/ListFileReader.h"
#include "listmode/ListModeRecorder.h"
#include "listmode/SyntheticEvents.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tarvio {
namespace {

using test::ChildProcess;

std::vector<std::uint64_t> countsOf(const Spectrum& spectrum) {
    return {spectrum.counts.begin(), spectrum.counts.end()};
}

int run(const std::vector<std::string>& args, std::string* err = nullptr) {
    ChildProcess cli(TARVIO_CLI_PATH, args);
    const int status = cli.wait();
    if (err)
        *err = cli.errRest();
    return status;
}

TEST(ReplayCommand, wholeRangeAndSlices_equalTheLiveCountsOfTheirTime) {
    test::TempDir dir;
    const auto events = test::syntheticEvents(5000);
    const std::string recording = dir.file("run.h5");
    {
        ListModeOptions options;
        options.path = recording;
        ListModeRecorder recorder(options);
        recorder.measurementStarted(test::startInfo());
        for (const auto& e : events)
            recorder.pulse(test::pulseOf(e));
        MeasurementInfo end = test::startInfo();
        end.ended = true;
        end.realSeconds = static_cast<double>(events.back().ns) * 1e-9 + 0.01;
        end.liveSeconds = 4.0;
        recorder.measurementEnded(end);
    }

    ASSERT_EQ(run({"replay", recording, "--output", dir.file("whole.n42")}), 0);
    ReadResult whole = readSpectrumFile(dir.file("whole.n42"));
    ASSERT_TRUE(whole) << whole.error;
    EXPECT_EQ(whole.spectrum->counts, countsOf(test::liveSpectrum(events)));
    EXPECT_EQ(whole.spectrum->measurement.liveSeconds, 4.0);

    const std::int64_t s = 1'000'000'000;
    ASSERT_EQ(run({"replay", recording, "--output", dir.file("part.n42"), "--from", "2s", "--to",
                   "0:05"}),
              0);
    ReadResult part = readSpectrumFile(dir.file("part.n42"));
    ASSERT_TRUE(part) << part.error;
    EXPECT_EQ(part.spectrum->counts, countsOf(test::liveSpectrum(events, 2 * s, 5 * s)));
    EXPECT_DOUBLE_EQ(*part.spectrum->measurement.realSeconds, 3.0);

    const std::string slicesPath = dir.file("slices.n42");
    ASSERT_EQ(run({"replay", recording, "--output", slicesPath, "--from", "2", "--to", "5s",
                   "--slices", "500ms"}),
              0);
    std::vector<std::string> notes;
    const auto slices = readN42Measurements(test::readText(slicesPath), notes);
    ASSERT_EQ(slices.size(), 6u);
    std::vector<std::uint64_t> sum(SpectrumChannels, 0);
    for (std::size_t k = 0; k < slices.size(); ++k) {
        const std::int64_t from = 2 * s + static_cast<std::int64_t>(k) * s / 2;
        EXPECT_EQ(slices[k].counts, countsOf(test::liveSpectrum(events, from, from + s / 2)))
            << "slice " << k;
        EXPECT_EQ(*slices[k].measurement.startUtcMs,
                  *test::startInfo().startUtcMs + from / 1000000);
        EXPECT_DOUBLE_EQ(*slices[k].measurement.realSeconds, 0.5);
        for (std::size_t ch = 0; ch < sum.size(); ++ch)
            sum[ch] += slices[k].counts[ch];
    }
    EXPECT_EQ(sum, part.spectrum->counts);

    // One slice read back through the program, and one the file does not hold.
    ASSERT_EQ(run({"convert", slicesPath, dir.file("third.csv"), "--measurement", "3"}), 0);
    const ReadResult third = readSpectrumFile(dir.file("third.csv"));
    ASSERT_TRUE(third) << third.error;
    EXPECT_EQ(third.spectrum->counts, slices[2].counts);
    EXPECT_EQ(run({"analyze", slicesPath, "--measurement", "7"}), 6);

    std::string schema = std::string(TARVIO_SHARED_DIR) + "/reference/n42/n42.xsd";
    if (const char* path = std::getenv("TARVIO_N42_SCHEMA"))
        schema = path;
    if (!std::filesystem::exists(schema) || std::system("xmllint --version >/dev/null 2>&1") != 0) {
        std::printf("skipped validating the slices: no N42 schema at %s or no xmllint\n",
                    schema.c_str());
        return;
    }
    const std::string command = "xmllint --noout --schema '" + schema + "' '" + slicesPath + "' >" +
                                dir.file("log") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::readText(dir.file("log"));
}

TEST(ReplayCommand, acquireWithListMode_replaysToTheSameSpectrum) {
    test::TempDir dir;
    const std::string settings = dir.file("settings.ini");
    test::writeText(settings, "[Settings]\nDelay=0\n");
    const std::string recording = dir.file("am241.h5");
    std::string err;
    ASSERT_EQ(run({"--settings", settings, "acquire", "--simulate", "--fast", "--counts", "3000",
                   "--output", dir.file("live.n42"), "--list-mode", recording, "--samples-too"},
                  &err),
              0)
        << err;
    EXPECT_NE(err.find("List mode written to " + recording), std::string::npos) << err;
    ASSERT_EQ(run({"replay", recording, "--output", dir.file("replayed.n42")}, &err), 0) << err;
    const ReadResult live = readSpectrumFile(dir.file("live.n42"));
    const ReadResult replayed = readSpectrumFile(dir.file("replayed.n42"));
    ASSERT_TRUE(live && replayed) << live.error << replayed.error;
    EXPECT_EQ(replayed.spectrum->counts, live.spectrum->counts);
    EXPECT_EQ(replayed.spectrum->totalCounts(), 3000u);
    // Without pacing the spectrum file states no times (they would not be measured ones); the
    // recording keeps the host's receive clock all the same.
    EXPECT_FALSE(live.spectrum->measurement.realSeconds);
    EXPECT_TRUE(replayed.spectrum->measurement.realSeconds);
    ListFileReader reader(recording);
    EXPECT_EQ(reader.info().sampleWidth, 450u);
    EXPECT_FALSE(reader.samples(0).empty());

    // The raw samples processed again: every pulse counted once more, by the template fit.
    ASSERT_EQ(run({"replay", recording, "--height", "fit", "--output", dir.file("fit.n42")}, &err),
              0)
        << err;
    const ReadResult fitted = readSpectrumFile(dir.file("fit.n42"));
    ASSERT_TRUE(fitted) << fitted.error;
    EXPECT_EQ(fitted.spectrum->totalCounts(), 3000u);
    EXPECT_NE(fitted.spectrum->measurement.processing.find("template fit"), std::string::npos);
    EXPECT_NE(fitted.spectrum->counts, live.spectrum->counts);
    ASSERT_EQ(run({"replay", recording, "--height", "parabola", "--output", dir.file("x.n42")},
                  &err),
              2);
}

TEST(ReplayCommand, impossibleRequestsAndUnreadableFiles_sayWhyWithTheirExitStatus) {
    test::TempDir dir;
    test::writeText(dir.file("not.h5"), "not a recording\n");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"replay", dir.file("not.h5"), "--output", dir.file("o.txt"), "--slices", "1s"},
         2,
         ".n42 name"},
        {{"replay", dir.file("not.h5"), "--output", dir.file("o.n42"), "--from", "soon"},
         2,
         "not a length of time"},
        {{"replay", dir.file("not.h5"), "--output", dir.file("o.n42"), "--from", "5", "--to", "2"},
         2,
         "after --from"},
        {{"replay", dir.file("not.h5"), "--output", dir.file("o.n42")}, 6, "not.h5"},
    };
    for (const auto& c : cases) {
        std::string err;
        EXPECT_EQ(run(c.args, &err), c.status) << c.args.back();
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("o.n42")));
    }
}

} // namespace
} // namespace tarvio
