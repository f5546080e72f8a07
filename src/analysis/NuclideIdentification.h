#pragma once
// Which nuclides explain the peaks of a calibrated spectrum.
//
// Each nuclide's lines inside the spectrum's energy range are taken with the weight a
// detector would give them: emission per decay times the detection efficiency (1 where none
// is known). Lines closer than the resolution are one group, as the detector sees them. A
// group matches the nearest peak within half a FWHM (or three standard deviations of the
// peak's energy, if wider). The areas of the matched peaks give a scale; an unmatched group
// whose expected area at that scale would stand above the weakest peak found is a strong
// line missing. A nuclide's score is the share of its expected groups' weight that is matched
// times the share of the peaks' net area its lines explain; a nuclide without a matched
// line is never named.

#include "analysis/NuclideLibrary.h"

#include <functional>
#include <optional>
#include <vector>

namespace tarvio {

struct EnergyPeak {
    double energyKeV = 0.0;
    double energyUncertainty = 0.0;
    double fwhmKeV = 0.0;
    double area = 0.0;
    double areaUncertainty = 0.0;
};

struct LineEvidence {
    double energyKeV = 0.0; // of the group, emission-weighted
    double emission = 0.0;  // per decay, the group's sum
    double emissionUncertainty = 0.0;
    std::string name;                // "gamma", "Np La", or the labels of a merged group
    std::optional<std::size_t> peak; // the matched peak
    double expectedArea = 0.0;       // at the scale of the matched peaks
};

struct NuclideCandidate {
    const Nuclide* nuclide = nullptr;
    double score = 0.0;         // 0..1
    double linesMatched = 0.0;  // share of the expected weight matched
    double areaExplained = 0.0; // share of the peaks' net area
    std::vector<LineEvidence> matched;
    std::vector<LineEvidence> missing; // strong lines not found
};

struct IdentificationOptions {
    double lowKeV = 0.0; // the energy range the spectrum covers
    double highKeV = 1e9;
    std::function<double(double)> fwhmKeV;    // the resolution at an energy
    std::function<double(double)> efficiency; // empty: 1 everywhere
    double minScore = 0.05;
    std::size_t maxCandidates = 5;
};

// Best first.
std::vector<NuclideCandidate> identifyNuclides(const std::vector<EnergyPeak>& peaks,
                                               const NuclideLibrary& library,
                                               const IdentificationOptions& options);

// A nuclide's lines merged where closer than `mergeKeV(energy)`, each group with its
// emission-weighted energy and summed emission.
struct LineGroup {
    double energyKeV = 0.0;
    double emission = 0.0;
    double emissionUncertainty = 0.0;
    std::string name;
};
std::vector<LineGroup> lineGroups(const Nuclide& nuclide, double lowKeV, double highKeV,
                                  const std::function<double(double)>& mergeKeV);

} // namespace tarvio
