// Spectrum navigation with the mouse on the spectrum image, the scroll bars and the cursor
// controls. The expected view comes from a second spectrum graph given the rectangle the
// drag should produce.

#include "MainWindowTestSupport.h"

#include "app/ImageView.h"
#include "app/ZoomBand.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>

using namespace tarvio;
using namespace tarvio::test;

namespace {

struct View {
    std::uint32_t first, last, low, high;
    bool operator==(const View&) const = default;
};

std::ostream& operator<<(std::ostream& out, const View& v) {
    return out << "[" << v.first << ", " << v.last << ") x [" << v.low << ", " << v.high << "]";
}

View viewOf(const SpectrumGraph& g) {
    return {g.firstChannel(), g.lastChannel(), g.lowCount(), g.highCount()};
}

class MainWindowNavigation : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        addInterfaces();
        createWindow();
        image = control<ImageView>("imgSpectrum");
        hor = control<QScrollBar>("sbHor");
        ver = control<QScrollBar>("sbVer");
    }

    void send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), image->mapToGlobal(QPointF(at)), button, held,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(image, &event);
    }

    void drag(QPoint from, QPoint to, Qt::MouseButton button = Qt::LeftButton) {
        send(QEvent::MouseButtonPress, from, button, button);
        send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, button);
        send(QEvent::MouseMove, to, Qt::NoButton, button);
        send(QEvent::MouseButtonRelease, to, button, Qt::NoButton);
    }

    // The view the window's graph must show after a drag that ends as zoomToRect(r).
    View expectedAfter(BandRect r) {
        reference.zoomToRect(r.left, r.top, r.width, r.height);
        return viewOf(reference);
    }

    View shown() { return viewOf(window->spectrumGraph()); }

    virtual void addInterfaces() {}

    ImageView* image = nullptr;
    QScrollBar* hor = nullptr;
    QScrollBar* ver = nullptr;
    RecordingCanvas referenceCanvas{321, 273};
    SpectrumGraph reference{referenceCanvas};
};

TEST_F(MainWindowNavigation, dragUpAndLeft_bandShownWhileDraggingThenNormalisedZoom) {
    send(QEvent::MouseButtonPress, {100, 50}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {40, 20}, Qt::NoButton, Qt::LeftButton);
    auto* band = control<QWidget>("shpZoom");
    EXPECT_FALSE(band->isHidden());
    EXPECT_EQ(band->geometry(), QRect(40, 20, 61, 31));
    send(QEvent::MouseButtonRelease, {40, 20}, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(band->isHidden());
    EXPECT_EQ(shown(), expectedAfter({40, 20, 60, 30}));

    // Zoomed in on the channels: the horizontal bar appears with the window's place and a
    // step of a tenth of the image's width in pixels.
    const ScrollInfo info = window->spectrumGraph().getScrollInfo();
    ASSERT_GT(info.channelScrollMax, 0u);
    EXPECT_FALSE(hor->isHidden());
    EXPECT_EQ(hor->maximum(), static_cast<int>(info.channelScrollMax));
    EXPECT_EQ(hor->value(), static_cast<int>(info.firstChannel));
    EXPECT_EQ(hor->singleStep(), static_cast<int>(info.channelScrollMax / 32));
    EXPECT_EQ(hor->pageStep(), hor->singleStep());
}

TEST_F(MainWindowNavigation, narrowDrag_scrollBarOverTheChannelsOutsideTheWindow) {
    // Eight pixels of the full view from the left axis: channels [0, 107).
    drag({15, 50}, {23, 100});
    ASSERT_EQ(shown().first, 0u);
    ASSERT_EQ(shown().last, 107u);
    EXPECT_EQ(hor->minimum(), 0);
    EXPECT_EQ(hor->maximum(), 4096 - 107);
    EXPECT_EQ(hor->singleStep(), 124); // 3989 / (321 / 10)
    EXPECT_EQ(hor->pageStep(), 124);
    EXPECT_EQ(hor->value(), 0);
}

TEST_F(MainWindowNavigation, dragsLeavingTheImage_clampedToItsEdges) {
    drag({20, 100}, {-10, 80});
    EXPECT_EQ(shown(), expectedAfter({0, 80, 30, 20}));

    send(QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
    reference.zoomToRect(-1, -1, -1, -1);
    drag({300, 10}, {400, 300});
    EXPECT_EQ(shown(), expectedAfter({300, 10, 21, 263}));
}

TEST_F(MainWindowNavigation, clickWithoutDragAndMiddleDrag_leaveTheView) {
    const View full = shown();
    drag({100, 100}, {100, 100});
    EXPECT_EQ(shown(), full);
    EXPECT_TRUE(hor->isHidden());
    EXPECT_TRUE(ver->isHidden());
    // A middle-button drag starts a band but only the left button resizes it.
    drag({50, 50}, {150, 150}, Qt::MiddleButton);
    EXPECT_EQ(shown(), full);
    EXPECT_TRUE(control<QWidget>("shpZoom")->isHidden());
}

TEST_F(MainWindowNavigation, rightClick_resetsTheViewAndHidesBothBars) {
    drag({100, 50}, {40, 20});
    ASSERT_FALSE(hor->isHidden());
    send(QEvent::MouseButtonPress, {10, 10}, Qt::RightButton, Qt::RightButton);
    send(QEvent::MouseButtonRelease, {10, 10}, Qt::RightButton, Qt::NoButton);
    EXPECT_EQ(shown(), (View{0, 4096, 0, AutoCount}));
    EXPECT_TRUE(hor->isHidden());
    EXPECT_TRUE(ver->isHidden());
}

TEST_F(MainWindowNavigation, horizontalBar_scrollsTheChannelWindowKeepingItsWidth) {
    drag({100, 50}, {40, 20});
    const View zoomed = shown();
    const std::uint32_t width = zoomed.last - zoomed.first;
    hor->setValue(500);
    EXPECT_EQ(shown(), (View{500, 500 + width, zoomed.low, zoomed.high}));
    hor->setValue(hor->maximum());
    EXPECT_EQ(shown().last, 4096u);
    EXPECT_EQ(shown().last - shown().first, width);
}

TEST_F(MainWindowNavigation, cursorButtons_stepWithinTheChannelsAndMoveTheTrackBar) {
    auto* track = control<QSlider>("tbCursor");
    auto* left = control<QToolButton>("sbCurLeft");
    auto* right = control<QToolButton>("sbCurRight");
    QTest::mouseClick(left, Qt::LeftButton);
    EXPECT_EQ(window->spectrumGraph().cursorChannel(), 0);
    EXPECT_EQ(track->value(), 0);

    track->setValue(10);
    EXPECT_EQ(window->spectrumGraph().cursorChannel(), 10);
    QTest::mouseClick(right, Qt::LeftButton);
    EXPECT_EQ(window->spectrumGraph().cursorChannel(), 11);
    EXPECT_EQ(track->value(), 11);

    track->setValue(4095);
    QTest::mouseClick(right, Qt::LeftButton);
    EXPECT_EQ(window->spectrumGraph().cursorChannel(), 4095);
    EXPECT_EQ(track->value(), 4095);

    QTest::mouseClick(control<QCheckBox>("chbCursor"), Qt::LeftButton);
    EXPECT_TRUE(window->spectrumGraph().cursorVisible());
    QTest::mouseClick(control<QCheckBox>("chbCursor"), Qt::LeftButton);
    EXPECT_FALSE(window->spectrumGraph().cursorVisible());
}

class MainWindowNavigationMeasured : public MainWindowNavigation {
protected:
    void addInterfaces() override { sim = addSimulator(); }
    std::shared_ptr<SimulatedInterface> sim;
};

TEST_F(MainWindowNavigationMeasured, zoomIntoCounts_verticalBarRunsFromTheHighestCount) {
    QTest::mouseClick(control<QCheckBox>("chbBiasOn"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>("btnStart"), Qt::LeftButton);
    ASSERT_TRUE(eventually([&] {
        PulseBuffer p;
        Spectrum s;
        window->controller().Snapshot(p, s);
        return s.maxCount >= 40;
    }));
    QTest::mouseClick(control<QPushButton>("btnStop"), Qt::LeftButton);
    QTest::qWait(100);
    PulseBuffer pulse;
    Spectrum spectrum;
    window->controller().Snapshot(pulse, spectrum);
    window->tmrGraphsTimer();
    reference.draw(spectrum);

    // The lower half of the count axis, all channels.
    drag({15, 130}, {321, 258});
    EXPECT_EQ(shown(), expectedAfter({15, 130, 306, 128}));
    const ScrollInfo info = window->spectrumGraph().getScrollInfo();
    ASSERT_GT(info.countScrollMax, 0u);
    EXPECT_FALSE(ver->isHidden());
    EXPECT_EQ(ver->maximum(), static_cast<int>(info.countScrollMax));
    EXPECT_EQ(ver->value(), static_cast<int>(info.countScrollMax - info.lowCount));

    // The bar's top shows the highest counts.
    const View before = shown();
    ver->setValue(0);
    EXPECT_EQ(shown().high, spectrum.maxCount);
    EXPECT_EQ(shown().high - shown().low, before.high - before.low);
    EXPECT_EQ(shown().first, before.first);
}

} // namespace
