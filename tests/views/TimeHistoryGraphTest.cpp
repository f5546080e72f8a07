// The waterfall: each row of the history in its band, a channel where the zoom puts it, the
// largest count in the brightest colour and none left black, and the rate line beside it.
#include "views/TimeHistoryGraph.h"
#include "views/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarvio {
namespace {

struct Filled {
    int left, top, right, bottom;
    Rgb colour;
};

std::vector<Filled> fills(const RecordingCanvas& canvas) {
    std::vector<Filled> out;
    for (const CanvasOp& op : canvas.ops()) {
        if (op.kind == CanvasOp::Kind::FillRect && !(op.colour == Rgb{0, 0, 0}))
            out.push_back({op.x1, op.y1, op.x2, op.y2, op.colour});
    }
    return out;
}

TEST(TimeHistoryGraph, hotChannel_isDrawnWhereTheZoomPutsItInEachRowsBand) {
    constexpr std::uint32_t Channels = 4096;
    std::vector<std::uint32_t> counts(4 * Channels, 0);
    counts[0 * Channels + 100] = 1000; // brightest
    counts[2 * Channels + 100] = 1;    // dim
    WaterfallRows rows{4, 2.0, Channels, counts.data(), {10.0, 0.0, 5.0, 20.0}};

    const struct { std::uint32_t first, last; } zooms[] = {{0, 4095}, {90, 109}, {100, 100}};
    for (const auto& zoom : zooms) {
        SCOPED_TRACE(std::to_string(zoom.first) + ".." + std::to_string(zoom.last));
        RecordingCanvas canvas(800, 400);
        TimeHistoryGraph graph(canvas);
        graph.draw(rows, zoom.first, zoom.last);
        const auto cells = fills(canvas);
        ASSERT_EQ(cells.size(), 2u);
        const double perChannel = static_cast<double>(graph.plotRight() - graph.plotLeft()) /
                                  (zoom.last - zoom.first + 1);
        const double x = graph.plotLeft() + (100 - zoom.first) * perChannel;
        for (const Filled& cell : cells) {
            EXPECT_LE(cell.left, x + 1);
            EXPECT_GE(cell.right, x);
            EXPECT_LE(cell.right - cell.left, std::max(2.0, perChannel + 1));
        }
        EXPECT_EQ(cells[0].top, graph.rowTop(0));
        EXPECT_EQ(cells[0].bottom, graph.rowTop(1));
        EXPECT_EQ(cells[1].top, graph.rowTop(2));
        EXPECT_EQ(cells[0].colour, waterfallColour(1000, 1000));
        EXPECT_NE(cells[1].colour, cells[0].colour);
        // The rate line: one point per row, the fastest row furthest right.
        const auto lines = canvas.linesOf(Rgb{0, 255, 0});
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_GT(lines[2].x2, lines[0].x2);
        EXPECT_GT(lines[2].y2, lines[1].y2);
    }
}

TEST(TimeHistoryGraph, colours_growBrighterWithCountsOnALogScale) {
    EXPECT_EQ(waterfallColour(0, 1000), (Rgb{0, 0, 0}));
    auto brightness = [](Rgb c) { return c.r + c.g + c.b; };
    int previous = 0;
    for (const std::uint32_t count : {1u, 10u, 100u, 1000u}) {
        const int now = brightness(waterfallColour(count, 1000));
        EXPECT_GT(now, previous) << count;
        previous = now;
    }
}

} // namespace
} // namespace tarvio
