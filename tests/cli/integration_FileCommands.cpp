// analyze and convert on files: the figures of a spectrum whose peak is known, and every
// pair of formats converted there and back.

#include "CliTestSupport.h"
#include "formats/SpectrumFiles.h"
#include "support/SyntheticSpectrum.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// A peak of 10,000 counts at channel 397.5 (59.5 keV on the axis) on 20 counts a channel,
// measured for 100 s of live time.
MeasuredSpectrum knownPeak() {
    MeasuredSpectrum m = measuredSpectrum(syntheticSpectrum({{397.5, 4.0, 10000.0}}, {20.0}, 0));
    m.measurement.startUtcMs = 1714566896789;
    m.measurement.realSeconds = 101.0;
    m.measurement.liveSeconds = 100.0;
    m.calibration = EnergyCalibration{{-20.0, 0.2, 0.0}};
    return m;
}

} // namespace

TEST(Analyze, knownPeak_centroidAreaRateAndEnergy_asTableAndJson) {
    CliRunner cli;
    const std::string file = cli.file("peak.n42");
    ASSERT_TRUE(saveSpectrumFile(file, knownPeak(), FileFormat::N42));

    const CliResult json = cli.run({"analyze", file, "--roi", "370:425", "--json", "--fit"});
    ASSERT_EQ(json.status, 0) << json.err;
    const auto result = nlohmann::json::parse(json.out);
    EXPECT_EQ(result["live"], 100.0);
    const auto& region = result["regions"].at(0);
    EXPECT_EQ(region["first"], 370);
    EXPECT_NEAR(region["centroid"].get<double>(), 397.5, 0.02);
    EXPECT_NEAR(region["net"].get<double>(), 10000.0, 30.0);
    EXPECT_NEAR(region["net_rate"].get<double>(), 100.0, 0.3);
    EXPECT_NEAR(region["fwhm"].get<double>(), 4.0 * 2.3548, 0.2);
    EXPECT_NEAR(region["keV"]["centroid"].get<double>(), 59.5, 0.01);
    EXPECT_NEAR(region["fit"]["centroid"]["value"].get<double>(), 397.5, 0.02);
    EXPECT_NEAR(region["fit"]["area"]["value"].get<double>(), 10000.0, 50.0);

    const CliResult table = cli.run({"analyze", file, "--roi", "370:425", "--roi", "0:10"});
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_NE(table.out.find("centroid keV"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("397.50"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("59.500"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("0:10"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("note: No net peak"), std::string::npos) << table.out;
}

// FWHM over the centroid channel is no resolution (channel 0 is not 0 keV): only a file with
// an energy axis gives one, from keV.
TEST(Analyze, resolution_onlyOnAnEnergyAxis) {
    CliRunner cli;
    const std::string calibrated = cli.file("peak.n42");
    ASSERT_TRUE(saveSpectrumFile(calibrated, knownPeak(), FileFormat::N42));
    MeasuredSpectrum channelsOnly = knownPeak();
    channelsOnly.calibration.reset();
    const std::string uncalibrated = cli.file("channels.n42");
    ASSERT_TRUE(saveSpectrumFile(uncalibrated, channelsOnly, FileFormat::N42));

    const CliResult keV = cli.run({"analyze", calibrated, "--roi", "370:425", "--json"});
    ASSERT_EQ(keV.status, 0) << keV.err;
    const auto region = nlohmann::json::parse(keV.out)["regions"].at(0);
    // 4 x 2.3548 x 0.2 keV over 59.5 keV.
    EXPECT_NEAR(region["keV"]["resolution_percent"].get<double>(), 3.17, 0.1);
    EXPECT_FALSE(region.contains("resolution_percent"));

    const CliResult channels = cli.run({"analyze", uncalibrated, "--roi", "370:425"});
    ASSERT_EQ(channels.status, 0) << channels.err;
    EXPECT_EQ(channels.out.find("resolution"), std::string::npos) << channels.out;
    const CliResult table = cli.run({"analyze", calibrated, "--roi", "370:425"});
    EXPECT_NE(table.out.find("resolution%"), std::string::npos) << table.out;
}

TEST(Analyze, inputThatCannotBeRead_exitsSixNamingFileAndWhere) {
    CliRunner cli;
    const std::string broken = cli.file("broken.csv");
    writeText(broken, "channel,counts\n0,5\n1,x\n");
    const CliResult result = cli.run({"analyze", broken, "--roi", "0:1"});
    EXPECT_EQ(result.status, 6);
    EXPECT_NE(result.err.find(broken + ": line 3"), std::string::npos) << result.err;

    const CliResult missing = cli.run({"analyze", cli.file("none.n42"), "--roi", "0:1"});
    EXPECT_EQ(missing.status, 6);
    EXPECT_NE(missing.err.find("none.n42: does not exist"), std::string::npos) << missing.err;

    const std::string small = cli.file("small.spe");
    MeasuredSpectrum eight;
    eight.counts.assign(8, 1);
    ASSERT_TRUE(saveSpectrumFile(small, eight, FileFormat::Spe));
    const CliResult beyond = cli.run({"analyze", small, "--roi", "4:20"});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_NE(beyond.err.find("beyond the 8 channels"), std::string::npos) << beyond.err;
}

TEST(Convert, everyPairOfFormats_roundTripKeepsCountsTimesAndCalibration) {
    CliRunner cli;
    const MeasuredSpectrum original = knownPeak();
    for (FileFormat from : AllFileFormats) {
        for (FileFormat to : AllFileFormats) {
            const std::string a = cli.file("a." + std::string(formatExtension(from)));
            const std::string b = cli.file("b." + std::string(formatExtension(to)));
            const std::string back = cli.file("back." + std::string(formatExtension(from)));
            ASSERT_TRUE(saveSpectrumFile(a, original, from));
            const CliResult there = cli.run({"convert", a, b});
            ASSERT_EQ(there.status, 0) << a << " -> " << b << ": " << there.err;
            ASSERT_EQ(cli.run({"convert", b, back}).status, 0);

            const ReadResult read = readSpectrumFile(back);
            ASSERT_TRUE(read) << read.error;
            const std::string pair =
                std::string(formatName(from)) + " -> " + std::string(formatName(to));
            EXPECT_EQ(read.spectrum->counts, original.counts) << pair;
            const bool text = from == FileFormat::TabText || to == FileFormat::TabText;
            if (text) {
                // The tab-separated text has no field for them, and says so.
                if (from != FileFormat::TabText) {
                    EXPECT_NE(there.err.find("keeps no start, real or live time"),
                              std::string::npos)
                        << pair;
                }
                continue;
            }
            EXPECT_EQ(read.spectrum->measurement.startUtcMs, original.measurement.startUtcMs)
                << pair;
            EXPECT_EQ(read.spectrum->measurement.realSeconds, original.measurement.realSeconds)
                << pair;
            EXPECT_EQ(read.spectrum->measurement.liveSeconds, original.measurement.liveSeconds)
                << pair;
            ASSERT_TRUE(read.spectrum->calibration) << pair;
            EXPECT_EQ(read.spectrum->calibration->coefficients, original.calibration->coefficients)
                << pair;
        }
    }
}

TEST(Convert, keVFormAndUnwritableTarget) {
    CliRunner cli;
    const std::string n42 = cli.file("peak.n42");
    ASSERT_TRUE(saveSpectrumFile(n42, knownPeak(), FileFormat::N42));
    const std::string txt = cli.file("peak.txt");
    ASSERT_EQ(cli.run({"convert", n42, txt, "--calibrated"}).status, 0);
    const std::string text = readText(txt);
    // Channel 397 at 0.2 keV a channel from -20 keV.
    EXPECT_NE(text.find("\r\n59.4000\t"), std::string::npos);

    const CliResult unwritable = cli.run({"convert", n42, cli.file("no/such/folder/out.spe")});
    EXPECT_EQ(unwritable.status, 5);
    EXPECT_NE(unwritable.err.find("out.spe"), std::string::npos) << unwritable.err;
}
