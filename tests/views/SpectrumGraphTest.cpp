#include "views/SpectrumGraph.h"
#include "views/GraphColours.h"
#include "views/RecordingCanvas.h"

#include <gtest/gtest.h>

using namespace tarvio;
using namespace tarvio::graph_colours;
using Kind = CanvasOp::Kind;

namespace {

// The main window's spectrum image: plot area 306 x 258 beside 15-pixel margins. The
// recording canvas measures 6 pixels per character and 13 pixels of height.
constexpr int W = 321, H = 273, Base = 258;

Spectrum emptySpectrum() {
    Spectrum s;
    s.clear();
    return s;
}

Spectrum spectrumWithMax(std::uint32_t max) {
    Spectrum s = emptySpectrum();
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c)
        s.counts[c] = c % 97;
    s.counts[2000] = max;
    s.maxCount = max;
    return s;
}

struct Graph {
    RecordingCanvas canvas{W, H};
    SpectrumGraph graph{canvas};
};

std::vector<int> xsOfVerticalGrid(const RecordingCanvas& canvas) {
    std::vector<int> xs;
    for (const CanvasOp& op : canvas.linesOf(Grid))
        if (op.style == PenStyle::Dotted && op.x1 == op.x2)
            xs.push_back(op.x1);
    return xs;
}

} // namespace

TEST(SpectrumGraph, beforeFirstDraw_holdsFullViewOfEmptySpectrum) {
    Graph g;
    EXPECT_DOUBLE_EQ(g.graph.xScale(), 306.0 / 4096);
    EXPECT_DOUBLE_EQ(g.graph.yScale(), 258.0);
    EXPECT_EQ(g.graph.spectrumMax(), 0u);
    const ScrollInfo info = g.graph.getScrollInfo();
    EXPECT_EQ(info.channelScrollMax, 0u);
    EXPECT_EQ(info.countScrollMax, 0u);

    g.graph.zoomToRect(65, 100, 51, 50);
    EXPECT_EQ(g.graph.firstChannel(), 669u);
    EXPECT_EQ(g.graph.lastChannel(), 1351u);
    g.graph.scrollTo(5000, 5000);
    EXPECT_EQ(g.graph.firstChannel(), 4096u - 682);
    EXPECT_EQ(g.graph.lastChannel(), 4096u);
}

TEST(SpectrumGraph, emptySpectrumFullView_gridOnStandardImageAndNoBars) {
    Graph g;
    g.graph.draw(emptySpectrum());

    EXPECT_EQ(xsOfVerticalGrid(g.canvas), (std::vector<int>{65, 116, 167, 218, 269, 320}));
    for (const char* label : {"682", "1364", "2046", "2728", "3410", "4092"})
        ASSERT_NE(g.canvas.findText(label), nullptr) << label;
    const CanvasOp* last = g.canvas.findText("4092");
    EXPECT_EQ(last->x1, 320 - 2 - 24);
    EXPECT_EQ(last->y1, H - 13);

    // One horizontal grid line, on the base line, labelled 0.
    int horizontal = 0;
    for (const CanvasOp& op : g.canvas.linesOf(Grid))
        if (op.style == PenStyle::Dotted && op.y1 == op.y2) {
            ++horizontal;
            EXPECT_EQ(op.y1, Base);
        }
    EXPECT_EQ(horizontal, 1);
    const CanvasOp* zero = g.canvas.findText("0");
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->y1, Base + 2);

    for (const CanvasOp& bar : g.canvas.linesOf(Green))
        EXPECT_EQ(bar.y1, bar.y2); // zero length: nothing green
    EXPECT_EQ(g.canvas.linesOf(Red).size(), 0u);
}

TEST(SpectrumGraph, bars_runFromCountDownToBaseLine) {
    Graph g;
    Spectrum s = emptySpectrum();
    s.counts[0] = 50;
    s.counts[4095] = 100;
    s.maxCount = 100;
    g.graph.setBarDrawing(BarDrawing::EveryChannel);
    g.graph.draw(s);
    const auto bars = g.canvas.linesOf(Green);
    ASSERT_EQ(bars.size(), 4096u);
    EXPECT_EQ(bars[0].x1, 15);
    EXPECT_EQ(bars[0].y1, 129);
    EXPECT_EQ(bars[0].y2, Base);
    EXPECT_EQ(bars[4095].x1, 320);
    EXPECT_EQ(bars[4095].y1, 0);

    // Drawn per column, the tallest of each column remains.
    g.canvas.clear();
    g.graph.setBarDrawing(BarDrawing::TallestPerColumn);
    g.graph.draw(s);
    const auto columns = g.canvas.linesOf(Green);
    EXPECT_EQ(columns.size(), 306u);
    EXPECT_EQ(columns.front().y1, 129);
    EXPECT_EQ(columns.back().x1, 320);
    EXPECT_EQ(columns.back().y1, 0);
}

TEST(SpectrumGraph, zoomOfWorkedExample_narrowsBothAxes) {
    Graph g;
    g.graph.draw(spectrumWithMax(100));
    g.graph.zoomToRect(65, 100, 51, 50);
    EXPECT_EQ(g.graph.firstChannel(), 669u);
    EXPECT_EQ(g.graph.lastChannel(), 1351u);
    EXPECT_EQ(g.graph.lowCount(), 42u);
    EXPECT_EQ(g.graph.highCount(), 61u);

    const ScrollInfo info = g.graph.getScrollInfo();
    EXPECT_EQ(info.firstChannel, 669u);
    EXPECT_EQ(info.lowCount, 42u);
    EXPECT_EQ(info.channelScrollMax, 4096u - 682);
    EXPECT_EQ(info.countScrollMax, 100u - 19);

    // Counts below the window are skipped, counts above it run off the top.
    g.canvas.clear();
    g.graph.draw(spectrumWithMax(100));
    for (const CanvasOp& bar : g.canvas.linesOf(Green))
        EXPECT_LE(bar.y1, Base);
}

TEST(SpectrumGraph, resetWithAnyMinusOne_restoresFullView) {
    for (int which = 0; which < 4; ++which) {
        Graph g;
        g.graph.draw(spectrumWithMax(100));
        g.graph.zoomToRect(65, 100, 51, 50);
        int args[4] = {10, 10, 10, 10};
        args[which] = -1;
        g.graph.zoomToRect(args[0], args[1], args[2], args[3]);
        EXPECT_EQ(g.graph.firstChannel(), 0u);
        EXPECT_EQ(g.graph.lastChannel(), 4096u);
        EXPECT_EQ(g.graph.lowCount(), 0u);
        EXPECT_EQ(g.graph.highCount(), AutoCount);
    }
}

TEST(SpectrumGraph, emptyZoomAlongOneAxis_keepsThatAxis) {
    Graph g;
    g.graph.draw(spectrumWithMax(100));
    g.graph.zoomToRect(65, 100, 0, 50); // no width
    EXPECT_EQ(g.graph.firstChannel(), 0u);
    EXPECT_EQ(g.graph.lastChannel(), 4096u);
    EXPECT_EQ(g.graph.lowCount(), 42u);

    Graph h;
    h.graph.draw(spectrumWithMax(100));
    h.graph.zoomToRect(65, 100, 51, -5); // negative height is taken as none
    EXPECT_EQ(h.graph.firstChannel(), 669u);
    EXPECT_EQ(h.graph.highCount(), AutoCount);
}

TEST(SpectrumGraph, scroll_keepsWindowSizeAndStopsAtEnds) {
    Graph g;
    g.graph.draw(spectrumWithMax(100));
    g.graph.scrollTo(-1, 10); // automatic count axis: nothing to scroll
    EXPECT_EQ(g.graph.lowCount(), 0u);
    EXPECT_EQ(g.graph.highCount(), AutoCount);

    g.graph.zoomToRect(65, 100, 51, 50); // [669, 1351), [42, 61]
    g.graph.scrollTo(4000, -1);
    EXPECT_EQ(g.graph.firstChannel(), 4096u - 682);
    EXPECT_EQ(g.graph.lastChannel(), 4096u);
    EXPECT_EQ(g.graph.lowCount(), 42u);
    g.graph.scrollTo(100, 5);
    EXPECT_EQ(g.graph.firstChannel(), 100u);
    EXPECT_EQ(g.graph.lastChannel(), 782u);
    EXPECT_EQ(g.graph.lowCount(), 5u);
    EXPECT_EQ(g.graph.highCount(), 24u);
    g.graph.scrollTo(-1, 95); // beyond the top: flush with the largest count
    EXPECT_EQ(g.graph.lowCount(), 81u);
    EXPECT_EQ(g.graph.highCount(), 100u);
}

TEST(SpectrumGraph, zoomedToHundredChannels_channelScrollMax) {
    Graph g;
    g.graph.drawRange(emptySpectrum(), 500, 600, 0, AutoCount);
    EXPECT_EQ(g.graph.getScrollInfo().channelScrollMax, 3996u);
    EXPECT_EQ(g.graph.getScrollInfo().countScrollMax, 0u);
}

TEST(SpectrumGraph, calibratedLabels_inKeVOrChannelsWhenLineUndefined) {
    Graph g;
    g.graph.setCalibration(
        EnergyCalibration::fromLine(*CalibrationLine::fromPoints({100, 59.5}, {200, 122.06})));
    g.graph.setCalibrated(true);
    g.graph.draw(emptySpectrum());
    EXPECT_NE(g.canvas.findText("420.3"), nullptr);
    EXPECT_EQ(g.canvas.findText("682"), nullptr);

    // Points less than a channel apart give no axis: the analysis state hands none.
    g.canvas.clear();
    g.graph.setCalibration(std::nullopt);
    g.graph.draw(emptySpectrum());
    EXPECT_NE(g.canvas.findText("682"), nullptr);
    for (const CanvasOp& t : g.canvas.texts()) {
        EXPECT_EQ(t.text.find("nan"), std::string::npos);
        EXPECT_EQ(t.text.find("inf"), std::string::npos);
    }
}

TEST(SpectrumGraph, windowOneChannelWide_gridLineAtImageEdgeLabelInside) {
    Graph g;
    Spectrum s = emptySpectrum();
    s.counts[100] = 7;
    s.maxCount = 7;
    g.graph.drawRange(s, 100, 101, 0, AutoCount);
    EXPECT_DOUBLE_EQ(g.graph.xScale(), 306.0);
    EXPECT_EQ(xsOfVerticalGrid(g.canvas), (std::vector<int>{W}));
    const CanvasOp* label = g.canvas.findText("101");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x1, W - 2 - 18);
    const auto bars = g.canvas.linesOf(Green);
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].x1, 15);
    EXPECT_EQ(bars[0].y1, 0);
}

TEST(SpectrumGraph, cursor_lineAndCircleInWindowValueAlwaysUpdated) {
    Graph g;
    Spectrum s = spectrumWithMax(100);
    g.graph.setCursorVisible(true);
    g.graph.setCursorChannel(2000);
    g.graph.draw(s);
    EXPECT_EQ(g.graph.cursorValue(), 100u);
    const auto red = g.canvas.linesOf(Red);
    ASSERT_EQ(red.size(), 1u);
    const int xc = 15 + static_cast<int>(2000 * 306.0 / 4096); // 164
    EXPECT_EQ(red[0].x1, xc);
    EXPECT_EQ(red[0].y1, 0);
    EXPECT_EQ(red[0].y2, Base);
    const CanvasOp& circle = g.canvas.ops().back();
    EXPECT_EQ(circle.kind, Kind::Ellipse);
    EXPECT_EQ(circle.colour, Red);
    EXPECT_EQ(circle.x1, xc - 2);
    EXPECT_EQ(circle.y1, -2);
    EXPECT_EQ(circle.x2, xc + 2);
    EXPECT_EQ(circle.y2, 2);

    // Outside the window: nothing drawn, the value still follows the cursor.
    g.canvas.clear();
    g.graph.setCursorChannel(50);
    g.graph.drawRange(s, 100, 200, 0, AutoCount);
    EXPECT_EQ(g.graph.cursorValue(), 50u);
    EXPECT_TRUE(g.canvas.linesOf(Red).empty());
    g.canvas.clear();
    g.graph.setCursorChannel(200);
    g.graph.draw(s);
    EXPECT_EQ(g.graph.cursorValue(), 200u % 97);
    EXPECT_TRUE(g.canvas.linesOf(Red).empty());

    g.graph.setCursorChannel(-5);
    EXPECT_EQ(g.graph.cursorChannel(), 0);
    g.graph.setCursorChannel(5000);
    EXPECT_EQ(g.graph.cursorChannel(), 4095);
}

TEST(SpectrumGraph, countsNearTopOfRange_drawEndsAndStaysBounded) {
    Graph g;
    Spectrum s = emptySpectrum();
    s.counts[10] = 0xFFFFFFFE;
    s.maxCount = 0xFFFFFFFE;
    g.graph.draw(s); // a count step added near the top must not wrap around
    EXPECT_LT(g.canvas.ops().size(), 1000u);
    EXPECT_NE(g.canvas.findText("4294967288"), nullptr); // unsigned, not negative

    g.canvas.clear();
    g.graph.drawRange(s, 0, 4096, 0, 1); // count far above the window
    EXPECT_LT(g.canvas.linesOf(Green).front().y1, -1000000);
}

TEST(SpectrumGraph, windowOutsideChannels_isHeldInside) {
    Graph g;
    g.graph.drawRange(emptySpectrum(), 5000, 9000, 0, AutoCount);
    EXPECT_EQ(g.graph.firstChannel(), 4096u);
    EXPECT_EQ(g.graph.lastChannel(), 4096u);
    g.graph.drawRange(emptySpectrum(), 3000, 2000, 0, AutoCount);
    EXPECT_LE(g.graph.firstChannel(), g.graph.lastChannel());
}
