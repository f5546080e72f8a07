#pragma once
// How a measurement turns pulses into heights: the method, the template, which pulses are
// rejected and how strictly; the words for it in settings, on the command line and in files.

#include "processing/PulseTemplate.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tarvio {

class PulseProcessor;

enum class HeightMethod : std::uint8_t {
    Largest, // the largest sample, as the interface's own rule has it
    Fit,     // a least-squares fit of the template
};

struct ProcessingOptions {
    HeightMethod method = HeightMethod::Largest;
    bool rejectSaturated = false;
    bool rejectPileUp = false;
    bool rejectShape = false;
    // How far, in standard deviations of the noise, a pulse may stray from the template
    // before it is rejected.
    double tolerance = DefaultTolerance;
    // Empty: the built-in shape.
    std::shared_ptr<const PulseTemplate> shape;

    static constexpr double DefaultTolerance = 5.0;
    static constexpr double MinTolerance = 1.0;
    static constexpr double MaxTolerance = 1000.0;

    bool rejectsAny() const { return rejectSaturated || rejectPileUp || rejectShape; }
    // The largest sample and nothing rejected: today's path, no processor at all.
    bool isPlain() const { return method == HeightMethod::Largest && !rejectsAny(); }
};

// "largest" or "fit" (case-insensitive); false, leaving `method` alone, for anything else.
bool parseHeightMethod(std::string_view text, HeightMethod& method);
const char* heightMethodName(HeightMethod method);

// A list of rejections separated by commas or blanks: "saturated", "pileup" (or "pile-up"),
// "shape", "all" or "none"; case-insensitive. False, leaving the options alone, when a name
// is unknown.
bool parseRejections(std::string_view text, ProcessingOptions& options);
// The rejections as parseRejections reads them: "saturated,pileup", or "none".
std::string rejectionNames(const ProcessingOptions& options);

// The tolerance as text, with a point whatever the locale ("5", "3.5").
std::string toleranceText(double tolerance);

// One line saying which processing made a spectrum, for the files:
// "largest sample" or "template fit (built-in CR-RC shape); rejected: pile-up, shape beyond
// 5 sigma".
std::string processingDescription(const ProcessingOptions& options);

// The processor for a measurement; empty for the plain largest sample.
std::unique_ptr<PulseProcessor> makePulseProcessor(const ProcessingOptions& options);

} // namespace tarvio
