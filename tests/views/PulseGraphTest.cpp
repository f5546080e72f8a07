#include "views/PulseGraph.h"
#include "views/GraphColours.h"
#include "views/RecordingCanvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>

using namespace tarvio;
using namespace tarvio::graph_colours;
using Kind = CanvasOp::Kind;

namespace {

// The main window's pulse image; the recording canvas measures 6 pixels per character and
// 13 pixels of height.
constexpr int W = 225, H = 200;

PulseBuffer pulseOf(std::uint32_t count, std::uint16_t value) {
    PulseBuffer pulse;
    for (std::uint32_t i = 0; i < count; ++i)
        pulse.setSample(static_cast<std::uint16_t>(i), value);
    pulse.sampleCount = count;
    return pulse;
}

std::vector<std::string> textsOf(const RecordingCanvas& canvas) {
    std::vector<std::string> out;
    for (const CanvasOp& op : canvas.texts())
        out.push_back(op.text);
    return out;
}

} // namespace

TEST(PulseGraph, fullRange_gridAndLabelsOfStandardImage) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(450, 100), 0.5, false, false);

    const auto& ops = canvas.ops();
    ASSERT_GE(ops.size(), 2u);
    EXPECT_EQ(ops[0].kind, Kind::Brush);
    EXPECT_EQ(ops[0].colour, Background);
    EXPECT_EQ(ops[1].kind, Kind::FillRect);
    EXPECT_EQ(ops[1].x2, W);
    EXPECT_EQ(ops[1].y2, H);

    EXPECT_EQ(textsOf(canvas), (std::vector<std::string>{"90", "2.50", "180", "2.00", "270", "1.50",
                                                         "360", "1.00", "450", "0.50"}));
    for (int i = 0; i < 5; ++i) {
        const CanvasOp* volts = canvas.findText(textsOf(canvas)[2 * i + 1]);
        EXPECT_EQ(volts->x1, 0);
        EXPECT_EQ(volts->y1, i * 40 + 2);
    }
    const CanvasOp* last = canvas.findText("450");
    EXPECT_EQ(last->x1, 225 - 2 - 18); // right-aligned two pixels left of its line
    EXPECT_EQ(last->y1, H - 13);

    const auto grid = canvas.linesOf(Grid);
    ASSERT_EQ(grid.size(), 10u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(grid[2 * i].x1, (i + 1) * 45); // vertical, the last at x = W
        EXPECT_EQ(grid[2 * i].y2, H);
        EXPECT_EQ(grid[2 * i + 1].y1, i * 40); // horizontal: none at the bottom
        EXPECT_EQ(grid[2 * i + 1].x2, W);
        EXPECT_EQ(grid[2 * i].style, PenStyle::Dotted);
    }
}

TEST(PulseGraph, thresholdAndWaveform_plottedInSteps) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    PulseBuffer pulse = pulseOf(450, 0);
    pulse.setSample(10, 2048);
    graph.draw(pulse, 1.25, false, false);

    const auto threshold = canvas.linesOf(Green);
    ASSERT_EQ(threshold.size(), 1u);
    EXPECT_EQ(threshold[0].x1, 0);
    EXPECT_EQ(threshold[0].y1, 100);
    EXPECT_EQ(threshold[0].x2, W);
    EXPECT_EQ(threshold[0].y2, 100);

    const auto wave = canvas.linesOf(Red);
    ASSERT_EQ(wave.size(), 450u);
    EXPECT_EQ(wave[0].x1, 0);
    EXPECT_EQ(wave[0].y1, H);  // code 0 sits one pixel below the image
    EXPECT_EQ(wave[10].x2, 5); // 10 x 0.5, truncated
    EXPECT_EQ(wave[10].y2, 100);
    EXPECT_EQ(wave[449].x2, 224);
}

TEST(PulseGraph, autoScale_rangeFollowsMaximumUpToFullScale) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(450, 400), 0, false, true); // range 0..1000 steps
    EXPECT_EQ(textsOf(canvas)[1], "0.61");

    canvas.clear();
    graph.draw(pulseOf(450, 2000), 0, false, true); // 5000 is above full scale
    EXPECT_EQ(textsOf(canvas)[1], "2.50");

    canvas.clear();
    graph.draw(pulseOf(450, 0), 0, false, true); // empty range: the divisor counts as 1
    for (std::size_t i = 1; i < 10; i += 2)
        EXPECT_EQ(textsOf(canvas)[i], "0.00");
    EXPECT_EQ(canvas.linesOf(Red)[5].y2, H);
}

TEST(PulseGraph, inverted_plotsFullScaleMinusSampleAndThreshold) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(450, 4000), 2.0, true, false);
    EXPECT_EQ(textsOf(canvas)[1], "2.50");
    EXPECT_EQ(canvas.linesOf(Red)[3].y2, 195);   // 200 - 96 x 200 / 4096
    EXPECT_EQ(canvas.linesOf(Green)[0].y1, 160); // 4096 - 3276.8 steps
}

TEST(PulseGraph, fewerSamplesThanDivisions_sampleLabelsReadZero) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(3, 10), 0, false, false);
    const auto texts = textsOf(canvas);
    for (std::size_t i = 0; i < texts.size(); i += 2)
        EXPECT_EQ(texts[i], "0");
    EXPECT_EQ(canvas.linesOf(Red).back().x2, 150); // 2 x 75
}

TEST(PulseGraph, noSamples_leavesImageUntouched) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    PulseBuffer pulse = pulseOf(450, 10);
    pulse.sampleCount = 0;
    graph.draw(pulse, 1.0, false, true);
    EXPECT_TRUE(canvas.ops().empty());
}

TEST(PulseGraph, thresholdAboveRangeOrNotANumber_lineLeavesImage) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(450, 10), 3.0, false, false);
    EXPECT_LT(canvas.linesOf(Green)[0].y1, 0);
    canvas.clear();
    graph.draw(pulseOf(450, 10), std::nan(""), false, false);
    EXPECT_LT(canvas.linesOf(Green)[0].y1, 0);
}

TEST(PulseGraph, slotsTheMessageDidNotFill_areNotDrawn) {
    // A message of five words fills four slots; the fifth keeps the cleared value 0.
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    PulseBuffer pulse;
    pulse.clear();
    for (std::uint16_t k = 0; k < 4; ++k)
        pulse.setSample(k, 2048);
    pulse.sampleCount = 5;
    for (const bool inverted : {false, true}) {
        canvas.clear();
        graph.draw(pulse, 0.0, inverted, false);
        const auto wave = canvas.linesOf(Red);
        ASSERT_EQ(wave.size(), 4u);
        for (const CanvasOp& line : wave)
            EXPECT_EQ(line.y2, 100);              // no drop to 0 V, nor a jump to 2.5 V inverted
        EXPECT_NE(canvas.findText("5"), nullptr); // the axis still spans the five words
    }
    pulse.clear(); // nothing delivered: grid and threshold, no trace
    canvas.clear();
    graph.draw(pulse, 0.0, false, false);
    EXPECT_TRUE(canvas.linesOf(Red).empty());
    EXPECT_EQ(canvas.linesOf(Green).size(), 1u);
}

TEST(PulseGraph, labels_drawnLastInAGreyReadableOnBlack) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    graph.draw(pulseOf(450, 10), 0.0, false, false);
    const auto& ops = canvas.ops();
    const auto firstText = std::find_if(
        ops.begin(), ops.end(), [](const CanvasOp& op) { return op.kind == Kind::TextOut; });
    ASSERT_NE(firstText, ops.end());
    // Nothing is drawn over a label: every line comes before the first of them.
    EXPECT_TRUE(std::none_of(firstText, ops.end(),
                             [](const CanvasOp& op) { return op.kind == Kind::LineTo; }));
    const auto font = std::find_if(std::make_reverse_iterator(firstText), ops.rend(),
                                   [](const CanvasOp& op) { return op.kind == Kind::FontColor; });
    ASSERT_NE(font, ops.rend());
    // WCAG contrast against black: (L + 0.05) / 0.05, L the relative luminance.
    auto channel = [](int c) {
        const double s = c / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    const double luminance = 0.2126 * channel(font->colour.r) + 0.7152 * channel(font->colour.g) +
                             0.0722 * channel(font->colour.b);
    EXPECT_GE((luminance + 0.05) / 0.05, 4.5);
}

TEST(PulseGraph, fittedPulse_drawnOverTheWaveformOnItsScaleOrNotAtAll) {
    RecordingCanvas canvas(W, H);
    PulseGraph graph(canvas);
    PulseBuffer pulse = pulseOf(450, 0);
    pulse.setSample(10, 2048);
    const std::vector<double> fitted(450, 2048.0);
    for (bool inverted : {false, true}) {
        canvas.clear();
        graph.draw(pulse, 1.25, inverted, false, &fitted);
        const auto lines = canvas.linesOf(Fitted);
        ASSERT_EQ(lines.size(), 450u);
        EXPECT_EQ(lines[10].y2, 100); // the same scale as the waveform's sample 10
        EXPECT_EQ(canvas.linesOf(Red).size(), 450u);
    }
    const std::vector<double> none;
    for (const std::vector<double>* f : {static_cast<const std::vector<double>*>(nullptr), &none}) {
        canvas.clear();
        graph.draw(pulse, 1.25, false, false, f);
        EXPECT_TRUE(canvas.linesOf(Fitted).empty());
    }
}
