// The main window on a screen of double density (Qt's scale factor 2): the layout is the
// same in the window's pixels, the graphs are drawn with twice the pixels each way and
// labels of twice the size, and the mouse still zooms to the channels under it.

#include "MainWindowTestSupport.h"
#include "QtTestApplication.h"

#include "app/ImageView.h"
#include "app/ZoomBand.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"
#include "views/qt/QtCanvas.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>

using namespace tarvio;
using namespace tarvio::test;

namespace {

// This binary's one QApplication, made with the scale factor set.
[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(
    new QtTestApplication([] { qputenv("QT_SCALE_FACTOR", "2"); }));

using DoubleDensity = MainWindowTest;

TEST_F(DoubleDensity, graphImages_twiceThePixelsEachWayOfTheSameLayout) {
    addSimulator();
    createWindow();
    ASSERT_DOUBLE_EQ(window->devicePixelRatioF(), 2.0);
    EXPECT_EQ(control<QWidget>("client")->size(), QSize(809, 384));
    for (auto [name, size] :
         {std::pair{"imgPulse", QSize(225, 200)}, std::pair{"imgSpectrum", QSize(321, 273)}}) {
        auto* image = control<ImageView>(name);
        EXPECT_EQ(image->size(), size) << name;
        EXPECT_EQ(image->image().size(), 2 * size) << name;
    }

    // Drawn at that density: margins and labels twice the size, the bars in 612 columns.
    control<QCheckBox>("chbBiasOn")->setChecked(true);
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] {
        window->tmrGraphsTimer();
        return window->spectrumGraph().spectrumMax() >= 5;
    }));
    const SpectrumGraph& graph = window->spectrumGraph();
    EXPECT_EQ(graph.leftMargin(), 30u);
    EXPECT_EQ(graph.bottomMargin(), 30u);
    EXPECT_DOUBLE_EQ(graph.xScale(), 612.0 / SpectrumChannels);
    QtCanvas standard(10, 10);
    const TextSize single = standard.textExtent("4092");
    const TextSize doubled = control<ImageView>("imgSpectrum")->canvas().textExtent("4092");
    EXPECT_NEAR(doubled.height, 2 * single.height, 2);
    EXPECT_NEAR(doubled.width, 2 * single.width, 3);

    // Larger still: the images follow at twice the pixels.
    window->resize(1200, 700);
    ASSERT_TRUE(eventually([&] { return window->size() == QSize(1200, 700); }));
    auto* spectrum = control<ImageView>("imgSpectrum");
    EXPECT_EQ(spectrum->image().size(), 2 * spectrum->size());
}

TEST_F(DoubleDensity, drag_zoomsToTheChannelsItDoesAtStandardDensity) {
    createWindow();
    auto* image = control<ImageView>("imgSpectrum");
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), image->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(image, &event);
    };
    send(QEvent::MouseButtonPress, {100, 50}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {40, 20}, Qt::NoButton, Qt::LeftButton);
    // The band is drawn where the pointer went, in the window's pixels.
    auto* band = control<QWidget>("shpZoom");
    EXPECT_EQ(band->geometry(), QRect(40, 20, 61, 31));
    send(QEvent::MouseButtonRelease, {40, 20}, Qt::LeftButton, Qt::NoButton);

    RecordingCanvas standardCanvas(321, 273);
    SpectrumGraph standard(standardCanvas);
    standard.zoomToRect(40, 20, 60, 30);
    const SpectrumGraph& shown = window->spectrumGraph();
    EXPECT_EQ(shown.firstChannel(), standard.firstChannel());
    EXPECT_EQ(shown.lastChannel(), standard.lastChannel());
}

} // namespace
