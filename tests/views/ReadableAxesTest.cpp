// The graphs' readable look: round 1-2-5 ticks at every size, labels clear of every line,
// titles with units.

#include "views/AxisTicks.h"
#include "views/GraphColours.h"
#include "views/PulseGraph.h"
#include "views/RecordingCanvas.h"
#include "views/SpectrumGraph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace tarvio;
using Kind = CanvasOp::Kind;

namespace {

constexpr int CharWidth = 6, TextHeight = 13; // the recording canvas's text metrics

struct Box {
    int left, top, right, bottom; // [left, right) x [top, bottom)
};

Box boxOf(const CanvasOp& text) {
    return {text.x1, text.y1, text.x1 + CharWidth * static_cast<int>(text.text.size()),
            text.y1 + TextHeight};
}

bool crosses(const CanvasOp& line, const Box& box) {
    if (line.x1 == line.x2) {
        const int top = std::min(line.y1, line.y2), bottom = std::max(line.y1, line.y2);
        return line.x1 >= box.left && line.x1 < box.right && bottom > box.top && top < box.bottom;
    }
    if (line.y1 == line.y2) {
        const int left = std::min(line.x1, line.x2), right = std::max(line.x1, line.x2);
        return line.y1 >= box.top && line.y1 < box.bottom && right > box.left && left < box.right;
    }
    return false; // the trace's slanted pieces are checked by their ends lying in the plot
}

// Every label inside the image, apart from the others, and crossed by no line of any colour.
void expectLabelsClear(const RecordingCanvas& canvas, const std::string& what) {
    const std::vector<CanvasOp> texts = canvas.texts();
    const std::vector<CanvasOp> lines = canvas.lines();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const Box box = boxOf(texts[i]);
        EXPECT_GE(box.left, 0) << what << ": " << texts[i].text;
        EXPECT_LE(box.right, canvas.width()) << what << ": " << texts[i].text;
        EXPECT_GE(box.top, 0) << what << ": " << texts[i].text;
        EXPECT_LE(box.bottom, canvas.height()) << what << ": " << texts[i].text;
        for (const CanvasOp& line : lines)
            ASSERT_FALSE(crosses(line, box))
                << what << ": a line from (" << line.x1 << ", " << line.y1 << ") to (" << line.x2
                << ", " << line.y2 << ") runs through \"" << texts[i].text << "\"";
        for (std::size_t j = i + 1; j < texts.size(); ++j) {
            const Box other = boxOf(texts[j]);
            EXPECT_FALSE(box.left < other.right && other.left < box.right &&
                         box.top < other.bottom && other.top < box.bottom)
                << what << ": \"" << texts[i].text << "\" overlaps \"" << texts[j].text << "\"";
        }
    }
}

bool isRoundStep(double step) {
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step) + 1e-9));
    for (const double m : {1.0, 2.0, 5.0})
        if (std::abs(mantissa - m) < 1e-6)
            return true;
    return false;
}

// The numeric labels along one edge (texts whose top is at `row`, or whose right edge is at
// `right`), in drawing order, as numbers; they must step evenly by a round step.
void expectRoundSequence(const std::vector<double>& values, const std::string& what) {
    ASSERT_GE(values.size(), 2u) << what;
    const double step = std::abs(values[1] - values[0]);
    EXPECT_TRUE(isRoundStep(step)) << what << ": step " << step;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const double multiple = values[i] / step;
        EXPECT_NEAR(multiple, std::round(multiple), 1e-6) << what << ": " << values[i];
    }
}

std::vector<double> numbersInRow(const RecordingCanvas& canvas, int top) {
    std::vector<double> values;
    for (const CanvasOp& text : canvas.texts())
        if (text.y1 == top && text.text.find_first_not_of("0123456789.-") == std::string::npos)
            values.push_back(std::stod(text.text));
    return values;
}

std::vector<double> numbersEndingAt(const RecordingCanvas& canvas, int right) {
    std::vector<double> values;
    for (const CanvasOp& text : canvas.texts())
        if (boxOf(text).right == right &&
            text.text.find_first_not_of("0123456789.-") == std::string::npos)
            values.push_back(std::stod(text.text));
    return values;
}

Spectrum peakedSpectrum(std::uint32_t height) {
    Spectrum s;
    s.clear();
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c) {
        const double d = (static_cast<double>(c) - 396.0) / 5.0;
        s.counts[c] = static_cast<std::uint32_t>(height * std::exp(-0.5 * d * d)) + c % 7;
    }
    s.maxCount = height + 6;
    return s;
}

} // namespace

TEST(ReadableAxes, roundStep_isTheSmallest125StepWithinTheTicksAllowed) {
    struct Case {
        double span;
        int ticks;
        double minimum;
        double step;
    };
    const Case cases[] = {
        {4096, 6, 1, 1000}, {4096, 20, 1, 500}, {1000, 5, 1, 200}, {93, 4, 1, 50}, {3, 10, 1, 1},
        {0.9, 5, 0, 0.2},   {12.3, 6, 0, 5},    {0, 5, 1, 1},      {50, 1, 0, 50}, {1e9, 4, 1, 5e8},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(roundStep(c.span, c.ticks, c.minimum), c.step)
            << c.span << " in " << c.ticks;
    EXPECT_EQ(roundTicks(3, 17, 5), (std::vector<double>{5, 10, 15}));
    EXPECT_EQ(nextRoundStep(0.2), 0.5);
    EXPECT_EQ(nextRoundStep(5), 10);
    EXPECT_EQ(tickLabel(-0.0001, 1), "0.0");
    EXPECT_EQ(decimalsForStep(0.05), 2);
}

TEST(ReadableAxes, spectrumAtSeveralSizes_roundTicksLabelsClearOfTheAxesTitlesWithUnits) {
    struct Case {
        int width, height;
        bool log, keV;
        std::uint32_t first, last;
    };
    const Case cases[] = {
        {321, 273, false, false, 0, 4096},  {640, 400, false, false, 0, 4096},
        {1800, 900, false, false, 80, 480}, {640, 400, true, false, 0, 4096},
        {1800, 900, true, false, 100, 450}, {321, 273, false, true, 0, 4096},
        {1800, 900, false, true, 300, 500}, {500, 300, true, true, 100, 700},
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height) +
                                 (c.log ? " log" : "") + (c.keV ? " keV" : "");
        RecordingCanvas canvas(c.width, c.height, CharWidth, TextHeight);
        SpectrumGraph graph(canvas);
        graph.setReadableAxes(true);
        graph.setLogScale(c.log);
        graph.setCalibration(EnergyCalibration{{-20.6, 0.2022, 0.0}});
        graph.setCalibrated(c.keV);
        graph.setCursorVisible(true);
        graph.setCursorChannel(static_cast<int>(c.first) + 1);
        graph.drawRange(peakedSpectrum(1234), c.first, c.last, 0, AutoCount);

        expectLabelsClear(canvas, what);
        const int left = static_cast<int>(graph.leftMargin());
        const int base = c.height - static_cast<int>(graph.bottomMargin());
        // Channel or keV labels under the axis, counts beside it.
        expectRoundSequence(numbersInRow(canvas, base + 4 + 3), what + " horizontal");
        if (!c.log)
            expectRoundSequence(numbersEndingAt(canvas, left - 4 - 3), what + " counts");
        else
            for (const double decade : {1.0, 10.0, 100.0, 1000.0})
                EXPECT_NE(canvas.findText(tickLabel(decade, 0)), nullptr) << what << decade;
        EXPECT_NE(canvas.findText(c.keV ? "energy (keV)" : "channel"), nullptr) << what;
        EXPECT_NE(canvas.findText("counts"), nullptr) << what;
        // The zoom works in the frame the readable margins made.
        EXPECT_NEAR(graph.channelAt(left), c.first, 1e-9) << what;
    }
}

TEST(ReadableAxes, pulseGraph_roundSamplesAndVoltsClearOfTheTrace) {
    PulseBuffer pulse{};
    pulse.sampleCount = 450;
    pulse.deliveredCount = 450;
    for (std::uint32_t i = 0; i < 450; ++i)
        pulse.samples[i] =
            static_cast<std::uint16_t>(200 + 1500 * std::exp(-std::abs(i - 120.0) / 30.0));
    pulse.minSample = 200;
    pulse.maxSample = 1700;
    for (const bool autoScale : {false, true}) {
        for (const auto& [width, height] : {std::pair{225, 200}, std::pair{900, 500}}) {
            const std::string what =
                std::to_string(width) + "x" + std::to_string(height) + (autoScale ? " auto" : "");
            RecordingCanvas canvas(width, height, CharWidth, TextHeight);
            PulseGraph graph(canvas);
            graph.readableAxes = true;
            graph.draw(pulse, 0.5, false, autoScale);
            expectLabelsClear(canvas, what);
            EXPECT_NE(canvas.findText("sample"), nullptr) << what;
            EXPECT_NE(canvas.findText("voltage (V)"), nullptr) << what;
            const int base = height - (4 + 3 + 13 + 3 + 13 + 3);
            expectRoundSequence(numbersInRow(canvas, base + 4 + 3), what + " samples");
        }
    }
}
