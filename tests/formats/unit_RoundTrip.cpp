// Every format reads back what it wrote: counts to the last channel (beyond 2^32 too), times
// to the millisecond, calibration to the digit, the operating point, whatever the locale.
#include "SampleSpectra.h"

#include "formats/SpectrumFiles.h"
#include "formats/TabTextFormat.h"
#include "records/SpectrumExport.h"

#include <gtest/gtest.h>

#include <optional>

namespace tarvio {
namespace {

using test::bareSample;
using test::fullSample;

void expectSameMilliseconds(const std::optional<double>& a, const std::optional<double>& b) {
    ASSERT_EQ(a.has_value(), b.has_value());
    if (a) {
        EXPECT_NEAR(*a, *b, 0.0005);
    }
}

void expectSame(const MeasuredSpectrum& read, const MeasuredSpectrum& written) {
    EXPECT_EQ(read.counts, written.counts);
    const MeasurementInfo& r = read.measurement;
    const MeasurementInfo& w = written.measurement;
    EXPECT_EQ(r.startUtcMs, w.startUtcMs);
    expectSameMilliseconds(r.realSeconds, w.realSeconds);
    expectSameMilliseconds(r.liveSeconds, w.liveSeconds);
    EXPECT_EQ(r.ended, w.ended);
    EXPECT_EQ(r.operatingPoint.interfaceDescription, w.operatingPoint.interfaceDescription);
    EXPECT_EQ(r.operatingPoint.chipIdentifiers, w.operatingPoint.chipIdentifiers);
    EXPECT_EQ(r.operatingPoint.biasVolts, w.operatingPoint.biasVolts);
    EXPECT_EQ(r.operatingPoint.thresholdVolts, w.operatingPoint.thresholdVolts);
    EXPECT_EQ(r.operatingPoint.delaySeconds, w.operatingPoint.delaySeconds);
    EXPECT_EQ(r.operatingPoint.samplesPerPulse, w.operatingPoint.samplesPerPulse);
    ASSERT_EQ(read.calibration.has_value(), written.calibration.has_value());
    if (written.calibration) {
        EXPECT_EQ(read.calibration->coefficients, written.calibration->coefficients);
    }
    EXPECT_EQ(read.title, written.title);
    EXPECT_EQ(read.remarks, written.remarks);
}

TEST(FormatRoundTrip, everyFormatWithMetadata_readsBackWhatItWrote_inBothLocales) {
    std::string pointTexts;
    for (const bool comma : {false, true}) {
        std::optional<test::CommaLocale> locale;
        if (comma)
            locale.emplace();
        std::string texts;
        for (const FileFormat format : {FileFormat::N42, FileFormat::Spe, FileFormat::Csv}) {
            for (const MeasuredSpectrum& sample : {fullSample(), bareSample()}) {
                SCOPED_TRACE(std::string(formatName(format)) + (comma ? ", comma" : ", point"));
                const std::string text = spectrumFileText(sample, format);
                texts += text;
                const ReadResult read = readSpectrumText(text, format, "sample");
                ASSERT_TRUE(read) << read.error;
                EXPECT_EQ(read.format, format);
                EXPECT_TRUE(read.notes.empty()) << read.notes.front();
                expectSame(*read.spectrum, sample);
            }
        }
        // Not a byte depends on the locale.
        if (comma) {
            EXPECT_EQ(texts, pointTexts);
        } else {
            pointTexts = texts;
        }
    }
}

// The few places where a format's own fields must hold exactly these texts.
TEST(FormatRoundTrip, fieldsAreWrittenAsOtherProgramsExpectThem) {
    struct Case {
        FileFormat format;
        const char* expected;
    };
    const Case cases[] = {
        {FileFormat::N42, "<StartDateTime>2024-05-01T12:34:56.789Z</StartDateTime>"},
        {FileFormat::N42, "<RealTimeDuration>PT604800.123S</RealTimeDuration>"},
        {FileFormat::N42, "<LiveTimeDuration>PT598123.456S</LiveTimeDuration>"},
        {FileFormat::N42,
         "<CoefficientValues>-2.5000000000000004 0.6200000000000001 1.25e-07</CoefficientValues>"},
        {FileFormat::N42, " 9007199254740993 1048576\n"},
        {FileFormat::N42, "<Remark>Bias voltage: 52.5 V</Remark>"},
        {FileFormat::N42, "<Remark>Measurement ended: no</Remark>"},
        {FileFormat::Spe, "$DATE_MEA:\r\n05/01/2024 12:34:56\r\n"},
        {FileFormat::Spe, "$MEAS_TIM:\r\n598123.456 604800.123\r\n"},
        {FileFormat::Spe, "$DATA:\r\n0 4095\r\n0\r\n"},
        {FileFormat::Spe, "\r\n9007199254740993\r\n1048576\r\n"},
        {FileFormat::Spe,
         "$MCA_CAL:\r\n3\r\n-2.5000000000000004 0.6200000000000001 1.25e-07 keV\r\n"},
        {FileFormat::Csv, "\r\nchannel,energy_keV,counts\r\n0,-2.5000,0\r\n"},
        {FileFormat::Csv, "\r\n4095,2538.4961,1048576\r\n"},
    };
    for (const Case& c : cases) {
        const std::string text = spectrumFileText(fullSample(), c.format);
        EXPECT_NE(text.find(c.expected), std::string::npos)
            << formatName(c.format) << " lacks: " << c.expected;
    }
    // A straight line also goes into the older SPE block; nothing says a missing one exists.
    MeasuredSpectrum linear = fullSample();
    linear.calibration = EnergyCalibration{{-2.5, 0.62, 0.0}};
    EXPECT_NE(spectrumFileText(linear, FileFormat::Spe).find("$ENER_FIT:\r\n-2.5 0.62\r\n"),
              std::string::npos);
    const MeasuredSpectrum bare = bareSample();
    EXPECT_NE(spectrumFileText(bare, FileFormat::N42).find("<CoefficientValues>0 0 0<"),
              std::string::npos);
    EXPECT_EQ(spectrumFileText(bare, FileFormat::Spe).find("$MCA_CAL:"), std::string::npos);
    EXPECT_NE(spectrumFileText(bare, FileFormat::Csv).find("\r\n0,,0\r\n1,,3\r\n"),
              std::string::npos);
    // Without a title the SPE identification line names the interface, and reads back as no
    // title.
    MeasuredSpectrum untitled = fullSample();
    untitled.title.clear();
    const std::string untitledSpe = spectrumFileText(untitled, FileFormat::Spe);
    EXPECT_EQ(untitledSpe.rfind("$SPEC_ID:\r\nMedipix2 ver 2.0 simulated: SIM0001\r\n", 0), 0u);
    const ReadResult untitledRead = readSpectrumText(untitledSpe, FileFormat::Spe, "u.spe");
    ASSERT_TRUE(untitledRead) << untitledRead.error;
    EXPECT_EQ(untitledRead.spectrum->title, "");
    // SPE is CR LF throughout.
    const std::string spe = spectrumFileText(fullSample(), FileFormat::Spe);
    for (std::size_t i = spe.find('\n'); i != std::string::npos; i = spe.find('\n', i + 1))
        ASSERT_EQ(spe[i - 1], '\r') << "at byte " << i;
}

TEST(FormatRoundTrip, tabTextChannelForm_isSaveSpectrumsFileAndReadsBack) {
    Spectrum spectrum;
    spectrum.clear();
    spectrum.counts[0] = 4294967295u;
    spectrum.counts[4095] = 12;
    const std::string text = writeTabText(measuredSpectrum(spectrum));
    EXPECT_EQ(text, spectrumText(spectrum));
    const ReadResult read = readSpectrumText(text, FileFormat::TabText, "s.txt");
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.spectrum->counts, measuredSpectrum(spectrum).counts);
    EXPECT_FALSE(read.spectrum->calibration);
}

TEST(FormatRoundTrip, tabTextKeVForm_readsBackCountsAndTheLineThroughItsEnergies) {
    Spectrum spectrum;
    spectrum.clear();
    spectrum.counts[1000] = 77;
    const auto line = CalibrationLine::fromPoints({100, 59.5}, {200, 122.06});
    ASSERT_TRUE(line);
    const ReadResult read =
        readSpectrumText(calibratedSpectrumText(spectrum, *line), FileFormat::TabText, "k.txt");
    ASSERT_TRUE(read) << read.error;
    EXPECT_EQ(read.spectrum->counts, measuredSpectrum(spectrum).counts);
    ASSERT_TRUE(read.spectrum->calibration);
    EXPECT_NEAR(read.spectrum->calibration->coefficients[0], -2.5, 1e-4);
    EXPECT_NEAR(read.spectrum->calibration->coefficients[1], 0.62, 1e-7);
    EXPECT_EQ(read.spectrum->calibration->coefficients[2], 0.0);
}

} // namespace
} // namespace tarvio

namespace tarvio {
namespace {

TEST(FormatRoundTrip, processingAndRejectedPulses_readBackInEveryFormatWithMetadata) {
    MeasuredSpectrum processed = test::fullSample();
    processed.measurement.processing =
        "template fit (built-in CR-RC shape); rejected: pile-up, shape beyond 5 sigma";
    processed.measurement.rejected = {0, 9007199254740993ULL, 17, 9007199254741010ULL};
    for (const FileFormat format : {FileFormat::N42, FileFormat::Spe, FileFormat::Csv}) {
        SCOPED_TRACE(formatName(format));
        const std::string text = spectrumFileText(processed, format);
        EXPECT_NE(text.find("Rejected pulses: 9007199254741010 (saturated 0, pile-up "
                            "9007199254740993, shape 17)"),
                  std::string::npos);
        const ReadResult read = readSpectrumText(text, format, "sample");
        ASSERT_TRUE(read) << read.error;
        EXPECT_EQ(read.spectrum->measurement.processing, processed.measurement.processing);
        EXPECT_EQ(read.spectrum->measurement.rejected, processed.measurement.rejected);
        EXPECT_EQ(read.spectrum->remarks, processed.remarks);
    }
    // The plain largest sample says nothing: files as they always were.
    EXPECT_EQ(spectrumFileText(test::fullSample(), FileFormat::N42).find("Pulse processing"),
              std::string::npos);
}

} // namespace
} // namespace tarvio
