// The window and tarvio2-cli, given the same two calibration points in settings.ini, label the
// same axis, write the same calibration into their files and give the same region keV
// figures: both take the analysis state's one energy axis. tarvio2-cli runs as the real
// executable; the window as the program builds it.

#include "MainWindowTestSupport.h"
#include "analysis/RegionFigures.h"
#include "cli/ChildProcess.h"
#include "formats/SpectrumFiles.h"
#include "views/SpectrumGraph.h"

#include <nlohmann/json.hpp>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class CalibrationAgreement : public MainWindowTest {};

std::optional<double> cliCentroidKeV(const std::string& out) {
    const std::string last = out.substr(out.rfind('\n', out.size() - 2) + 1);
    const auto status = nlohmann::json::parse(last);
    const auto& region = status.at("regions").at(0);
    if (!region.contains("keV") || region["keV"]["centroid"].is_null())
        return std::nullopt;
    return region["keV"]["centroid"].get<double>();
}

TEST_F(CalibrationAgreement, samePoints_sameAxisFileCalibrationAndRegionKeV_inWindowAndCli) {
    const struct {
        const char* points; // [Calibration] of settings.ini
        bool calibrated;
    } cases[] = {
        {"Peak1=100\nPeak2=200\nEnergy1=59.5\nEnergy2=122.06\n", true},
        // Less than one keV apart: a zero-gain line is no axis, in neither program.
        {"Peak1=100\nPeak2=200\nEnergy1=661\nEnergy2=661.5\n", false},
        {"Peak1=0\nPeak2=0\nEnergy1=0\nEnergy2=0\n", false},
    };
    addSimulator();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.points);
        writeText(settingsFile(), std::string("[Calibration]\n") + c.points +
                                      "[Settings]\nDelay=0\n[Regions]\nRegion1=330-380\n");
        const std::string output = dir.file("cli.n42");
        ChildProcess cli(TARVIO_CLI_PATH, {"--settings", settingsFile(), "acquire", "--simulate",
                                           "--fast", "--counts", "3000", "--roi", "330:380",
                                           "--status", "json", "--output", output});
        ASSERT_TRUE(cli.started());
        ASSERT_EQ(cli.wait(), 0) << cli.errRest();
        const ReadResult written = readSpectrumFile(output);
        ASSERT_TRUE(written) << written.error;
        const auto cliKeV = cliCentroidKeV(cli.outRest());

        createWindow();
        const auto axis = window->spectrumGraph().calibration();
        const auto record = window->currentRecord().calibration;
        ASSERT_EQ(axis.has_value(), c.calibrated);
        ASSERT_EQ(record.has_value(), c.calibrated);
        ASSERT_EQ(written.spectrum->calibration.has_value(), c.calibrated);
        ASSERT_EQ(cliKeV.has_value(), c.calibrated);
        if (c.calibrated) {
            EXPECT_EQ(axis->coefficients, written.spectrum->calibration->coefficients);
            EXPECT_EQ(record->coefficients, written.spectrum->calibration->coefficients);
            // The window's figures of the same counts in its region, on its axis.
            const Spectrum counts = *toSpectrum(*written.spectrum);
            const RegionFigures figures =
                regionFigures(counts, window->session().analysis().regions().at(0),
                              written.spectrum->measurement.liveSeconds);
            const auto keV = regionEnergyFigures(figures, *axis).centroidKeV;
            ASSERT_TRUE(keV);
            EXPECT_NEAR(*keV, *cliKeV, 1e-9);
        }
        closeWindow();
    }
}

} // namespace
