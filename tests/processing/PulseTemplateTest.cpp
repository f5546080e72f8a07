// Templates: the built-in shape, one learned from pulses of another shape, the text they are
// kept in, and the words for the processing options.

#include "processing/PulseTemplate.h"
#include "processing/FitProcessor.h"
#include "processing/ProcessingOptions.h"
#include "processing/TemplateLearner.h"
#include "sim/SimRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvio {
namespace {

// A CR-(RC)^2 pulse (not the built-in shape): x^2 e^(2 (1 - x)) peaks at x = 1 with 1.
double slowShape(double s) {
    const double x = s / 4.0;
    return x > 0 ? x * x * std::exp(2.0 * (1.0 - x)) : 0.0;
}

std::vector<std::uint16_t> slowPulse(double amplitude, double onset, SimRandom& noise) {
    std::vector<std::uint16_t> samples(450);
    for (int k = 0; k < 450; ++k) {
        const double v = 100.0 + 2.0 * noise.normal() + amplitude * slowShape(k - onset);
        samples[k] = static_cast<std::uint16_t>(std::round(v));
    }
    return samples;
}

TEST(TemplateLearner, pulsesOfAnotherShape_learnedShapeFitsThemWithoutBias) {
    SimRandom rng(17);
    // The built-in shape rejects these pulses as misshapen; loosely, it still aligns them.
    TemplateLearner learner(800, nullptr, 1000.0);
    while (!learner.done()) {
        const auto samples = slowPulse(200 + 200 * rng.uniform(), 40 + rng.uniform(), rng);
        learner.add(samples.data(), 449);
    }
    const auto learned = learner.result();
    ASSERT_TRUE(learned);
    EXPECT_EQ(learned->learnedFrom(), 800);
    // Up to where it is put in time (the built-in fit's onset), the learned shape is the
    // pulses' own.
    double best = 1e9;
    for (double shift = -3; shift <= 3; shift += 0.01) {
        double worst = 0;
        for (double s = -2; s < 40; s += 0.25) {
            worst = std::max(worst, std::abs(learned->at(s) - slowShape(s - shift)));
        }
        best = std::min(best, worst);
    }
    EXPECT_LT(best, 0.01);

    ProcessingOptions options;
    options.method = HeightMethod::Fit;
    options.rejectPileUp = options.rejectShape = true;
    options.shape = std::make_shared<PulseTemplate>(*learned);
    FitProcessor processor(options);
    ProcessingOptions builtIn = options;
    builtIn.shape = nullptr;
    FitProcessor builtInProcessor(builtIn);
    int rejected = 0, builtInRejected = 0;
    double error = 0;
    const int pulses = 300;
    for (int i = 0; i < pulses; ++i) {
        const auto samples = slowPulse(300, 40 + rng.uniform(), rng);
        PulseEvent event{0, samples.data(), 449, 0.0, 0};
        processor.process(event);
        rejected += event.rejected();
        error += event.height - 0.5 - 400.0;
        PulseEvent other{0, samples.data(), 449, 0.0, 0};
        builtInProcessor.process(other);
        builtInRejected += other.rejected();
    }
    EXPECT_LE(rejected, 1);
    EXPECT_GT(builtInRejected, pulses / 2);
    EXPECT_NEAR(error / pulses, 0.0, 0.3);
}

TEST(PulseTemplate, textOfALearnedShape_roundTripsAndBadTextIsRefused) {
    EXPECT_DOUBLE_EQ(PulseTemplate::builtIn().at(5.0), 1.0);
    EXPECT_EQ(PulseTemplate::builtIn().at(-1.0), 0.0);
    std::vector<double> grid(PulseTemplate::GridNodes);
    for (int i = 0; i < PulseTemplate::GridNodes; ++i) {
        const double s =
            static_cast<double>(i) / PulseTemplate::GridPerSample - PulseTemplate::LeadSamples;
        grid[i] = 2.0 * slowShape(s);
    }
    const auto shape = PulseTemplate::learned(grid, 250);
    ASSERT_TRUE(shape);
    EXPECT_NEAR(shape->at(4.0), 1.0, 1e-3); // scaled to a peak of 1
    EXPECT_NEAR(shape->peakPosition(), 4.0, 0.1);
    const auto back = PulseTemplate::fromText(shape->toText());
    ASSERT_TRUE(back);
    EXPECT_LT(shape->toText().size(), 2000u); // one settings.ini value
    EXPECT_EQ(back->learnedFrom(), 250);
    for (double s = -8; s < 64; s += 0.3) {
        EXPECT_NEAR(back->at(s), shape->at(s), 2e-5) << s;
    }
    const std::string bad[] = {
        "",
        "builtin",
        "250",
        "250 1 2 3",                           // too few values
        "x " + shape->toText().substr(4),      // no pulse count
        shape->toText() + " 5",                // one value too many
        "0" + shape->toText().substr(3),       // learned from no pulses
        shape->toText().substr(0, 40) + "abc", // not a number
        shape->toText().substr(0, 40) + ".5",  // not a whole number
    };
    for (const std::string& text : bad) {
        EXPECT_FALSE(PulseTemplate::fromText(text)) << text.substr(0, 60);
    }
    EXPECT_FALSE(PulseTemplate::learned(std::vector<double>(PulseTemplate::GridNodes, 0.0), 5));
}

TEST(ProcessingOptions, wordsAndDescriptions) {
    HeightMethod method = HeightMethod::Largest;
    EXPECT_TRUE(parseHeightMethod("FIT", method));
    EXPECT_EQ(method, HeightMethod::Fit);
    EXPECT_FALSE(parseHeightMethod("parabola", method));
    EXPECT_EQ(method, HeightMethod::Fit);

    struct Case {
        const char* text;
        bool ok;
        const char* names;
    };
    const Case cases[] = {
        {"saturated,pileup", true, "saturated,pileup"},
        {"Pile-Up shape", true, "pileup,shape"},
        {"all", true, "saturated,pileup,shape"},
        {"none", true, "none"},
        {"", true, "none"},
        {"saturated,typo", false, "pileup"}, // unchanged from before
    };
    for (const Case& c : cases) {
        ProcessingOptions options;
        options.rejectPileUp = true;
        EXPECT_EQ(parseRejections(c.text, options), c.ok) << c.text;
        EXPECT_EQ(rejectionNames(options), c.names) << c.text;
    }

    ProcessingOptions options;
    EXPECT_TRUE(options.isPlain());
    EXPECT_EQ(makePulseProcessor(options), nullptr);
    EXPECT_EQ(processingDescription(options), "largest sample");
    options.method = HeightMethod::Fit;
    options.rejectPileUp = true;
    options.tolerance = 3.5;
    EXPECT_NE(makePulseProcessor(options), nullptr);
    EXPECT_EQ(processingDescription(options),
              "template fit (built-in CR-RC shape); rejected: pile-up beyond 3.5 sigma");
    options.rejectPileUp = false;
    options.rejectSaturated = true;
    options.method = HeightMethod::Largest;
    EXPECT_EQ(processingDescription(options), "largest sample; rejected: saturated");
}

} // namespace
} // namespace tarvio
