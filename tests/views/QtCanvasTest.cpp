#include "views/qt/QtCanvas.h"
#include "views/GraphColours.h"
#include "views/Pixel.h"
#include "views/PulseGraph.h"
#include "views/SpectrumGraph.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

using namespace tarvio;
using namespace tarvio::graph_colours;

namespace {

constexpr int SW = 321, SH = 273, Base = 258;

QRgb q(Rgb c) {
    return qRgb(c.r, c.g, c.b);
}

QRgb at(const QtCanvas& canvas, int x, int y) {
    return canvas.image().pixel(x, y) | 0xFF000000u;
}

void save(const QtCanvas& canvas, const std::string& name) {
    const std::string path = std::string(TARVIO_TEST_OUTPUT_DIR) + "/" + name;
    EXPECT_TRUE(canvas.image().save(QString::fromStdString(path), "PNG")) << path;
}

// Two peaks on a falling background with Poisson noise, as a measurement would give.
Spectrum realisticSpectrum(unsigned seed, double scale) {
    std::mt19937 rng(seed);
    Spectrum s;
    s.clear();
    for (std::uint32_t c = 0; c < SpectrumChannels; ++c) {
        const double mean = scale * (40.0 * std::exp(-static_cast<double>(c) / 600.0) +
                                     300.0 * std::exp(-std::pow((c - 1200.0) / 40.0, 2)) +
                                     120.0 * std::exp(-std::pow((c - 2900.0) / 90.0, 2)));
        std::poisson_distribution<std::uint32_t> noise(mean + 0.01);
        s.counts[c] = noise(rng);
        s.maxCount = std::max(s.maxCount, s.counts[c]);
    }
    return s;
}

QImage render(const Spectrum& s, BarDrawing mode, std::uint32_t first, std::uint32_t last,
              std::uint32_t low, std::uint32_t high, bool cursor, bool log = false) {
    QtCanvas canvas(SW, SH);
    SpectrumGraph graph(canvas);
    graph.setBarDrawing(mode);
    graph.setLogScale(log);
    graph.setCursorVisible(cursor);
    graph.setCursorChannel(1200);
    graph.drawRange(s, first, last, low, high);
    return canvas.image();
}

} // namespace

TEST(QtCanvas, lineTo_paintsUpToButNotIncludingEndPoint) {
    QtCanvas canvas(20, 20);
    canvas.setPen(Green, PenStyle::Solid);
    canvas.moveTo(2, 3);
    canvas.lineTo(2, 8);
    EXPECT_EQ(at(canvas, 2, 3), q(Green));
    EXPECT_EQ(at(canvas, 2, 7), q(Green));
    EXPECT_EQ(at(canvas, 2, 8), q(Background));

    canvas.setPen(Red, PenStyle::Solid);
    canvas.lineTo(12, 13); // from the end point of the last line
    EXPECT_EQ(at(canvas, 2, 8), q(Red));
    EXPECT_EQ(at(canvas, 7, 11), q(Red)); // halfway: rounded half up
    EXPECT_EQ(at(canvas, 11, 13), q(Red));
    EXPECT_EQ(at(canvas, 12, 13), q(Background));
}

TEST(QtCanvas, dottedPenAndFill_paintAlternatePixelsAndExclusiveRectangle) {
    QtCanvas canvas(20, 20);
    canvas.setPen(Grid, PenStyle::Dotted);
    canvas.moveTo(0, 5);
    canvas.lineTo(20, 5);
    EXPECT_EQ(at(canvas, 0, 5), q(Grid));
    EXPECT_EQ(at(canvas, 1, 5), q(Background));
    EXPECT_EQ(at(canvas, 18, 5), q(Grid));

    canvas.setBrush(Red);
    canvas.fillRect(3, 10, 6, 12);
    EXPECT_EQ(at(canvas, 3, 10), q(Red));
    EXPECT_EQ(at(canvas, 5, 11), q(Red));
    EXPECT_EQ(at(canvas, 6, 11), q(Background));
    EXPECT_EQ(at(canvas, 5, 12), q(Background));
}

TEST(QtCanvas, coordinatesFarOutside_areClippedCheaply) {
    QtCanvas canvas(20, 20);
    canvas.setPen(Green, PenStyle::Solid);
    canvas.moveTo(5, -PixelLimit);
    canvas.lineTo(5, 10);
    EXPECT_EQ(at(canvas, 5, 0), q(Green));
    EXPECT_EQ(at(canvas, 5, 9), q(Green));
    canvas.moveTo(-PixelLimit, -PixelLimit);
    canvas.lineTo(PixelLimit, PixelLimit); // the diagonal through the image
    EXPECT_EQ(at(canvas, 15, 15), q(Green));
    canvas.setBrush(Red);
    canvas.fillRect(-PixelLimit, 18, PixelLimit, PixelLimit);
    EXPECT_EQ(at(canvas, 0, 19), q(Red));
    canvas.textOut(-50, -50, "clipped");
    canvas.ellipse(100, 100, 104, 104);
}

TEST(QtCanvas, spectrumGraph_barsBaseLineAndCursorWhereExpected) {
    QtCanvas canvas(SW, SH);
    SpectrumGraph graph(canvas);
    Spectrum s;
    s.clear();
    s.counts[0] = 50;     // half the plot height: top at y = 129
    s.counts[2000] = 100; // the full height
    s.maxCount = 100;
    graph.setCursorVisible(true);
    graph.setCursorChannel(3000); // empty channel: circle sits on the base line
    graph.draw(s);
    save(canvas, "spectrum_graph.png");

    EXPECT_EQ(at(canvas, 15, 128), q(Grid)); // the left axis, covered where a bar stands
    EXPECT_EQ(at(canvas, 15, 129), q(Green));
    EXPECT_EQ(at(canvas, 15, Base - 1), q(Green));
    const int x2000 = 15 + static_cast<int>(2000 * 306.0 / 4096);
    EXPECT_EQ(at(canvas, x2000, 0), q(Green));
    EXPECT_EQ(at(canvas, x2000, Base - 1), q(Green));
    EXPECT_EQ(at(canvas, x2000, Base), q(Grid)); // the base line stays an axis
    EXPECT_EQ(at(canvas, x2000 + 1, 100), q(Background));

    const int xc = 15 + static_cast<int>(3000 * 306.0 / 4096);
    EXPECT_EQ(at(canvas, xc, 0), q(Red));
    EXPECT_EQ(at(canvas, xc, 100), q(Red));
    EXPECT_EQ(at(canvas, xc - 2, Base), q(Red)); // the circle's left edge
    EXPECT_EQ(graph.cursorValue(), 0u);

    // Labels are drawn in the grid colour somewhere along the bottom edge.
    int labelPixels = 0;
    for (int x = 16; x < SW; ++x)
        for (int y = Base + 1; y < SH; ++y)
            if (at(canvas, x, y) != q(Background))
                ++labelPixels;
    EXPECT_GT(labelPixels, 20);
}

TEST(QtCanvas, pulseGraph_thresholdAndWaveformWhereExpected) {
    QtCanvas canvas(225, 200);
    PulseGraph graph(canvas);
    PulseBuffer pulse;
    for (std::uint16_t i = 0; i < 450; ++i)
        pulse.setSample(i, i >= 200 && i < 250 ? 3072 : 1024);
    pulse.sampleCount = 450;
    graph.draw(pulse, 1.25, false, false);
    save(canvas, "pulse_graph.png");

    for (int x : {0, 60, 224})
        EXPECT_EQ(at(canvas, x, 100), q(Green)) << x;
    EXPECT_EQ(at(canvas, 30, 150), q(Red));  // baseline 1024 steps: y = 150
    EXPECT_EQ(at(canvas, 110, 50), q(Red));  // top of the pulse, 3072 steps: y = 50
    EXPECT_EQ(at(canvas, 100, 100), q(Red)); // the rising edge crosses the threshold line
    EXPECT_EQ(at(canvas, 30, 130), q(Background));
    EXPECT_EQ(at(canvas, 30, 120), q(Grid)); // a dotted grid line

    // A pulse without samples leaves the picture as it was.
    const QImage before = canvas.image();
    pulse.sampleCount = 0;
    graph.draw(pulse, 2.0, true, true);
    EXPECT_EQ(canvas.image(), before);
}

namespace {

// The two ways of putting bars on the canvas, on one scale: pixels must agree exactly.
struct PixelCase {
    unsigned seed;
    double scale;
    std::uint32_t first, last, low, high;
};

void expectSamePixels(std::initializer_list<PixelCase> cases, bool log) {
    for (const PixelCase& c : cases) {
        const Spectrum s = realisticSpectrum(c.seed, c.scale);
        const QImage slow =
            render(s, BarDrawing::EveryChannel, c.first, c.last, c.low, c.high, true, log);
        const QImage fast =
            render(s, BarDrawing::TallestPerColumn, c.first, c.last, c.low, c.high, true, log);
        EXPECT_TRUE(slow == fast) << "case " << c.seed;
        if (log && c.seed == 11) { // for a look
            EXPECT_TRUE(fast.save(QString::fromStdString(std::string(TARVIO_TEST_OUTPUT_DIR) +
                                                         "/spectrum_graph_log.png"),
                                  "PNG"));
        }
    }
}

} // namespace

TEST(QtCanvas, tallestPerColumn_givesPixelsIdenticalToEveryChannel) {
    expectSamePixels(
        {
            {1, 1.0, 0, 4096, 0, AutoCount},    // 4096 channels on 306 columns
            {2, 50.0, 0, 4096, 0, AutoCount},   // tall counts
            {3, 1.0, 1000, 1500, 0, AutoCount}, // fewer channels than four per column
            {4, 1.0, 1150, 1250, 0, AutoCount}, // more columns than channels
            {5, 3.0, 300, 3900, 40, 200},       // a fixed count window cutting bars
            {6, 1.0, 1000, 3000, 250, 260},     // most channels below the window
            {7, 0.0, 0, 4096, 0, AutoCount},    // empty
            {8, 1.0, 1, 4096, 0, 1000000000},   // odd widths, tiny scale
        },
        false);
}

TEST(QtCanvas, logScale_tallestPerColumnGivesPixelsIdenticalToEveryChannel) {
    expectSamePixels(
        {
            {11, 1.0, 0, 4096, 0, AutoCount},    // all channels, a count of one shows
            {12, 500.0, 0, 4096, 0, AutoCount},  // five decades
            {13, 1.0, 1150, 1250, 0, AutoCount}, // more columns than channels
            {14, 3.0, 300, 3900, 40, 200},       // a fixed window cutting bars
            {15, 0.0, 0, 4096, 0, AutoCount},    // empty
            {16, 0.05, 0, 4096, 1, 1000000000},  // sparse counts, nine decades
        },
        true);
}

// Fonts need a running QGuiApplication. It is made when the tests run, not when they are only
// listed, and offscreen unless the caller chose a platform.
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "tarvio_views_qt_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> app_;
};

const auto* const qtEnvironment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

TEST(QtCanvas, barsAtOnce_paintTheSamePixelsAsOneLineEach) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> any(-40, 140);
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        // Bars above and below the base, on it, beyond every edge, far outside, repeated x.
        const int base = round % 5 == 0 ? -3 : round % 7 == 0 ? 130 : any(rng) / 2 + 20;
        std::vector<Bar> bars;
        for (int i = 0; i < 90; ++i)
            bars.push_back({any(rng) / 2 - 5, any(rng)});
        bars.push_back({10, -PixelLimit});
        bars.push_back({11, PixelLimit});
        bars.push_back({12, base});
        QtCanvas together(60, 100), oneByOne(60, 100);
        for (QtCanvas* canvas : {&together, &oneByOne})
            canvas->setPen(Green, PenStyle::Solid);
        together.bars(bars.data(), bars.size(), base);
        for (const Bar& b : bars) {
            oneByOne.moveTo(b.x, b.top);
            oneByOne.lineTo(b.x, base);
        }
        ASSERT_EQ(together.image(), oneByOne.image());
        // Both leave the current point at the last bar's foot.
        together.lineTo(0, 0);
        oneByOne.lineTo(0, 0);
        ASSERT_EQ(together.image(), oneByOne.image());
    }
}
