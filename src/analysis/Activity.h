#pragma once
// Detection efficiency from a source of known activity, and activities from peaks.
//
// Efficiency of a line: net counts / (activity at the start × emission per decay × live time)
// with the decay during the measurement taken into account. The curve through the lines is
// ln ε = Σ c_k (ln E/E₀)^k (a line in log-log for two or three energies, a parabola from four),
// weighted by each point's uncertainty, with the covariance of its coefficients.
//
// Activity from a peak: net counts / (live time × emission × ε(E)), decay-corrected from the
// measurement to the date asked for; the uncertainty joins the peak area's, the emission's
// and the curve's. A nuclide's activity is the weighted mean over its matched lines, the
// curve's share of the uncertainty counted once (it is common to all its lines).

#include "analysis/NuclideIdentification.h"
#include "analysis/NuclideLibrary.h"

#include <optional>
#include <string>
#include <vector>

namespace tarvio {

// What decay changes between a reference moment, the start of a measurement and its end.
struct DecayTiming {
    double startAfterReferenceSeconds = 0.0; // start of the measurement less the reference date
    double realSeconds = 0.0;                // the measurement's real time
};

// Factor that turns the mean activity over the measurement into the activity at its start
// times the decay from the reference: A(reference) = A(mean) · decayFactor.
double decayFactor(double halfLifeSeconds, const DecayTiming& timing);

struct EfficiencyPoint {
    double energyKeV = 0.0;
    double efficiency = 0.0;
    double uncertainty = 0.0;
    std::string line;
};

struct EfficiencyCurve {
    std::vector<double> coefficients; // of ln(E/E0) powers
    std::vector<double> covariance;   // row-major, coefficients² entries
    double referenceKeV = 100.0;
    double lowKeV = 0.0; // the energies it was fitted over
    double highKeV = 0.0;

    double at(double energyKeV) const;
    // Relative standard deviation of the curve at an energy.
    double relativeUncertaintyAt(double energyKeV) const;
};

struct KnownSource {
    const Nuclide* nuclide = nullptr;
    double activityBq = 0.0;            // at the reference date
    double activityUncertaintyBq = 0.0; // from its certificate; 0 when exact
};

// One point per matched line group of the known source among `peaks`.
std::vector<EfficiencyPoint> efficiencyPoints(const std::vector<EnergyPeak>& peaks,
                                              const NuclideCandidate& match,
                                              const KnownSource& source, double liveSeconds,
                                              const DecayTiming& timing);

std::optional<EfficiencyCurve> fitEfficiency(const std::vector<EfficiencyPoint>& points);

struct LineActivity {
    double energyKeV = 0.0;
    std::string line;
    double activityBq = 0.0;
    double uncertaintyBq = 0.0;
};

struct NuclideActivity {
    std::string nuclide;
    double activityBq = 0.0;
    double uncertaintyBq = 0.0;
    std::vector<LineActivity> lines;
};

// The activity at the reference date of the timing, from the matched lines of a candidate.
std::optional<NuclideActivity> nuclideActivity(const std::vector<EnergyPeak>& peaks,
                                               const NuclideCandidate& match,
                                               const EfficiencyCurve& curve, double liveSeconds,
                                               const DecayTiming& timing);

} // namespace tarvio
