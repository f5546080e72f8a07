// Files as other programs write them: several measurements, namespace prefixes, compressed
// zeroes, older layouts, extra blocks, other separators. The counts, times and calibration
// come through; what had to be left aside is said in a note.
#include "formats/SpectrumFiles.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

MeasuredSpectrum readOk(std::string_view text, FileFormat format, ReadResult* out = nullptr) {
    ReadResult read = readSpectrumText(text, format, "other");
    EXPECT_TRUE(read) << read.error;
    if (out)
        *out = read;
    return read.spectrum.value_or(MeasuredSpectrum{});
}

TEST(OtherProgramsFiles, n42WithSeveralMeasurements_givesTheFirstSpectrumAndSaysSo) {
    const char* text = R"(<?xml version="1.0"?>
<n42:RadInstrumentData xmlns:n42="http://physics.nist.gov/N42/2011/N42">
  <n42:EnergyCalibration id="ecA"><n42:CoefficientValues>1.5 3.0</n42:CoefficientValues></n42:EnergyCalibration>
  <n42:EnergyCalibration id="ecB"><n42:CoefficientValues>0 2</n42:CoefficientValues></n42:EnergyCalibration>
  <n42:RadMeasurement id="m1">
    <n42:Remark>Sample: soil</n42:Remark>
    <n42:StartDateTime>2023-11-02T10:00:00-05:00</n42:StartDateTime>
    <n42:RealTimeDuration>PT1H</n42:RealTimeDuration>
    <n42:Spectrum id="s1" energyCalibrationReference="ecB">
      <n42:LiveTimeDuration>PT3590.5S</n42:LiveTimeDuration>
      <n42:ChannelData compressionCode="CountedZeroes">5 0 3 7 1.000000e+00</n42:ChannelData>
    </n42:Spectrum>
  </n42:RadMeasurement>
  <n42:RadMeasurement id="m2">
    <n42:StartDateTime>2023-11-02T11:00:00Z</n42:StartDateTime>
    <n42:RealTimeDuration>PT60S</n42:RealTimeDuration>
    <n42:Spectrum id="s2" energyCalibrationReference="ecA">
      <n42:LiveTimeDuration>PT59S</n42:LiveTimeDuration>
      <n42:ChannelData>9 9 9</n42:ChannelData>
    </n42:Spectrum>
  </n42:RadMeasurement>
</n42:RadInstrumentData>)";
    ReadResult read;
    const MeasuredSpectrum s = readOk(text, FileFormat::N42, &read);
    EXPECT_EQ(s.counts, (std::vector<std::uint64_t>{5, 0, 0, 0, 7, 1}));
    EXPECT_EQ(s.measurement.startUtcMs, 1698937200000); // 15:00 UTC
    EXPECT_EQ(s.measurement.realSeconds, 3600.0);
    EXPECT_EQ(s.measurement.liveSeconds, 3590.5);
    EXPECT_TRUE(s.measurement.ended);
    ASSERT_TRUE(s.calibration);
    EXPECT_EQ(s.calibration->coefficients, (std::array<double, 3>{0, 2, 0}));
    EXPECT_EQ(s.remarks, std::vector<std::string>{"Sample: soil"});
    ASSERT_EQ(read.notes.size(), 1u);
    EXPECT_NE(read.notes[0].find("2 spectra"), std::string::npos) << read.notes[0];
}

TEST(OtherProgramsFiles, olderN42Layout_keepsItsTimesAndCalibrationInTheSpectrum) {
    const char* text = R"(<N42InstrumentData><Measurement><Spectrum>
  <StartTime>2006-01-01T00:00:00</StartTime><RealTime>PT10S</RealTime><LiveTime>PT9S</LiveTime>
  <Calibration Type="Energy"><Equation><Coefficients>0 1.5 0</Coefficients></Equation></Calibration>
  <ChannelData>1 2 3</ChannelData></Spectrum></Measurement></N42InstrumentData>)";
    ReadResult read;
    const MeasuredSpectrum s = readOk(text, FileFormat::N42, &read);
    EXPECT_EQ(s.counts, (std::vector<std::uint64_t>{1, 2, 3}));
    EXPECT_EQ(s.measurement.startUtcMs, 1136073600000);
    EXPECT_EQ(s.measurement.realSeconds, 10.0);
    EXPECT_EQ(s.measurement.liveSeconds, 9.0);
    ASSERT_TRUE(s.calibration);
    EXPECT_EQ(s.calibration->coefficients[1], 1.5);
    ASSERT_EQ(read.notes.size(), 1u); // no time zone
}

TEST(OtherProgramsFiles, speWithExtraBlocksAndSeveralCountsALine) {
    const char* text = "$SPEC_ID:\r\nNo sample description was entered.\r\n"
                       "$SPEC_REM:\r\nDET# 1\r\nAP# Acquisition 7.01\r\n"
                       "$DATE_MEA:\r\n11/02/2023 10:00:00\r\n"
                       "$MEAS_TIM:\r\n3590 3600\r\n"
                       "$DATA:\r\n0 7\r\n       0       5\r\n      17       0\r\n"
                       "       1       2\r\n       3       4\r\n"
                       "$ROI:\r\n0\r\n$PRESETS:\r\nNone\r\n0\r\n0\r\n"
                       "$ENER_FIT:\r\n9 9\r\n"
                       "$MCA_CAL:\r\n3\r\n1.5E+000 2.5E-001 0.0E+000 keV\r\n"
                       "$SHAPE_CAL:\r\n3\r\n1 0 0\r\n";
    const MeasuredSpectrum s = readOk(text, FileFormat::Spe);
    EXPECT_EQ(s.title, "No sample description was entered.");
    EXPECT_EQ(s.counts, (std::vector<std::uint64_t>{0, 5, 17, 0, 1, 2, 3, 4}));
    EXPECT_EQ(s.measurement.startUtcMs, 1698919200000);
    EXPECT_EQ(s.measurement.liveSeconds, 3590.0);
    EXPECT_EQ(s.measurement.realSeconds, 3600.0);
    ASSERT_TRUE(s.calibration); // $MCA_CAL: wins over $ENER_FIT:
    EXPECT_EQ(s.calibration->coefficients, (std::array<double, 3>{1.5, 0.25, 0}));
    EXPECT_EQ(s.remarks, (std::vector<std::string>{"DET# 1", "AP# Acquisition 7.01"}));
}

TEST(OtherProgramsFiles, tablesOfOtherShapes) {
    struct Case {
        const char* what;
        FileFormat format;
        const char* text;
        std::vector<std::uint64_t> counts;
        std::optional<std::array<double, 3>> calibration;
    };
    const Case cases[] = {
        {"SPE starting above channel 0",
         FileFormat::Spe,
         "$DATA:\n2 4\n7\n8\n9\n",
         {0, 0, 7, 8, 9},
         std::nullopt},
        {"SPE with only the older fit",
         FileFormat::Spe,
         "$DATA:\n0 1\n7\n8\n$ENER_FIT:\n1 2\n",
         {7, 8},
         std::array<double, 3>{1, 2, 0}},
        {"semicolons and a header",
         FileFormat::Csv,
         "Channel;Counts\n0;5\n1;6\n",
         {5, 6},
         std::nullopt},
        {"one column, no header", FileFormat::Csv, "5\n6\n7\n", {5, 6, 7}, std::nullopt},
        {"energies and counts",
         FileFormat::Csv,
         "Energy,Counts\n10.0,5\n20.0,6\n30.0,7\n",
         {5, 6, 7},
         std::array<double, 3>{10, 10, 0}},
        {"quoted header, tabs",
         FileFormat::Csv,
         "\"channel\"\t\"counts\"\n0\t1\n1\t2\n",
         {1, 2},
         std::nullopt},
        {"text with blanks, from channel 2",
         FileFormat::TabText,
         "2 5\n3 6\n",
         {0, 0, 5, 6},
         std::nullopt},
        {"text with a UTF-8 mark and LF",
         FileFormat::TabText,
         "\xEF\xBB\xBF"
         "0\t5\n1\t6\n",
         {5, 6},
         std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const MeasuredSpectrum s = readOk(c.text, c.format);
        EXPECT_EQ(s.counts, c.counts);
        ASSERT_EQ(s.calibration.has_value(), c.calibration.has_value());
        if (c.calibration) {
            EXPECT_EQ(s.calibration->coefficients, *c.calibration);
        }
    }
}

TEST(OtherProgramsFiles, formatComesFromTheFirstCharacterThenTheExtensionThenTheLook) {
    struct Case {
        const char* path;
        const char* text;
        FileFormat format;
    };
    const Case cases[] = {
        {"a.txt", "<?xml version=\"1.0\"?><x/>", FileFormat::N42},
        {"a.csv", "\xEF\xBB\xBF  $SPEC_ID:\r\n", FileFormat::Spe},
        {"a.N42", "", FileFormat::N42},
        {"a.Spe", "", FileFormat::Spe},
        {"a.xml", "", FileFormat::N42},
        {"a.TXT", "0,5", FileFormat::TabText},
        {"a.tsv", "", FileFormat::TabText},
        {"dir.csv/spectrum", "0\t5\r\n", FileFormat::TabText},
        {"spectrum", "# Title: x\n", FileFormat::Csv},
        {"spectrum", "0;5\n", FileFormat::Csv},
        {"spectrum", "0\t5\n", FileFormat::TabText},
    };
    for (const Case& c : cases)
        EXPECT_EQ(detectFormat(c.path, c.text), c.format) << c.path << " " << c.text;
}

} // namespace
} // namespace tarvio
