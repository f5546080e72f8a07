#pragma once
// The shape a pulse is fitted with: its height 1 at the peak, as a function of the time since
// the pulse's onset, in samples. Either the amplifier's built-in CR-RC shape or one learned
// from the user's own pulses (the values on a grid of quarter samples, smoothly interpolated).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

class PulseTemplate {
public:
    // The shape is known from LeadSamples before the onset to TailSamples after it, and is 0
    // outside.
    static constexpr int LeadSamples = 8;
    static constexpr int TailSamples = 64;
    static constexpr int LengthSamples = LeadSamples + TailSamples;
    // Grid of a learned shape: nodes per sample.
    static constexpr int GridPerSample = 4;
    static constexpr int GridNodes = LengthSamples * GridPerSample + 1;
    // The amplifier's shaping time in samples: the CR-RC pulse peaks this long after onset.
    static constexpr double BuiltInShapingSamples = 5.0;

    // The CR-RC shape with the amplifier's shaping time.
    static PulseTemplate builtIn();
    // A learned shape from its grid values (GridNodes of them, the first at -LeadSamples),
    // scaled to a peak of 1; nothing when the count is wrong or the shape has no positive peak.
    static std::optional<PulseTemplate> learned(const std::vector<double>& gridValues, int pulses);

    // The shape at `s` samples after the onset.
    double at(double s) const;
    // Where the peak lies, in samples after the onset.
    double peakPosition() const { return peak_; }
    bool isBuiltIn() const { return learnedFrom_ == 0; }
    // Pulses the shape was learned from (0: built in).
    int learnedFrom() const { return learnedFrom_; }
    const std::vector<double>& gridValues() const { return grid_; }

    // One line of text for settings.ini (under 2000 characters): the pulse count, then the
    // grid values in units of 1/TextScale of the peak; and back. fromText gives nothing for
    // text that is not such a line.
    static constexpr double TextScale = 100000.0;
    std::string toText() const;
    static std::optional<PulseTemplate> fromText(std::string_view text);

private:
    PulseTemplate() = default;
    // Sets peak_ and gives the height there.
    double findPeak();

    std::vector<double> grid_; // empty for the built-in shape
    int learnedFrom_ = 0;
    double peak_ = BuiltInShapingSamples;
};

} // namespace tarvio
