// File → Record List Mode and View → Time History in the real window on the simulated
// interface: the next measurement goes to the chosen file, named with its size in the status
// bar, and replays to the window's spectrum; the time history shows it and a recording from
// disk.
#include "MainWindowTestSupport.h"

#include "app/ImageView.h"
#include "app/TimeHistoryWindow.h"
#include "listmode/ListFileReader.h"
#include "listmode/Replay.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>

namespace tarvio::test {
namespace {

class MainWindowListMode : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        writeText(settingsFile(), "[Settings]\nDelay=0\n");
        addSimulator();
        createWindow();
    }
    void trigger(const char* action) {
        QAction* found = window->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(found, nullptr) << action;
        found->trigger();
    }
};

bool anyColourIn(const QImage& image, int left) {
    for (int y = 0; y < image.height(); y += 2)
        for (int x = left; x < image.width() / 2; ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) > 60 && qBlue(p) != qGreen(p))
                return true;
        }
    return false;
}

TEST_F(MainWindowListMode, recordedMeasurement_replaysToTheWindowsSpectrumAndShowsOverTime) {
    const std::string path = dir.file("am241.h5");
    window->setSaveFileChooser([&](QFileDialog&) { return QString::fromStdString(path); });
    trigger("miRecordListModeSamples");
    auto* label = control<QLabel>("lblListMode");
    EXPECT_TRUE(label->text().contains("am241.h5")) << label->text().toStdString();

    control<QCheckBox>("chbBiasOn")->setChecked(true);
    clickButton("btnStart");
    ASSERT_TRUE(eventually([&] {
        // Named with its size once the first flush has put something on disk.
        const QString text = label->text();
        return spectrumNow().maxCount >= 20 && text.contains("am241.h5, ") &&
               !text.contains(" 0 bytes");
    })) << label->text().toStdString();
    clickButton("btnStop");
    ASSERT_TRUE(eventually([&] { return label->text().contains("done"); }))
        << label->text().toStdString();

    ListFileReader reader(path);
    EXPECT_TRUE(reader.info().finished);
    EXPECT_GT(reader.info().sampleWidth, 0u);
    const Spectrum live = spectrumNow();
    EXPECT_EQ(replaySpectrum(reader, TimeRange{}).counts,
              std::vector<std::uint64_t>(live.counts.begin(), live.counts.end()));

    trigger("miTimeHistory");
    auto* history = window->findChild<TimeHistoryWindow*>("frmTimeHistory");
    ASSERT_NE(history, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(history));
    history->redraw();
    EXPECT_TRUE(anyColourIn(history->view()->image(), 60)) << "no waterfall of the measurement";

    QTest::mouseClick(history->findChild<QPushButton*>("btnTimeHistoryOpen"), Qt::LeftButton);
    EXPECT_TRUE(history->showsRecording());
    EXPECT_TRUE(history->sourceLabel()->text().contains("am241.h5"));
    EXPECT_TRUE(anyColourIn(history->view()->image(), 60)) << "no waterfall of the recording";
}

} // namespace
} // namespace tarvio::test
