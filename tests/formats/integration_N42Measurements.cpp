// N42 files of several measurements (time slices): valid against the standard's schema, and
// read back whole or measurement by measurement with each one's own times and counts.
#include "SampleSpectra.h"

#include "formats/N42Format.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace tarvio {
namespace {

std::vector<MeasuredSpectrum> slices() {
    std::vector<MeasuredSpectrum> all;
    for (int k = 0; k < 3; ++k) {
        MeasuredSpectrum s = test::fullSample();
        for (std::size_t i = 0; i < s.counts.size(); ++i)
            s.counts[i] = (i * (k + 3)) % 97;
        s.measurement.startUtcMs = 1714566896789 + k * 10000;
        s.measurement.realSeconds = k == 2 ? 4.5 : 10.0;
        s.measurement.liveSeconds = k == 2 ? 4.25 : 9.5;
        s.title = "Slice " + std::to_string(k + 1);
        if (k == 1)
            s.calibration.reset();
        all.push_back(s);
    }
    return all;
}

TEST(N42Measurements, severalMeasurements_validateAndReadBackOneByOne) {
    const std::vector<MeasuredSpectrum> written = slices();
    const std::string text = writeN42Measurements(written);

    std::vector<std::string> notes;
    const std::vector<MeasuredSpectrum> read = readN42Measurements(text, notes);
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t k = 0; k < read.size(); ++k) {
        SCOPED_TRACE("measurement " + std::to_string(k + 1));
        EXPECT_EQ(read[k].counts, written[k].counts);
        EXPECT_EQ(read[k].measurement.startUtcMs, written[k].measurement.startUtcMs);
        EXPECT_EQ(read[k].measurement.realSeconds, written[k].measurement.realSeconds);
        EXPECT_EQ(read[k].measurement.liveSeconds, written[k].measurement.liveSeconds);
        EXPECT_EQ(read[k].calibration.has_value(), written[k].calibration.has_value());
        EXPECT_EQ(read[k].title, written[k].title);
        EXPECT_EQ(read[k].measurement.operatingPoint.thresholdVolts, 0.4565);
    }
    // The single-spectrum reader still takes the first and says there are more.
    notes.clear();
    EXPECT_EQ(readN42(text, notes).counts, written[0].counts);
    EXPECT_EQ(notes.size(), 1u);
    // One measurement reads as one.
    EXPECT_EQ(readN42Measurements(writeN42(written[1]), notes).size(), 1u);

    std::string schema = std::string(TARVIO_SHARED_DIR) + "/reference/n42/n42.xsd";
    if (const char* path = std::getenv("TARVIO_N42_SCHEMA"))
        schema = path;
    if (!std::filesystem::exists(schema))
        GTEST_SKIP() << "no N42 schema at " << schema << " (the shared reference folder is absent)";
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    test::TempDir dir;
    test::writeText(dir.file("slices.n42"), text);
    const std::string command = "xmllint --noout --schema '" + schema + "' '" +
                                dir.file("slices.n42") + "' >" + dir.file("log") + " 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << test::readText(dir.file("log"));
}

} // namespace
} // namespace tarvio
