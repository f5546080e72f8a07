#include "analysis/SourceCalibration.h"

#include "analysis/NuclideIdentification.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

constexpr std::size_t PatternGroups = 6; // the strongest line groups tried as anchors
constexpr std::size_t PatternPeaks = 12; // the largest peaks tried as anchors
// A line whose residuals spread less than this is kept even where a quadratic does better.
constexpr double QuadraticWorthKeV = 0.05;

struct Trial {
    double offset = 0.0;
    double gain = 0.0;
    double score = -1.0;
    double spread = 1e300;
    int matches = 0;
};

// The peak nearest to a channel within half its expected FWHM, if any not yet used.
std::optional<std::size_t> peakNear(const PeakSearchResult& search, double channel,
                                    const std::vector<bool>& used) {
    std::optional<std::size_t> best;
    double bestDistance = 1e300;
    for (std::size_t k = 0; k < search.peaks.size(); ++k) {
        if (used[k])
            continue;
        const double d = std::abs(search.peaks[k].centroid.value - channel);
        if (d <= 0.5 * search.fwhm.at(channel) && d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

// A trial line's matches: as many as possible, then the closest to a straight line through
// them (in FWHM), then the most emission.
Trial score(const PeakSearchResult& search, const std::vector<LineGroup>& groups, double offset,
            double gain) {
    Trial t{offset, gain, 0.0, 0.0, 0};
    std::vector<bool> used(search.peaks.size(), false);
    double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    std::vector<std::pair<double, double>> pairs;
    for (const LineGroup& g : groups) {
        const double channel = (g.energyKeV - offset) / gain;
        if (const auto k = peakNear(search, channel, used)) {
            used[*k] = true;
            t.score += g.emission;
            const double c = search.peaks[*k].centroid.value;
            pairs.emplace_back(c, g.energyKeV);
            n += 1;
            sx += c;
            sy += g.energyKeV;
            sxx += c * c;
            sxy += c * g.energyKeV;
            ++t.matches;
        }
    }
    const double det = n * sxx - sx * sx;
    if (t.matches >= 3 && det > 0.0) {
        const double b = (n * sxy - sx * sy) / det;
        const double a = (sy - b * sx) / n;
        for (const auto& [c, e] : pairs) {
            const double miss = (e - (a + b * c)) / (b * search.fwhm.at(c));
            t.spread += miss * miss;
        }
    }
    return t;
}

bool better(const Trial& t, const Trial& best) {
    if (t.matches != best.matches)
        return t.matches > best.matches;
    if (std::abs(t.spread - best.spread) > 1e-6)
        return t.spread < best.spread;
    return t.score > best.score + 1e-9;
}

} // namespace

SourceCalibrationResult calibrateWithSource(const PeakSearchResult& search, const Nuclide& source,
                                            std::size_t channels) {
    if (search.peaks.size() < 2)
        return {std::nullopt, "The spectrum shows fewer than two peaks; a calibration with " +
                                  source.name + " needs two of its lines at least."};
    // Groups for the pattern: lines within a keV are one peak to any detector here.
    auto groups = lineGroups(source, 1.0, 1e9, [](double) { return 1.0; });
    if (groups.size() < 2)
        return {std::nullopt, source.name + " has fewer than two lines in the library."};
    auto anchors = groups;
    std::sort(anchors.begin(), anchors.end(),
              [](const auto& a, const auto& b) { return a.emission > b.emission; });
    if (anchors.size() > PatternGroups)
        anchors.resize(PatternGroups);
    std::vector<std::size_t> peakOrder(search.peaks.size());
    for (std::size_t k = 0; k < peakOrder.size(); ++k)
        peakOrder[k] = k;
    std::sort(peakOrder.begin(), peakOrder.end(), [&](std::size_t a, std::size_t b) {
        return search.peaks[a].area.value > search.peaks[b].area.value;
    });
    if (peakOrder.size() > PatternPeaks)
        peakOrder.resize(PatternPeaks);

    Trial best;
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        for (std::size_t j = 0; j < anchors.size(); ++j) {
            if (anchors[j].energyKeV <= anchors[i].energyKeV)
                continue;
            for (std::size_t a : peakOrder) {
                for (std::size_t b : peakOrder) {
                    const double ca = search.peaks[a].centroid.value;
                    const double cb = search.peaks[b].centroid.value;
                    if (cb <= ca)
                        continue;
                    const double gain = (anchors[j].energyKeV - anchors[i].energyKeV) / (cb - ca);
                    const double offset = anchors[i].energyKeV - gain * ca;
                    // The axis must keep channel 0 within a fifth of the full range of zero.
                    if (std::abs(offset) > 0.2 * gain * static_cast<double>(channels))
                        continue;
                    const Trial t = score(search, groups, offset, gain);
                    if (t.matches >= 2 && better(t, best))
                        best = t;
                }
            }
        }
    }
    if (best.matches < 2)
        return {std::nullopt, "No two peaks lie as " + source.name +
                                  "'s lines do; is it the source in front of the detector?"};

    // All groups again, merged at the resolution now known, matched under the best trial.
    const auto fwhmKeV = [&](double e) {
        return best.gain * search.fwhm.at((e - best.offset) / best.gain);
    };
    groups = lineGroups(source, 0.0, 1e9, [&](double e) { return 0.8 * fwhmKeV(e); });
    SourceCalibration result;
    std::vector<CalibrationPoint> pairs;
    std::vector<bool> used(search.peaks.size(), false);
    for (const LineGroup& g : groups) {
        const auto k = peakNear(search, (g.energyKeV - best.offset) / best.gain, used);
        if (!k)
            continue;
        used[*k] = true;
        result.matches.push_back({*k, search.peaks[*k].centroid.value, g.energyKeV, g.name, 0.0});
        pairs.push_back({search.peaks[*k].centroid.value, g.energyKeV});
    }
    // A line unless a quadratic fits five or more lines clearly better: a curve fitted over
    // a short stretch of energies bends wildly beyond it.
    auto fitted = fitCalibration(pairs, CalibrationModel::Line);
    if (!fitted.fit)
        return {std::nullopt, fitted.error};
    if (pairs.size() >= 5) {
        auto curved = fitCalibration(pairs, CalibrationModel::Quadratic);
        if (curved.fit && curved.fit->residualSpread && fitted.fit->residualSpread &&
            *curved.fit
                 ->residualSpread<0.5 * *fitted.fit->residualSpread&& * fitted.fit->residualSpread>
                     QuadraticWorthKeV)
            fitted = std::move(curved);
    }
    for (std::size_t m = 0; m < result.matches.size(); ++m)
        result.matches[m].residualKeV = fitted.fit->residuals[m];
    result.fit = std::move(*fitted.fit);
    return {std::move(result), {}};
}

std::optional<PatternCalibration> calibrateByPattern(const PeakSearchResult& search,
                                                     const NuclideLibrary& library,
                                                     std::size_t channels) {
    std::optional<PatternCalibration> best;
    double bestWorst = 0.0;
    for (const Nuclide& nuclide : library.nuclides()) {
        SourceCalibrationResult r = calibrateWithSource(search, nuclide, channels);
        if (!r.calibration || r.calibration->matches.size() < 3)
            continue;
        double worst = 0.0;
        for (const SourceLineMatch& m : r.calibration->matches)
            worst = std::max(worst, std::abs(m.residualKeV));
        const std::size_t n = r.calibration->matches.size();
        const std::size_t bestN = best ? best->calibration.matches.size() : 0;
        if (!best || n > bestN || (n == bestN && worst < bestWorst)) {
            best = PatternCalibration{&nuclide, std::move(*r.calibration)};
            bestWorst = worst;
        }
    }
    return best;
}

} // namespace tarvio
