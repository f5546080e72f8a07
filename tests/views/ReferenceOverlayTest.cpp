// A reference spectrum scaled to the live one, drawn over it or taken off it.
#include "views/ReferenceOverlay.h"
#include "views/GraphColours.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <gtest/gtest.h>

namespace tarvio {
namespace {

using graph_colours::Green;
using graph_colours::Reference;

TEST(ReferenceOverlay, scaleFollowsLiveTime_elseCounts_elseShowsTheFileAsItIs) {
    struct Case {
        std::optional<double> referenceLive;
        std::optional<double> live;
        std::uint64_t liveTotal;
        double factor;
        ScaleBasis basis;
    };
    // The reference holds 40 counts.
    const Case cases[] = {
        {600.0, 150.0, 7, 0.25, ScaleBasis::LiveTime},
        {600.0, std::nullopt, 10, 0.25, ScaleBasis::Counts},
        {std::nullopt, 150.0, 80, 2.0, ScaleBasis::Counts},
        {0.0, 150.0, 20, 0.5, ScaleBasis::Counts},
        {600.0, 0.0, 0, 1.0, ScaleBasis::None},
        {std::nullopt, std::nullopt, 0, 1.0, ScaleBasis::None},
    };
    for (const Case& c : cases) {
        const ReferenceSpectrum reference{{10, 0, 30}, c.referenceLive};
        const ReferenceScale scale = referenceScale(reference, c.live, c.liveTotal);
        EXPECT_DOUBLE_EQ(scale.factor, c.factor);
        EXPECT_EQ(scale.basis, c.basis);
    }
    const ReferenceSpectrum empty{{0, 0}, std::nullopt};
    EXPECT_EQ(referenceScale(empty, std::nullopt, 5).basis, ScaleBasis::None);
}

TEST(ReferenceOverlay, subtractionRoundsAndClipsAtZero_overTheLiveChannelsOnly) {
    ReferenceSpectrum longer;
    longer.counts.assign(SpectrumChannels + 10, 2);
    longer.counts[0] = 10;
    const std::vector<double> scaled = scaledReference(longer, 0.75);
    ASSERT_EQ(scaled.size(), SpectrumChannels);
    EXPECT_DOUBLE_EQ(scaled[0], 7.5);
    EXPECT_DOUBLE_EQ(scaled[1], 1.5);
    EXPECT_EQ(scaledReference(ReferenceSpectrum{{4}, {}}, 2.0)[1], 0.0);

    Spectrum shown;
    shown.clear();
    shown.counts[0] = 5;   // 5 - 7.5 clips to 0
    shown.counts[1] = 9;   // 9 - 1.5 = 7.5 rounds to 8
    shown.counts[2] = 100; // 98.5 rounds to 99
    shown.maxCount = 100;
    subtractReference(shown, scaled);
    EXPECT_EQ(shown.counts[0], 0u);
    EXPECT_EQ(shown.counts[1], 8u);
    EXPECT_EQ(shown.counts[2], 99u);
    EXPECT_EQ(shown.counts[3], 0u);
    EXPECT_EQ(shown.maxCount, 99u);
}

struct Graph {
    RecordingCanvas canvas{321, 273};
    SpectrumGraph graph{canvas};
};

TEST(ReferenceOverlay, graphDrawsTheReferenceOverTheBars_orTheNetBarsWhenSubtracting) {
    Spectrum live;
    live.clear();
    live.counts[100] = 40;
    live.maxCount = 40;
    std::vector<double> reference(SpectrumChannels, 0.0);
    reference[100] = 10.0;
    reference[3000] = 80.4; // above the live spectrum: the automatic axis reaches it

    Graph g;
    g.graph.setCursorChannel(100);
    g.graph.setReference(reference, false);
    g.graph.draw(live);
    EXPECT_TRUE(g.graph.hasReference());
    EXPECT_EQ(g.graph.spectrumMax(), 81u);
    EXPECT_EQ(g.graph.cursorValue(), 40u);
    const auto line = g.canvas.linesOf(Reference);
    ASSERT_FALSE(line.empty());
    int top = 273;
    for (const CanvasOp& op : line)
        top = std::min({top, op.y1, op.y2});
    EXPECT_LE(top, 1); // the reference's peak is the top of the axis

    g.canvas.clear();
    g.graph.setReference(reference, true);
    g.graph.draw(live);
    EXPECT_TRUE(g.canvas.linesOf(Reference).empty());
    EXPECT_EQ(g.graph.cursorValue(), 30u);
    EXPECT_EQ(g.graph.spectrumMax(), 30u);
    EXPECT_EQ(live.counts[100], 40u); // the live record is the caller's, untouched
    // The subtracted view says what it shows.
    EXPECT_NE(g.canvas.findText("difference: live - reference"), nullptr);

    g.canvas.clear();
    g.graph.setReference({}, false);
    g.graph.draw(live);
    EXPECT_EQ(g.canvas.findText("difference: live - reference"), nullptr);
    EXPECT_FALSE(g.graph.hasReference());
    EXPECT_TRUE(g.canvas.linesOf(Reference).empty());
    EXPECT_EQ(g.graph.spectrumMax(), 40u);
}

} // namespace
} // namespace tarvio
