#include "cli/PeakReport.h"

#include "analysis/PeakAnalysisText.h"
#include "records/TextFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

using Json = nlohmann::json;

std::string fixed(double value, int decimals) {
    return formatFixed(value, decimals);
}

std::string significant(double value, int digits) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string pad(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths.resize(std::max(widths.size(), row.size()), 0);
            widths[c] = std::max(widths[c], row[c].size());
        }
    std::string text;
    for (const auto& row : rows) {
        std::string line = "  ";
        for (std::size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? pad(row[c], widths[c] + 2) : row[c];
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        text += line + "\n";
    }
    return text;
}

std::string calibrationText(const EnergyCalibration& c) {
    std::string text = "keV = " + significant(c.coefficients[0], 7) + " + " +
                       significant(c.coefficients[1], 7) + " x channel";
    if (!c.isLinear())
        text += " + " + significant(c.coefficients[2], 5) + " x channel^2";
    return text;
}

Json fitJson(const FitValue& v) {
    return Json{{"value", v.value}, {"uncertainty", v.uncertainty}};
}

Json evidenceJson(const LineEvidence& e, const PeakAnalysis& a) {
    Json j{{"energy_keV", e.energyKeV},
           {"emission_percent", e.emission * 100.0},
           {"line", e.name},
           {"expected_area", e.expectedArea}};
    if (e.peak)
        j["peak_keV"] = a.energyPeaks[*e.peak].energyKeV;
    return j;
}

} // namespace

std::string peakRunText(const PeakRun& run) {
    const PeakAnalysis& a = run.analysis;
    const PeakSearchResult& s = a.search;
    std::string text;
    for (const std::string& note : run.notes)
        text += note + "\n";

    if (run.sourceCalibration) {
        const SourceCalibration& c = *run.sourceCalibration;
        text += "Calibrated with " + run.calibrationSource + ": " +
                calibrationText(c.fit.calibration) + "\n";
        std::vector<std::vector<std::string>> rows{{"channel", "line keV", "line", "residual keV"}};
        for (const SourceLineMatch& m : c.matches)
            rows.push_back(
                {fixed(m.channel, 2), fixed(m.energyKeV, 3), m.name, fixed(m.residualKeV, 3)});
        text += table(rows);
    }

    const double low = s.peaks.empty() ? 100.0 : s.peaks.front().centroid.value;
    const double high = s.peaks.empty() ? 1000.0 : s.peaks.back().centroid.value;
    text += std::to_string(s.peaks.size()) + (s.peaks.size() == 1 ? " peak" : " peaks") +
            " above the threshold (expected FWHM " + fixed(s.fwhm.at(low), 1) +
            " channels at channel " + fixed(low, 0) + ", " + fixed(s.fwhm.at(high), 1) + " at " +
            fixed(high, 0) + (s.fwhmFromSpectrum ? ", from the spectrum)" : ")") + "\n";
    if (!s.peaks.empty()) {
        const bool energy = !a.energyPeaks.empty();
        std::vector<std::vector<std::string>> rows;
        if (energy)
            rows.push_back({"channel", "keV", "FWHM keV", "net area", "sigma", "nuclide"});
        else
            rows.push_back({"channel", "FWHM", "net area", "sigma"});
        for (std::size_t k = 0; k < s.peaks.size(); ++k) {
            const FoundPeak& p = s.peaks[k];
            std::vector<std::string> row{
                valueWithUncertainty(p.centroid.value, p.centroid.uncertainty)};
            if (energy) {
                const EnergyPeak& e = a.energyPeaks[k];
                row.push_back(valueWithUncertainty(e.energyKeV, e.energyUncertainty));
                row.push_back(fixed(e.fwhmKeV, 2));
            } else {
                row.push_back(valueWithUncertainty(p.fwhm.value, p.fwhm.uncertainty));
            }
            row.push_back(valueWithUncertainty(p.area.value, p.area.uncertainty));
            row.push_back(fixed(p.significance, 1));
            if (energy)
                row.push_back(a.peakLabels[k].empty() ? "-" : a.peakLabels[k]);
            rows.push_back(std::move(row));
        }
        text += table(rows);
    }

    if (!a.candidates.empty()) {
        text += candidatesText(a);
    } else if (run.identified) {
        text += "No nuclide of the library explains these peaks.\n";
    }

    if (run.efficiency) {
        const EfficiencyRun& e = *run.efficiency;
        text += "Efficiency from " + e.file + " (" + e.nuclide + ", " +
                significant(e.activityBq, 6) + " Bq):\n";
        std::vector<std::vector<std::string>> rows{{"keV", "efficiency", "line"}};
        for (const EfficiencyPoint& p : e.points)
            rows.push_back(
                {fixed(p.energyKeV, 3), valueWithUncertainty(p.efficiency, p.uncertainty), p.line});
        text += table(rows);
        text += "  curve: ln(efficiency) = polynomial of ln(E / " + fixed(e.curve.referenceKeV, 0) +
                " keV) of degree " + std::to_string(e.curve.coefficients.size() - 1) +
                ", fitted from " + fixed(e.curve.lowKeV, 1) + " to " + fixed(e.curve.highKeV, 1) +
                " keV\n";
    }
    if (!a.activities.empty()) {
        text += "Activities:\n";
        for (const NuclideActivity& act : a.activities) {
            text += "  " + act.nuclide + "  " +
                    valueWithUncertainty(act.activityBq, act.uncertaintyBq) + " Bq (";
            for (std::size_t k = 0; k < act.lines.size(); ++k)
                text += (k ? ", " : "") + fixed(act.lines[k].energyKeV, 1) + " keV " +
                        valueWithUncertainty(act.lines[k].activityBq, act.lines[k].uncertaintyBq);
            text += ")\n";
        }
    }
    return text;
}

Json peakRunJson(const PeakRun& run) {
    const PeakAnalysis& a = run.analysis;
    Json peaks = Json::array();
    for (std::size_t k = 0; k < a.search.peaks.size(); ++k) {
        const FoundPeak& p = a.search.peaks[k];
        Json j{{"channel", fitJson(p.centroid)},
               {"fwhm", fitJson(p.fwhm)},
               {"area", fitJson(p.area)},
               {"significance", p.significance},
               {"background_per_channel", p.background}};
        if (!a.energyPeaks.empty()) {
            const EnergyPeak& e = a.energyPeaks[k];
            j["energy_keV"] = Json{{"value", e.energyKeV}, {"uncertainty", e.energyUncertainty}};
            j["fwhm_keV"] = e.fwhmKeV;
            j["nuclide"] = a.peakLabels[k].empty() ? Json(nullptr) : Json(a.peakLabels[k]);
        }
        peaks.push_back(std::move(j));
    }
    Json result{{"peaks", peaks},
                {"expected_fwhm", Json{{"a", a.search.fwhm.a}, {"b", a.search.fwhm.b}}}};
    if (run.sourceCalibration) {
        Json matches = Json::array();
        for (const SourceLineMatch& m : run.sourceCalibration->matches)
            matches.push_back({{"channel", m.channel},
                               {"energy_keV", m.energyKeV},
                               {"line", m.name},
                               {"residual_keV", m.residualKeV}});
        result["calibrated_with"] =
            Json{{"source", run.calibrationSource},
                 {"coefficients", run.sourceCalibration->fit.calibration.coefficients},
                 {"matches", matches}};
    }
    if (a.calibration)
        result["calibration"] = a.calibration->coefficients;
    Json nuclides = Json::array();
    for (const NuclideCandidate& c : a.candidates) {
        Json matched = Json::array(), missing = Json::array();
        for (const LineEvidence& e : c.matched)
            matched.push_back(evidenceJson(e, a));
        for (const LineEvidence& e : c.missing)
            missing.push_back(evidenceJson(e, a));
        nuclides.push_back({{"nuclide", c.nuclide->name},
                            {"half_life_s", c.nuclide->halfLifeSeconds},
                            {"score", c.score},
                            {"lines_matched", c.linesMatched},
                            {"area_explained", c.areaExplained},
                            {"found", matched},
                            {"missing", missing}});
    }
    result["nuclides"] = nuclides;
    if (run.efficiency) {
        Json points = Json::array();
        for (const EfficiencyPoint& p : run.efficiency->points)
            points.push_back({{"energy_keV", p.energyKeV},
                              {"efficiency", p.efficiency},
                              {"uncertainty", p.uncertainty},
                              {"line", p.line}});
        result["efficiency"] = {{"file", run.efficiency->file},
                                {"source", run.efficiency->nuclide},
                                {"activity_Bq", run.efficiency->activityBq},
                                {"points", points},
                                {"curve_coefficients", run.efficiency->curve.coefficients},
                                {"curve_reference_keV", run.efficiency->curve.referenceKeV}};
    }
    Json activities = Json::array();
    for (const NuclideActivity& act : a.activities)
        activities.push_back({{"nuclide", act.nuclide},
                              {"activity_Bq", act.activityBq},
                              {"uncertainty_Bq", act.uncertaintyBq}});
    result["activities"] = activities;
    result["notes"] = run.notes;
    return result;
}

} // namespace tarvio
