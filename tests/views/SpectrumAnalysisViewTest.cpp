// The spectrum graph's logarithmic count axis, region bands and polynomial energy axis, on
// the recording canvas of the window's image size.

#include "views/GraphColours.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace tarvio;
using namespace tarvio::graph_colours;
using Kind = CanvasOp::Kind;

namespace {

constexpr int W = 321, H = 273, Base = 258, PlotHeight = 258;

struct Graph {
    RecordingCanvas canvas{W, H};
    SpectrumGraph graph{canvas};
};

// The green bar drawn in a column, if any.
const CanvasOp* barAt(const RecordingCanvas& canvas, int x) {
    for (const CanvasOp& op : canvas.ops())
        if (op.kind == Kind::LineTo && op.colour == Green && op.x1 == x && op.x2 == x)
            return &op;
    return nullptr;
}

} // namespace

TEST(SpectrumGraphLog, fullView_decadesLabelledZeroOnBaseLineSingleCountVisible) {
    Graph g;
    Spectrum s;
    s.counts[0] = 0;
    s.counts[1000] = 1;
    s.counts[2000] = 100000;
    s.maxCount = 100000;
    g.graph.setLogScale(true);
    g.graph.draw(s);

    // Half a count at the base line, 10^5 at the top: 5.3 decades over 258 rows.
    const double perDecade = PlotHeight / std::log10(100000 / 0.5);
    for (int k = 0; k <= 5; ++k) {
        const std::string text = std::to_string(static_cast<long>(std::pow(10, k)));
        const CanvasOp* label = g.canvas.findText(text);
        ASSERT_NE(label, nullptr) << text;
        const int row = static_cast<int>(Base - std::log10(std::pow(10, k) / 0.5) * perDecade);
        EXPECT_EQ(label->y1, row + 2) << text;
    }
    EXPECT_EQ(g.canvas.findText("0"), nullptr);
    // Minor ticks at 2..9 x 10^k, solid, on the left axis: 8 per full decade below 10^5.
    int ticks = 0;
    for (const CanvasOp& op : g.canvas.linesOf(Grid))
        ticks += op.style == PenStyle::Solid && op.x1 == 15 && op.x2 == 19;
    EXPECT_EQ(ticks, 5 * 8);

    // Channels 0 to 13 share the first column, all empty: a bar of no length on the base line.
    const CanvasOp* zero = barAt(g.canvas, 15);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->y1, Base);
    EXPECT_EQ(zero->y2, Base);
    const CanvasOp* one = barAt(g.canvas, 15 + static_cast<int>(1000 * 306.0 / 4096));
    ASSERT_NE(one, nullptr);
    EXPECT_EQ(one->y1, static_cast<int>(Base - std::log10(2.0) * perDecade));
    EXPECT_EQ(one->y2, Base);
    const CanvasOp* top = barAt(g.canvas, 15 + static_cast<int>(2000 * 306.0 / 4096));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->y1, 0);
}

TEST(SpectrumGraphLog, emptySpectrumAndNarrowWindow_stillLabelTheAxis) {
    Graph g;
    g.graph.setLogScale(true);
    g.graph.draw(Spectrum{});
    // One decade at least: 1 and 10 over an empty spectrum.
    EXPECT_NE(g.canvas.findText("1"), nullptr);
    EXPECT_NE(g.canvas.findText("10"), nullptr);

    // A fixed window with no power of ten inside labels its bottom count at the base line.
    g.canvas.clear();
    Spectrum s;
    s.counts[5] = 1500;
    s.maxCount = 1500;
    g.graph.drawRange(s, 0, 4096, 1100, 1900);
    const CanvasOp* bottom = g.canvas.findText("1100");
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(bottom->y1, Base + 2);
}

TEST(SpectrumGraphLog, zoom_mapsRowsBackToCountsAndKeepsZeroAtTheBase) {
    Graph g;
    Spectrum s;
    s.counts[2000] = 100000;
    s.maxCount = 100000;
    g.graph.setLogScale(true);
    g.graph.draw(s);
    const double perDecade = PlotHeight / std::log10(100000 / 0.5);
    // From the row of 10 up to the row of 1000.
    const int row10 = static_cast<int>(std::lround(Base - std::log10(20.0) * perDecade));
    const int row1000 = static_cast<int>(std::lround(Base - std::log10(2000.0) * perDecade));
    g.graph.zoomToRect(100, row1000, 50, row10 - row1000);
    EXPECT_NEAR(g.graph.lowCount(), 10.0, 1.0);
    EXPECT_NEAR(g.graph.highCount(), 1000.0, 30.0);

    // A rectangle reaching the base line keeps the empty channels.
    g.graph.zoomToRect(-1, -1, -1, -1);
    g.graph.draw(s);
    g.graph.zoomToRect(100, 50, 50, Base - 50);
    EXPECT_EQ(g.graph.lowCount(), 0u);
}

TEST(SpectrumGraphRegions, bandsBehindBarsAndBackgroundLineOverThem) {
    Graph g;
    Spectrum s;
    for (std::uint32_t c = 1000; c < 1100; ++c)
        s.counts[c] = 50;
    s.maxCount = 100;
    RegionBand band{1000, 1099, regionBandColour(0), 20.0, 40.0, false, {}};
    g.graph.setRegionBands({band});
    g.graph.drawRange(s, 900, 1200, 0, 100);

    // 306 pixels for 300 channels: channel c at column 15 + (c - 900) * 1.02.
    const auto column = [](double c) { return static_cast<int>(15 + (c - 900) * 306.0 / 300); };
    const auto fills =
        std::count_if(g.canvas.ops().begin(), g.canvas.ops().end(), [&](const CanvasOp& op) {
            return op.kind == Kind::FillRect && op.colour == regionBandColour(0);
        });
    EXPECT_EQ(fills, 1);
    const auto band0 =
        std::find_if(g.canvas.ops().begin(), g.canvas.ops().end(), [&](const CanvasOp& op) {
            return op.kind == Kind::FillRect && op.colour == regionBandColour(0);
        });
    EXPECT_EQ(band0->x1, column(1000));
    EXPECT_EQ(band0->x2, column(1100));
    EXPECT_EQ(band0->y2, Base);
    // The band comes before the first bar, the background line after the last.
    const auto firstBar = std::find_if(g.canvas.ops().begin(), g.canvas.ops().end(),
                                       [](const CanvasOp& op) { return op.colour == Green; });
    EXPECT_LT(band0, firstBar);
    const auto lines = g.canvas.lines();
    const CanvasOp& last = lines.back();
    // 40 counts of 100 at the region's last channel: row 258 - 40 * 2.58.
    EXPECT_EQ(last.y1, static_cast<int>(Base - 40 * 2.58));
    EXPECT_EQ(last.x1, column(1099));

    // A fitted peak's curve follows its model over the bars, its top over the peak.
    RegionBand fitted = band;
    for (std::uint32_t c = 1000; c <= 1099; ++c)
        fitted.fitCounts.push_back(30.0 + 60.0 * std::exp(-0.5 * std::pow((c - 1050.0) / 4.0, 2)));
    g.canvas.clear();
    g.graph.setRegionBands({fitted});
    g.graph.drawRange(s, 900, 1200, 0, 100);
    int top = Base;
    int topColumn = 0;
    for (const CanvasOp& op : g.canvas.lines())
        if (op.colour == Rgb{255, 200, 0} && op.y2 < top) {
            top = op.y2;
            topColumn = op.x2;
        }
    EXPECT_EQ(top, static_cast<int>(Base - 90 * 2.58));
    EXPECT_EQ(topColumn, column(1050.5));
    g.graph.setRegionBands({band});

    // Out of the window: nothing of the band.
    g.canvas.clear();
    g.graph.drawRange(s, 2000, 3000, 0, 100);
    for (const CanvasOp& op : g.canvas.ops())
        EXPECT_FALSE(op.kind == Kind::FillRect && op.colour == regionBandColour(0));
}

TEST(SpectrumGraphCalibration, labelsTheAxisItIsGiven_lineOrPolynomial) {
    Graph g;
    g.graph.setCalibration(EnergyCalibration{{-2.5, 0.62, 0.0}});
    g.graph.setCalibrated(true);
    g.graph.draw(Spectrum{});
    EXPECT_NE(g.canvas.findText("420.3"), nullptr); // the line: 0.62 x 682 - 2.5

    g.canvas.clear();
    g.graph.setCalibration(EnergyCalibration{{-20.0, 0.2, 1e-5}});
    g.graph.draw(Spectrum{});
    EXPECT_NE(g.canvas.findText("121.1"), nullptr); // -20 + 0.2 x 682 + 1e-5 x 682^2
    EXPECT_EQ(g.graph.calibration()->coefficients[2], 1e-5);
}
