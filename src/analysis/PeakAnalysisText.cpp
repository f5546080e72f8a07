#include "analysis/PeakAnalysisText.h"

#include "records/TextFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

std::string significant(double value, int digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

} // namespace

std::string valueWithUncertainty(double value, double uncertainty) {
    int decimals = 0;
    if (uncertainty > 0.0 && std::isfinite(uncertainty))
        decimals = std::clamp(1 - static_cast<int>(std::floor(std::log10(uncertainty))), 0, 6);
    return formatFixed(value, decimals) + " +- " + formatFixed(uncertainty, decimals);
}

std::string halfLifeText(double seconds) {
    struct Unit {
        const char* name;
        double seconds;
    };
    const Unit units[] = {{"y", SecondsPerYear}, {"d", 86400.0}, {"h", 3600.0}, {"min", 60.0}};
    for (const Unit& u : units)
        if (seconds >= u.seconds)
            return significant(seconds / u.seconds, 5) + " " + u.name;
    return significant(seconds, 5) + " s";
}

std::string candidatesText(const PeakAnalysis& a) {
    if (a.candidates.empty())
        return {};
    std::string text = "Nuclides, best first:\n";
    int rank = 0;
    for (const NuclideCandidate& c : a.candidates) {
        const std::size_t expected = c.matched.size() + c.missing.size();
        text += "  " + std::to_string(++rank) + ". " + c.nuclide->name + " (half-life " +
                halfLifeText(c.nuclide->halfLifeSeconds) + "): score " + formatFixed(c.score, 2) +
                ", " + std::to_string(c.matched.size()) + " of " + std::to_string(expected) +
                " expected line groups found, " + formatFixed(c.areaExplained * 100.0, 0) +
                " % of the net area explained\n";
        for (const LineEvidence& e : c.matched)
            text += "       found    " + formatFixed(e.energyKeV, 3) + " keV " + e.name + " (" +
                    significant(e.emission * 100.0, 4) + " %) at " +
                    formatFixed(a.energyPeaks[*e.peak].energyKeV, 3) + " keV\n";
        for (const LineEvidence& e : c.missing)
            text += "       missing  " + formatFixed(e.energyKeV, 3) + " keV " + e.name + " (" +
                    significant(e.emission * 100.0, 4) + " %), about " +
                    formatFixed(e.expectedArea, 0) + " counts expected\n";
    }
    return text;
}

std::string peakLabel(const PeakAnalysis& a, std::size_t peak) {
    if (peak >= a.search.peaks.size())
        return {};
    if (a.energyPeaks.size() != a.search.peaks.size())
        return "ch " + formatFixed(a.search.peaks[peak].centroid.value, 1);
    std::string label = formatFixed(a.energyPeaks[peak].energyKeV, 2) + " keV";
    if (!a.peakLabels[peak].empty())
        label += " " + a.peakLabels[peak];
    return label;
}

} // namespace tarvio
