#pragma once
// A least-squares fit of the template to one pulse: the baseline from the samples before the
// pulse, then the template's amplitude and onset (a fraction of a sample) by a linearised fit
// whose coefficients are tabulated for 64 onset phases when the fit is made. Fitting a pulse
// is then a few dot products over the template's window and a pass over the record for the
// residuals; nothing is allocated.

#include "processing/PulseTemplate.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tarvio {

struct PulseFitResult {
    std::uint16_t largest = 0; // the largest sample, and where it is
    std::uint32_t largestAt = 0;
    bool saturated = false; // a sample at the converter's top code
    // False when the pulse lies too close to an end of the record for the template's window
    // and the baseline: then only the fields above hold.
    bool fitted = false;
    double baseline = 0;         // mean of the samples before the pulse, codes
    double baselineVariance = 0; // their spread around it, codes squared
    int baselineSamples = 0;
    double amplitude = 0; // the template's peak above the baseline, codes
    double onset = 0;     // sample where the template starts rising
    // Residuals (sample minus baseline and fitted template): their sum of squares over the
    // template's window and its sample count, and the largest and smallest sum over
    // ResidualRun neighbouring samples anywhere in the record (a second photon shows as a
    // positive run).
    double residualSquares = 0;
    int windowSamples = 0;
    double largestRun = 0;
    double smallestRun = 0;
};

class PulseFit {
public:
    static constexpr int Phases = 64;
    static constexpr int Window = PulseTemplate::LengthSamples;
    static constexpr int MaxBaselineSamples = 32;
    static constexpr int MinBaselineSamples = 4;
    static constexpr int ResidualRun = 5;
    static constexpr int MaxSamples = 8192;

    explicit PulseFit(const PulseTemplate& shape);

    const PulseTemplate& shape() const { return shape_; }
    PulseFitResult fit(const std::uint16_t* samples, std::uint32_t count) const;
    // The fitted pulse at sample k (baseline included), to draw over the samples.
    double model(const PulseFitResult& result, double k) const;
    // Fits the pulse and gives the fitted pulse at each of its samples, in `curve`; empty
    // when the pulse could not be fitted. For showing, not for the pulse path.
    void curve(const std::uint16_t* samples, std::uint32_t count, std::vector<double>& curve) const;

private:
    struct PhaseTable {
        // The template and its slope against the onset at the window's samples, and the rows
        // of the least-squares solution for the amplitude and amplitude times onset shift.
        alignas(32) std::array<float, Window> value;
        alignas(32) std::array<float, Window> slope;
        alignas(32) std::array<float, Window> amplitudeRow;
        alignas(32) std::array<float, Window> shiftRow;
    };

    PulseTemplate shape_;
    std::vector<PhaseTable> tables_;
};

} // namespace tarvio
