// The main window made larger: the graphs and the log take the room, the control groups keep
// their size and their places beside their neighbours, the graphs are drawn at their new size
// at once, and zooming works in the larger picture.

#include "MainWindowTestSupport.h"

#include "app/ImageView.h"
#include "views/SpectrumGraph.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>

#include <map>

using namespace tarvio;
using namespace tarvio::test;

namespace {

struct Placement {
    QWidget* widget;
    QRect geometry;
};

class MainWindowResizing : public MainWindowTest {
protected:
    // Every named control below the menu, by name.
    std::map<QString, Placement> placements() {
        std::map<QString, Placement> result;
        for (QWidget* w : control<QWidget>("client")->findChildren<QWidget*>())
            if (!w->objectName().isEmpty() && !w->objectName().startsWith("qt_"))
                result[w->objectName()] = {w, w->geometry()};
        return result;
    }

    void resizeClient(QSize size) {
        auto* client = control<QWidget>("client");
        window->resize(window->size() + size - client->size());
        ASSERT_TRUE(eventually([&] { return client->size() == size; }));
    }

    // Measures on the simulated source until the spectrum shows, then stops.
    void measureAndStop() {
        control<QCheckBox>("chbBiasOn")->setChecked(true);
        QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
        ASSERT_TRUE(eventually([&] {
            window->tmrGraphsTimer();
            return window->spectrumGraph().spectrumMax() >= 20;
        }));
        QTest::mouseClick(control<QPushButton>("btnStop"), Qt::LeftButton);
    }
};

bool anyPixelOf(const QImage& image, QRgb colour, QRect area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if ((image.pixel(x, y) | 0xFF000000u) == (colour | 0xFF000000u))
                return true;
    return false;
}

TEST_F(MainWindowResizing, to1600x900_graphsAndLogGrowGroupsKeepSizeNothingOverlaps) {
    addSimulator();
    createWindow();
    const QSize defaultClient = control<QWidget>("client")->size();
    const std::map<QString, Placement> before = placements();

    resizeClient({1600, 900 - (window->height() - defaultClient.height())});
    const std::map<QString, Placement> after = placements();
    auto grown = [&](const char* name) {
        return after.at(name).geometry.size() - before.at(name).geometry.size();
    };

    // The graphs take the extra width, the spectrum the larger share, and both the height.
    const QSize pulse = grown("imgPulse");
    const QSize spectrum = grown("imgSpectrum");
    const int extraWidth = 1600 - defaultClient.width();
    EXPECT_EQ(pulse.width() + spectrum.width(), extraWidth);
    EXPECT_GT(spectrum.width(), pulse.width());
    EXPECT_GT(pulse.width(), 0);
    EXPECT_EQ(pulse.height(), spectrum.height());
    EXPECT_GT(pulse.height(), 0);
    EXPECT_EQ(grown("memLog"), QSize(0, pulse.height()));
    for (const char* name : {"imgPulse", "imgSpectrum"}) {
        auto* image = control<ImageView>(name);
        EXPECT_EQ(image->image().size(), image->size()) << name;
    }

    // The control groups and every control in them keep their size.
    for (const char* name :
         {"GroupBox1", "GroupBox4", "GroupBox5", "GroupBox6", "chbCursor", "chbCalibrated",
          "btnCalibrate", "sbCurLeft", "sbCurRight", "chbInverted", "chbAutoScale"})
        EXPECT_EQ(grown(name), QSize(0, 0)) << name;
    for (const auto& [name, placed] : before) {
        const QWidget* parent = placed.widget->parentWidget();
        if (parent->objectName().startsWith("GroupBox") && parent->objectName() != "GroupBox2" &&
            parent->objectName() != "GroupBox3") {
            EXPECT_EQ(after.at(name).geometry, placed.geometry) << name.toStdString();
        }
    }

    // Every control lies within its parent, and controls apart at the default size are
    // still apart (the scroll bars lie over the spectrum group by design).
    for (const auto& [name, a] : after) {
        EXPECT_TRUE(a.widget->parentWidget()->rect().contains(a.geometry)) << name.toStdString();
        for (const auto& [other, b] : after) {
            if (name >= other || a.widget->parentWidget() != b.widget->parentWidget())
                continue;
            if (!before.at(name).geometry.intersects(before.at(other).geometry)) {
                EXPECT_FALSE(a.geometry.intersects(b.geometry))
                    << name.toStdString() << " over " << other.toStdString();
            }
        }
    }

    // Back at the default size, the default layout to the pixel.
    resizeClient(defaultClient);
    for (const auto& [name, placed] : placements())
        EXPECT_EQ(placed.geometry, before.at(name).geometry) << name.toStdString();
}

TEST_F(MainWindowResizing, afterStop_resizedGraphsRedrawnAtTheirSizeAndZoomUsesTheNewFrame) {
    addSimulator();
    createWindow();
    measureAndStop();
    const SpectrumGraph& graph = window->spectrumGraph();
    const std::uint32_t counts = graph.spectrumMax();

    resizeClient({1400, 700});
    // Drawn again at once from the same records, though the refresh no longer runs.
    auto* spectrumImage = control<ImageView>("imgSpectrum");
    const QImage& image = spectrumImage->image();
    ASSERT_EQ(image.size(), spectrumImage->size());
    ASSERT_GT(image.width(), 2 * 321);
    EXPECT_EQ(graph.spectrumMax(), counts);
    EXPECT_DOUBLE_EQ(graph.xScale(), (image.width() - 15.0) / SpectrumChannels);
    // The bars, and the grid across the whole new width.
    EXPECT_TRUE(anyPixelOf(image, qRgb(0, 255, 0), image.rect()));
    EXPECT_TRUE(
        anyPixelOf(image, qRgb(64, 64, 64), QRect(321, 0, image.width() - 321, image.height())));
    const QImage& pulseImage = control<ImageView>("imgPulse")->image();
    EXPECT_TRUE(anyPixelOf(pulseImage, qRgb(255, 0, 0),
                           QRect(225, 0, pulseImage.width() - 225, pulseImage.height())));

    // A drag over the middle half of the plot zooms to the middle half of the channels.
    const int plotWidth = image.width() - 15;
    const QPoint from(15 + plotWidth / 4, 10);
    const QPoint to(15 + 3 * plotWidth / 4, image.height() - 30);
    auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), spectrumImage->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(spectrumImage, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    EXPECT_NEAR(graph.firstChannel(), 1024, 2);
    EXPECT_NEAR(graph.lastChannel(), 3072, 2);
    // The scroll bar steps through a tenth of the channels per tenth of the image's width.
    auto* hor = control<QScrollBar>("sbHor");
    EXPECT_TRUE(hor->isVisible());
    EXPECT_EQ(hor->singleStep(), static_cast<int>(2048 / (spectrumImage->width() / 10)));
}

TEST_F(MainWindowResizing, window_canBeMaximisedAndNotMadeSmallerThanItsLayout) {
    createWindow();
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    const QSize defaultSize = window->size();
    EXPECT_EQ(window->minimumSize(), defaultSize);
    window->showMaximized();
    ASSERT_TRUE(eventually([&] { return window->isMaximized(); }));
    auto* image = control<ImageView>("imgSpectrum");
    EXPECT_EQ(image->image().size(), image->size());
}

} // namespace
