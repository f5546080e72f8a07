#include "analysis/NuclideIdentification.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

std::string lineName(const LibraryLine& line) {
    if (!line.label.empty())
        return line.label;
    return line.kind == LineKind::Annihilation ? "annihilation" : "gamma";
}

} // namespace

std::vector<LineGroup> lineGroups(const Nuclide& nuclide, double lowKeV, double highKeV,
                                  const std::function<double(double)>& mergeKeV) {
    std::vector<LineGroup> groups;
    double lastEnergy = -1e9;
    double weightedSum = 0.0;
    double variance = 0.0;
    for (const LibraryLine& line : nuclide.lines) {
        if (line.energyKeV < lowKeV || line.energyKeV > highKeV || line.emission <= 0.0)
            continue;
        const bool join = !groups.empty() && line.energyKeV - lastEnergy < mergeKeV(line.energyKeV);
        if (!join) {
            groups.push_back({});
            weightedSum = 0.0;
            variance = 0.0;
        }
        LineGroup& g = groups.back();
        weightedSum += line.energyKeV * line.emission;
        g.emission += line.emission;
        variance += line.emissionUncertainty * line.emissionUncertainty;
        g.emissionUncertainty = std::sqrt(variance);
        g.energyKeV = weightedSum / g.emission;
        g.name = g.name.empty() ? lineName(line) : g.name + " + " + lineName(line);
        lastEnergy = line.energyKeV;
    }
    return groups;
}

std::vector<NuclideCandidate> identifyNuclides(const std::vector<EnergyPeak>& peaks,
                                               const NuclideLibrary& library,
                                               const IdentificationOptions& options) {
    std::vector<NuclideCandidate> candidates;
    if (peaks.empty())
        return candidates;
    const auto fwhm = [&](double e) {
        return options.fwhmKeV ? std::max(options.fwhmKeV(e), 1e-3) : 1.0;
    };
    const auto efficiency = [&](double e) {
        return options.efficiency ? std::max(options.efficiency(e), 0.0) : 1.0;
    };
    double totalArea = 0.0;
    double weakest = 1e300; // the smallest area that was found to stand as a peak
    for (const EnergyPeak& p : peaks) {
        totalArea += std::max(p.area, 0.0);
        weakest = std::min(weakest, p.area);
    }

    for (const Nuclide& nuclide : library.nuclides()) {
        const auto groups = lineGroups(nuclide, options.lowKeV, options.highKeV,
                                       [&](double e) { return 0.8 * fwhm(e); });
        if (groups.empty())
            continue;
        NuclideCandidate c;
        c.nuclide = &nuclide;
        std::vector<LineEvidence> all;
        std::vector<bool> used(peaks.size(), false);
        std::vector<bool> taken(peaks.size(), false);
        double sumAw = 0.0, sumWw = 0.0;
        for (const LineGroup& g : groups) {
            LineEvidence e{g.energyKeV, g.emission,   g.emissionUncertainty,
                           g.name,      std::nullopt, 0.0};
            double best = 1e300;
            for (std::size_t k = 0; k < peaks.size(); ++k) {
                if (taken[k])
                    continue; // one peak is one line group of a nuclide
                const double d = std::abs(peaks[k].energyKeV - g.energyKeV);
                const double tolerance =
                    std::max(0.5 * fwhm(g.energyKeV), 3.0 * peaks[k].energyUncertainty);
                if (d <= tolerance && d < best) {
                    best = d;
                    e.peak = k;
                }
            }
            const double w = g.emission * efficiency(g.energyKeV);
            if (e.peak) {
                taken[*e.peak] = true;
                sumAw += peaks[*e.peak].area * w;
                sumWw += w * w;
            }
            all.push_back(e);
        }
        if (sumWw <= 0.0)
            continue; // nothing matched: no evidence, no name
        const double scale = sumAw / sumWw;
        double matchedWeight = 0.0, expectedWeight = 0.0, explained = 0.0;
        for (LineEvidence& e : all) {
            const double w = e.emission * efficiency(e.energyKeV);
            e.expectedArea = scale * w;
            if (e.peak) {
                matchedWeight += w;
                expectedWeight += w;
                if (!used[*e.peak]) {
                    used[*e.peak] = true;
                    explained += std::max(peaks[*e.peak].area, 0.0);
                }
                c.matched.push_back(e);
            } else if (e.expectedArea >= weakest) {
                expectedWeight += w;
                c.missing.push_back(e);
            }
        }
        c.linesMatched = expectedWeight > 0.0 ? matchedWeight / expectedWeight : 0.0;
        c.areaExplained = totalArea > 0.0 ? explained / totalArea : 0.0;
        c.score = c.linesMatched * c.areaExplained;
        if (c.score >= options.minScore)
            candidates.push_back(std::move(c));
    }
    for (NuclideCandidate& c : candidates)
        std::sort(c.missing.begin(), c.missing.end(),
                  [](const auto& a, const auto& b) { return a.expectedArea > b.expectedArea; });
    std::sort(candidates.begin(), candidates.end(),
              [](const auto& a, const auto& b) { return a.score > b.score; });
    if (candidates.size() > options.maxCandidates)
        candidates.resize(options.maxCandidates);
    return candidates;
}

} // namespace tarvio
