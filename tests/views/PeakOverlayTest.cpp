// The peak overlay on the spectrum graph: each marker labelled above its peak's bar, fit
// curves in the frame of the bars, a nuclide's lines across the plot; nothing outside the
// channel window.
#include "views/PeakOverlay.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarvio {
namespace {

const CanvasOp* textOp(const RecordingCanvas& canvas, const std::string& text) {
    for (const CanvasOp& op : canvas.ops())
        if (op.kind == CanvasOp::Kind::TextOut && op.text == text)
            return &op;
    return nullptr;
}

TEST(PeakOverlay, markersCurvesAndLines_drawnInTheGraphsFrameAndWindow) {
    Spectrum spectrum;
    spectrum.clear();
    for (std::uint32_t c = 390; c <= 402; ++c)
        for (int k = 0; k < 100 - 6 * std::abs(static_cast<int>(c) - 396); ++k)
            spectrum.addCount(c);
    RecordingCanvas canvas(1024, 400);
    SpectrumGraph graph(canvas);
    PeakOverlay overlay;
    overlay.peaks = {{396.0, "59.54 keV Am-241"}, {3000.0, "out of the window"}};
    overlay.fits = {{385, std::vector<double>(20, 5.0)}};
    overlay.lines = {{396.0, "Am-241 59.5"}};
    graph.setPeakOverlay(overlay);
    graph.drawRange(spectrum, 300, 500, 0, AutoCount);

    const CanvasOp* label = textOp(canvas, "59.54 keV Am-241");
    ASSERT_NE(label, nullptr);
    // Above the peak's bar: the tallest bar reaches the top of an automatic axis.
    const int base = canvas.height() - static_cast<int>(graph.bottomMargin());
    EXPECT_LT(label->y1, base);
    const double x = graph.leftMargin() + (396.5 - 300) * graph.xScale();
    EXPECT_NEAR(label->x1 + 6 * 16 / 2.0, x, 2.0);
    EXPECT_EQ(textOp(canvas, "out of the window"), nullptr);
    EXPECT_NE(textOp(canvas, "Am-241 59.5"), nullptr);

    // The fit curve: a flat line of 5 counts across its 20 channels, at that row.
    const int row5 = base - static_cast<int>(5 * graph.yScale() + 0.5);
    int fitSegments = 0;
    for (const CanvasOp& op : canvas.ops())
        if (op.kind == CanvasOp::Kind::LineTo && op.colour == Rgb{255, 200, 0}) {
            ++fitSegments;
            EXPECT_NEAR(op.y2, row5, 1);
        }
    EXPECT_GE(fitSegments, 19);

    // Without an overlay, none of it.
    RecordingCanvas plain(1024, 400);
    SpectrumGraph bare(plain);
    bare.drawRange(spectrum, 300, 500, 0, AutoCount);
    EXPECT_EQ(textOp(plain, "59.54 keV Am-241"), nullptr);
}

} // namespace
} // namespace tarvio
