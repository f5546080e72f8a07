#include "cli/RegionReport.h"

#include "cli/RegionArgument.h"
#include "records/TextFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace tarvio {

namespace {

using Json = nlohmann::json;

constexpr const char* Absent = "-";

std::string fixed(std::optional<double> value, int decimals) {
    return value ? formatFixed(*value, decimals) : Absent;
}

Json orNull(std::optional<double> value) {
    return value ? Json(*value) : Json(nullptr);
}

Json fitValue(const FitValue& value) {
    return Json{{"value", value.value}, {"uncertainty", value.uncertainty}};
}

struct Column {
    const char* title;
    bool energy; // shown only when some region has an energy axis
};

// A resolution is FWHM over energy: channel 0 is not 0 keV, so channels give none.
constexpr Column Columns[] = {
    {"region", false},      {"gross", false},   {"net", false},        {"+-net", false},
    {"net/s", false},       {"+-net/s", false}, {"centroid", false},   {"FWHM", false},
    {"centroid keV", true}, {"FWHM keV", true}, {"resolution%", true},
};

std::vector<std::string> rowOf(const RegionReport& report) {
    const RegionFigures& f = report.figures;
    std::vector<std::string> row = {
        regionText(f.region),  formatFixed(f.gross, 0),
        formatFixed(f.net, 1), formatFixed(f.netUncertainty, 1),
        fixed(f.netRate, 4),   fixed(f.netRateUncertainty, 4),
        fixed(f.centroid, 2),  fixed(f.fwhm, 2),
    };
    if (report.energy) {
        row.push_back(fixed(report.energy->centroidKeV, 3));
        row.push_back(fixed(report.energy->fwhmKeV, 3));
        row.push_back(fixed(report.energy->resolutionPercent, 2));
    } else {
        row.insert(row.end(), 3, Absent);
    }
    return row;
}

std::string fitLine(const PeakFitResult& result) {
    if (!result.fit)
        return "  fit: " + result.error;
    const PeakFit& fit = *result.fit;
    std::string line =
        "  fit: centroid " + formatFixed(fit.centroid.value, 3) + " +- " +
        formatFixed(fit.centroid.uncertainty, 3) + ", FWHM " + formatFixed(fit.fwhm.value, 3) +
        " +- " + formatFixed(fit.fwhm.uncertainty, 3) + ", area " + formatFixed(fit.area.value, 1) +
        " +- " + formatFixed(fit.area.uncertainty, 1);
    if (fit.degreesOfFreedom > 0)
        line += ", chi2/dof " + formatFixed(fit.chiSquare / fit.degreesOfFreedom, 3);
    return line;
}

} // namespace

std::vector<RegionReport> reportRegions(const Spectrum& spectrum,
                                        const std::vector<Region>& regions,
                                        std::optional<double> liveSeconds,
                                        const std::optional<EnergyCalibration>& calibration,
                                        bool fit) {
    std::vector<RegionReport> reports;
    for (const Region& region : regions) {
        RegionReport report;
        report.figures = regionFigures(spectrum, region, liveSeconds);
        if (calibration)
            report.energy = regionEnergyFigures(report.figures, *calibration);
        if (fit)
            report.fit = fitGaussianPeak(spectrum, region);
        reports.push_back(std::move(report));
    }
    return reports;
}

std::string regionTable(const std::vector<RegionReport>& reports) {
    const bool energy = std::any_of(reports.begin(), reports.end(),
                                    [](const RegionReport& r) { return r.energy.has_value(); });
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header;
    for (const Column& column : Columns)
        if (energy || !column.energy)
            header.emplace_back(column.title);
    rows.push_back(header);
    for (const RegionReport& report : reports) {
        std::vector<std::string> row = rowOf(report);
        row.resize(header.size());
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(header.size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());

    std::string text;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto& row = rows[r];
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            // The region left-aligned, the numbers right-aligned under their titles.
            const std::string pad(widths[i] - row[i].size(), ' ');
            line += i == 0 ? row[i] + pad : "  " + pad + row[i];
        }
        text += line.substr(0, line.find_last_not_of(' ') + 1) + '\n';
        if (r == 0)
            continue;
        const RegionReport& report = reports[r - 1];
        if (report.fit)
            text += fitLine(*report.fit) + '\n';
        if (!report.figures.remark.empty())
            text += "  note: " + report.figures.remark + '\n';
    }
    return text;
}

Json regionJson(const std::vector<RegionReport>& reports) {
    Json all = Json::array();
    for (const RegionReport& report : reports) {
        const RegionFigures& f = report.figures;
        Json item = {
            {"first", f.region.first},
            {"last", f.region.last},
            {"gross", f.gross},
            {"background", f.background},
            {"net", f.net},
            {"net_uncertainty", f.netUncertainty},
            {"net_rate", orNull(f.netRate)},
            {"net_rate_uncertainty", orNull(f.netRateUncertainty)},
            {"centroid", orNull(f.centroid)},
            {"centroid_uncertainty", orNull(f.centroidUncertainty)},
            {"fwhm", orNull(f.fwhm)},
        };
        if (report.energy)
            item["keV"] = {{"centroid", orNull(report.energy->centroidKeV)},
                           {"fwhm", orNull(report.energy->fwhmKeV)},
                           {"resolution_percent", orNull(report.energy->resolutionPercent)}};
        if (report.fit) {
            if (const auto& fit = report.fit->fit)
                item["fit"] = {{"centroid", fitValue(fit->centroid)},
                               {"sigma", fitValue(fit->sigma)},
                               {"fwhm", fitValue(fit->fwhm)},
                               {"area", fitValue(fit->area)},
                               {"background_at_centroid", fit->backgroundAtCentroid},
                               {"background_slope", fit->backgroundSlope},
                               {"chi_square", fit->chiSquare},
                               {"degrees_of_freedom", fit->degreesOfFreedom}};
            else
                item["fit"] = {{"error", report.fit->error}};
        }
        if (!f.remark.empty())
            item["remark"] = f.remark;
        all.push_back(std::move(item));
    }
    return all;
}

} // namespace tarvio
