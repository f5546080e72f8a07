// Open Spectrum on a large file: read off the window's thread, with a progress dialog whose
// Cancel drops the read, the window answering events all the while.

#include "MainWindowTestSupport.h"

#include "app/SpectrumOpening.h"
#include "views/SpectrumGraph.h"

#include <QAction>
#include <QFileDialog>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <fstream>

using namespace tarvio;
using namespace tarvio::test;

namespace {

class MainWindowOpenLarge : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        addSimulator();
        createWindow();
        // A million channels, well above what is read at once.
        large = dir.file("large.txt");
        std::ofstream out(large, std::ios::binary);
        for (int channel = 0; channel < 1 << 20; ++channel)
            out << channel << "\t" << channel % 97 << "\r\n";
        window->setSaveFileChooser([this](QFileDialog&) { return QString::fromStdString(large); });
    }
    QProgressDialog* progress() const { return window->findChild<QProgressDialog*>("dlgOpening"); }
    QAction* open() const { return control<QAction>("miOpenSpectrum"); }

    std::string large;
};

TEST_F(MainWindowOpenLarge, readsInTheBackground_thenShowsTheReference) {
    open()->trigger();
    // The handler has returned before the file is read: the window is free for events.
    EXPECT_FALSE(window->spectrumGraph().hasReference());
    ASSERT_NE(progress(), nullptr);
    EXPECT_TRUE(progress()->isVisible());
    EXPECT_FALSE(open()->isEnabled()) << "a second read while the first runs";

    ASSERT_TRUE(eventually([&] { return window->spectrumGraph().hasReference(); }));
    EXPECT_TRUE(eventually([&] { return progress() == nullptr; }));
    EXPECT_TRUE(open()->isEnabled());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(logLines().filter("Reference " + QString::fromStdString(large)).size(), 1);
}

TEST_F(MainWindowOpenLarge, cancel_dropsTheRead_andOpenIsAvailableAgain) {
    open()->trigger();
    ASSERT_NE(progress(), nullptr);
    QPushButton* cancel = progress()->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return open()->isEnabled(); }));
    EXPECT_EQ(progress(), nullptr);
    EXPECT_FALSE(window->spectrumGraph().hasReference());
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_TRUE(logLines().filter("Reference").isEmpty());
}

} // namespace
