// Save Spectrum As in every format, Open Spectrum as a reference over the live spectrum, and
// the File menu they live in, against the simulated interface.

#include "MainWindowTestSupport.h"

#include "formats/SpectrumFiles.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowFiles : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        addSimulator();
        createWindow();
    }

    // A measurement of some pulses, stopped.
    Spectrum measure(std::uint32_t atLeast) {
        control<QCheckBox>("chbBiasOn")->setChecked(true); // pulses come with the bias on
        clickButton("btnStart");
        EXPECT_TRUE(eventually([&] { return spectrumNow().maxCount >= atLeast; }));
        clickButton("btnStop");
        return spectrumNow();
    }

    // The next file dialog answers with path, choosing filter first when one is given.
    void choose(const std::string& path, const char* filter = nullptr) {
        window->setSaveFileChooser([=](QFileDialog& dialog) {
            if (filter) {
                dialog.selectNameFilter(QString::fromLatin1(filter));
                emit dialog.filterSelected(QString::fromLatin1(filter));
            }
            return QString::fromStdString(path);
        });
    }

    void trigger(const char* action) { control<QAction>(action)->trigger(); }
};

TEST_F(MainWindowFiles, fileMenuHoldsSaveAsOpenAndTheReferenceEntries) {
    QStringList entries;
    for (QAction* a : control<QMenu>("miFile")->actions())
        entries << (a->isSeparator() ? "-" : a->text() + " " + a->shortcut().toString());
    EXPECT_EQ(entries.mid(entries.indexOf(QString::fromUtf8("Save Spectrum As… Ctrl+Shift+S"))),
              QStringList({QString::fromUtf8("Save Spectrum As… Ctrl+Shift+S"),
                           QString::fromUtf8("Open Spectrum… Ctrl+O"), "-", "Subtract Reference ",
                           "Clear Reference "}));
    EXPECT_FALSE(control<QAction>("miSubtractReference")->isEnabled());
    EXPECT_FALSE(control<QAction>("miClearReference")->isEnabled());
}

TEST_F(MainWindowFiles, saveAs_writesEachFormatWithTheMeasurementsOperatingPoint) {
    const Spectrum measured = measure(5);
    window->session().analysis().setTwoPoints({100, 59.5}, {200, 122.06});
    struct Case {
        const char* name;
        const char* filter;
        FileFormat format;
    };
    const Case cases[] = {
        {"s.n42", nullptr, FileFormat::N42},
        {"s.SPE", nullptr, FileFormat::Spe},
        {"s.csv", nullptr, FileFormat::Csv},
        {"no-extension", "CSV (*.csv)", FileFormat::Csv},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        choose(dir.file(c.name), c.filter);
        trigger("miSaveSpectrumAs");
        const std::string text = readText(dir.file(c.name));
        const ReadResult read = readSpectrumText(text, c.format, c.name);
        ASSERT_TRUE(read) << read.error;
        EXPECT_EQ(read.spectrum->counts, measuredSpectrum(measured).counts);
        const OperatingPoint& op = read.spectrum->measurement.operatingPoint;
        EXPECT_EQ(op.interfaceDescription, simulatorName());
        EXPECT_EQ(op.samplesPerPulse, 450u);
        EXPECT_EQ(op.delaySeconds, 0.2);
        // The measurement's own clock and counts, as the status bar showed them.
        const MeasurementInfo record = window->controller().Measurement();
        const MeasurementInfo& saved = read.spectrum->measurement;
        ASSERT_TRUE(saved.startUtcMs && saved.realSeconds) << c.name;
        EXPECT_NEAR(*saved.realSeconds, *record.realSeconds, 0.001);
        EXPECT_TRUE(saved.ended);
        if (c.format != FileFormat::Csv) { // the start to the second in SPE, to the ms in N42
            EXPECT_NEAR(static_cast<double>(*saved.startUtcMs),
                        static_cast<double>(*record.startUtcMs), 1000.0);
        }
        ASSERT_TRUE(read.spectrum->calibration);
        EXPECT_DOUBLE_EQ(read.spectrum->calibration->coefficients[1], 0.62);
    }
    // The text form is Save Spectrum's file, byte for byte.
    choose(dir.file("as.txt"));
    trigger("miSaveSpectrumAs");
    choose(dir.file("plain.txt"));
    trigger("miSaveSpectrum");
    EXPECT_EQ(readText(dir.file("as.txt")), readText(dir.file("plain.txt")));
    EXPECT_TRUE(boxes.boxes.empty());

    const std::string missing = dir.file("no/folder/s.n42");
    choose(missing);
    trigger("miSaveSpectrumAs");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.contains(QString::fromStdString(missing)));
}

TEST_F(MainWindowFiles, openedSpectrum_isDrawnScaledOverTheLiveOne_orSubtracted) {
    const Spectrum measured = measure(5);
    std::uint32_t peak = 0;
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c)
        peak = measured.counts[c] == measured.maxCount ? c : peak;
    // A background with the same shape and twice the counts: scaled by counts it matches.
    MeasuredSpectrum background = measuredSpectrum(measured);
    for (auto& c : background.counts)
        c *= 2;
    const std::string path = dir.file("background.spe");
    ASSERT_TRUE(saveSpectrumFile(path, background, FileFormat::Spe));

    choose(path);
    trigger("miOpenSpectrum");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(window->spectrumGraph().hasReference());
    EXPECT_TRUE(logLines().filter("Reference " + QString::fromStdString(path)).size() == 1)
        << logLines().join("\n").toStdString();
    EXPECT_TRUE(control<QAction>("miSubtractReference")->isEnabled());

    window->spectrumGraph().setCursorChannel(static_cast<int>(peak));
    control<QAction>("miSubtractReference")->trigger();
    ASSERT_TRUE(control<QAction>("miSubtractReference")->isChecked());
    EXPECT_EQ(window->spectrumGraph().cursorValue(), 0u);
    EXPECT_EQ(window->spectrumGraph().spectrumMax(), 0u);
    EXPECT_EQ(spectrumNow().counts[peak], measured.counts[peak]); // the live record stays

    trigger("miClearReference");
    EXPECT_FALSE(window->spectrumGraph().hasReference());
    EXPECT_FALSE(control<QAction>("miSubtractReference")->isChecked());
    EXPECT_EQ(window->spectrumGraph().cursorValue(), measured.counts[peak]);

    const std::string bad = dir.file("bad.csv");
    writeText(bad, "channel,counts\n0,5\n1,five\n");
    choose(bad);
    trigger("miOpenSpectrum");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text.toStdString(),
              bad + ": line 3: 'five' is not a whole count of zero or more");
    EXPECT_FALSE(window->spectrumGraph().hasReference());
}

} // namespace
