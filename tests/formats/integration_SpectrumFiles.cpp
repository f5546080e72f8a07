// Spectrum files on disk: N42 output validates against the standard's schema, formats come
// from the extension, and a file that cannot be written or read says which and why.
#include "SampleSpectra.h"

#include "formats/SpectrumFiles.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace tarvio {
namespace {

std::string schemaPath() {
    if (const char* path = std::getenv("TARVIO_N42_SCHEMA"))
        return path;
    return std::string(TARVIO_SHARED_DIR) + "/reference/n42/n42.xsd";
}

// Whatever text a title, a remark or a USB description brings.
MeasuredSpectrum hostileSample() {
    MeasuredSpectrum s = test::bareSample();
    s.title = "a\x01 <b> & \"c\"\nd \xff\xfe end";
    s.remarks = {"", "  ", "]]> <!-- -->", "\t$DATA:"};
    s.measurement.operatingPoint.interfaceDescription = "Medipix2\r\n\x7f";
    s.measurement.operatingPoint.chipIdentifiers = " ";
    return s;
}

TEST(SpectrumFilesOnDisk, n42Output_validatesAgainstTheN42Schema) {
    const std::string schema = schemaPath();
    if (!std::filesystem::exists(schema))
        GTEST_SKIP() << "no N42 schema at " << schema << " (the shared reference folder is absent)";
    if (std::system("xmllint --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils)";
    test::TempDir dir;
    const MeasuredSpectrum samples[] = {test::fullSample(), test::bareSample(), hostileSample()};
    for (std::size_t i = 0; i < std::size(samples); ++i) {
        const std::string path = dir.file("s" + std::to_string(i) + ".n42");
        ASSERT_TRUE(saveSpectrumFile(path, samples[i], FileFormat::N42));
        const std::string command = "xmllint --noout --schema '" + schema + "' '" + path + "' >" +
                                    dir.file("xmllint.log") + " 2>&1";
        EXPECT_EQ(std::system(command.c_str()), 0) << "sample " << i << ":\n"
                                                   << test::readText(dir.file("xmllint.log"));
        const ReadResult read = readSpectrumFile(path);
        ASSERT_TRUE(read) << read.error;
        EXPECT_EQ(read.spectrum->counts, samples[i].counts);
    }
}

TEST(SpectrumFilesOnDisk, formatFollowsTheExtension_andFailuresNameTheFile) {
    test::TempDir dir;
    const MeasuredSpectrum sample = test::fullSample();
    for (const FileFormat format : AllFileFormats) {
        const std::string path = dir.file("spectrum." + std::string(formatExtension(format)));
        ASSERT_TRUE(saveSpectrumFile(path, sample, format));
        ASSERT_EQ(formatForPath(path), format);
        const ReadResult read = readSpectrumFile(path);
        ASSERT_TRUE(read) << read.error;
        EXPECT_EQ(read.format, format);
        EXPECT_EQ(read.spectrum->counts, sample.counts);
    }

    const std::string missingFolder = dir.file("no/such/folder/s.n42");
    const SaveResult saved = saveSpectrumFile(missingFolder, sample, FileFormat::N42);
    EXPECT_FALSE(saved);
    EXPECT_NE(saved.error.find(missingFolder), std::string::npos) << saved.error;

    const std::string missing = dir.file("missing.spe");
    EXPECT_EQ(readSpectrumFile(missing).error, missing + ": does not exist");
    EXPECT_EQ(readSpectrumFile(dir.path().string()).error,
              dir.path().string() + ": is not a regular file");
    const std::string fifo = dir.file("fifo.n42");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readSpectrumFile(fifo).error, fifo + ": is not a regular file");
    test::writeText(dir.file("bad.csv"), "channel,counts\n0,x\n");
    EXPECT_EQ(readSpectrumFile(dir.file("bad.csv")).error,
              dir.file("bad.csv") + ": line 2: 'x' is not a whole count of zero or more");
}

TEST(SpectrumFilesOnDisk, calibrationGivingInfiniteEnergies_isNeitherReadNorWritten) {
    // Finite coefficients, but channel 1 already lies beyond the largest double.
    const struct {
        FileFormat format;
        const char* text;
    } files[] = {
        {FileFormat::Spe, "$DATA:\n0 1\n1\n2\n$MCA_CAL:\n3\n1e308 1e308 0\n"},
        {FileFormat::Spe, "$DATA:\n0 1\n1\n2\n$ENER_FIT:\n1e308 1e308\n"},
        {FileFormat::Csv, "# Energy calibration: 0 0 1e308\n0,1\n1,2\n"},
        {FileFormat::N42, "<a><EnergyCalibration><CoefficientValues>1e308 1e308 0"
                          "</CoefficientValues></EnergyCalibration><Spectrum><ChannelData>1 2"
                          "</ChannelData></Spectrum></a>"},
    };
    for (const auto& f : files) {
        const ReadResult read = readSpectrumText(f.text, f.format, "huge");
        ASSERT_TRUE(read) << read.error;
        EXPECT_FALSE(read.spectrum->calibration) << f.text;
    }
    // Energies up to channel 2^20 count, the most any file holds.
    EXPECT_FALSE(EnergyCalibration::fromCoefficients(0.0, 2e302, 0.0));
    EXPECT_TRUE(EnergyCalibration::fromCoefficients(0.0, 1e302, 0.0));

    // One that got past anyway fails the save rather than leave a field empty.
    test::TempDir dir;
    MeasuredSpectrum bad = test::bareSample();
    bad.calibration = EnergyCalibration{{1e308, 1e308, 0.0}};
    for (const FileFormat format : {FileFormat::TabText, FileFormat::Csv}) {
        const std::string path = dir.file("bad." + std::string(formatExtension(format)));
        const SaveResult saved = saveSpectrumFile(path, bad, format, true);
        EXPECT_FALSE(saved) << formatName(format);
        EXPECT_NE(saved.error.find("the energy of channel 1 is not a finite number"),
                  std::string::npos)
            << saved.error;
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    Spectrum live;
    live.clear();
    const std::string path = dir.file("live.txt");
    EXPECT_FALSE(live.saveCalibratedText(path, *bad.calibration));
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace tarvio
