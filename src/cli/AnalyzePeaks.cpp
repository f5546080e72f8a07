#include "cli/AnalyzePeaks.h"

#include "analysis/KnownSourceEfficiency.h"
#include "analysis/SourceRemark.h"
#include "cli/CommandErrors.h"
#include "cli/SpectrumInput.h"
#include "formats/FormatText.h"
#include "records/TextFormat.h"

#include <algorithm>

#include <cmath>

namespace tarvio {

namespace {

std::vector<double> countsOf(const MeasuredSpectrum& measured) {
    return std::vector<double>(measured.counts.begin(), measured.counts.end());
}

const Nuclide& nuclideOrRefuse(const NuclideLibrary& library, const std::string& name,
                               const std::string& option) {
    const Nuclide* nuclide = library.find(name);
    if (!nuclide)
        throw UsageError(option + ": '" + name + "' is not in the nuclide library");
    return *nuclide;
}

std::int64_t dateOrRefuse(const std::string& text, const std::string& option) {
    const auto parsed = parseDateTime(text);
    if (parsed)
        return parsed->utcMs;
    // A bare date is midnight UTC.
    if (const auto day = parseDateTime(text + "T00:00:00Z"))
        return day->utcMs;
    throw UsageError(option + ": '" + text +
                     "' is not a date (2026-12-09 or 2026-12-09T10:00:00Z)");
}

SourceCalibration calibrateOrFail(const std::vector<double>& counts, const Nuclide& source,
                                  double sigma) {
    PeakSearchOptions options;
    options.threshold = sigma;
    const PeakSearchResult search = searchPeaks(counts, options);
    SourceCalibrationResult result = calibrateWithSource(search, source, counts.size());
    if (!result.calibration)
        throw CommandFailure(ExitCode::AnalysisFailed, result.error);
    return std::move(*result.calibration);
}

// The efficiency curve from the known source's spectrum.
EfficiencyRun efficiencyFrom(const PeakRequest& request, const NuclideLibrary& library,
                             std::ostream& err) {
    EfficiencyRun run;
    run.file = *request.efficiencyFile;
    const MeasuredSpectrum known = readSpectrumInput(run.file, err);
    std::optional<SourceNote> note;
    if (request.efficiencySource) {
        note = parseSourceArgument(*request.efficiencySource);
        if (!note)
            throw UsageError("--efficiency-source: '" + *request.efficiencySource +
                             "' is not NUCLIDE:BQ or NUCLIDE:BQ@DATE (Am-241:37000@2024-01-01)");
    } else {
        note = findSourceRemark(known.remarks);
        if (!note)
            throw UsageError("--efficiency: " + run.file +
                             " does not say which source it measured; add --efficiency-source "
                             "NUCLIDE:BQ[@DATE]");
    }
    nuclideOrRefuse(library, note->nuclide, "--efficiency-source");
    const KnownSpectrum spectrum{countsOf(known), known.calibration, known.measurement.liveSeconds,
                                 known.measurement.realSeconds, known.measurement.startUtcMs};
    KnownSourceEfficiency made = efficiencyFromKnownSource(spectrum, *note, library, request.sigma);
    if (!made.curve)
        throw CommandFailure(ExitCode::AnalysisFailed, run.file + ": " + made.error);
    run.nuclide = made.nuclide;
    run.activityBq = made.activityBq;
    run.points = std::move(made.points);
    run.curve = std::move(*made.curve);
    return run;
}

} // namespace

PeakRun runPeaks(const MeasuredSpectrum& measured, const PeakRequest& request,
                 const NuclideLibrary& library, std::ostream& err) {
    if (!(request.sigma > 0.0))
        throw UsageError("--sigma must be above 0");
    PeakRun run;
    const std::vector<double> counts = countsOf(measured);
    std::optional<EnergyCalibration> calibration = measured.calibration;
    if (request.calibrateWith) {
        const Nuclide& source =
            nuclideOrRefuse(library, *request.calibrateWith, "--calibrate-with");
        run.sourceCalibration = calibrateOrFail(counts, source, request.sigma);
        run.calibrationSource = source.name;
        calibration = run.sourceCalibration->fit.calibration;
    }
    if (request.efficiencyFile)
        run.efficiency = efficiencyFrom(request, library, err);

    PeakAnalysisOptions options;
    options.search.threshold = request.sigma;
    const bool identify = request.identify || run.efficiency.has_value();
    if (identify && !calibration) {
        // No axis: the library's best-fitting pattern gives one, said as such.
        PeakSearchOptions search;
        search.threshold = request.sigma;
        if (auto pattern =
                calibrateByPattern(searchPeaks(counts, search), library, counts.size())) {
            double worst = 0.0;
            for (const SourceLineMatch& m : pattern->calibration.matches)
                worst = std::max(worst, std::abs(m.residualKeV));
            run.notes.push_back(
                "The file has no energy calibration: the peaks lie as " +
                std::to_string(pattern->calibration.matches.size()) + " line groups of " +
                pattern->nuclide->name + " do (largest residual " + formatFixed(worst, 3) +
                " keV), and that calibration is used here. --calibrate-with SOURCE or a "
                "calibrated file decides it instead.");
            run.calibrationSource = pattern->nuclide->name;
            run.sourceCalibration = std::move(pattern->calibration);
            calibration = run.sourceCalibration->fit.calibration;
        }
    }
    if (identify && !calibration)
        run.notes.push_back("No nuclides named: the spectrum has no energy calibration and its "
                            "peaks fit no nuclide's pattern (--calibrate-with SOURCE makes one).");
    else if (identify)
        options.library = &library;
    if (run.efficiency) {
        options.efficiency = run.efficiency->curve;
        options.liveSeconds = measured.measurement.liveSeconds.value_or(0.0);
        if (options.liveSeconds <= 0.0)
            run.notes.push_back("No activities: the spectrum has no live time.");
        options.timing.realSeconds = measured.measurement.realSeconds.value_or(0.0);
        if (request.activityDate) {
            const std::int64_t date = dateOrRefuse(*request.activityDate, "--activity-date");
            if (!measured.measurement.startUtcMs)
                run.notes.push_back("The spectrum has no start time: activities are for its "
                                    "start, not for --activity-date.");
            else
                options.timing.startAfterReferenceSeconds =
                    static_cast<double>(*measured.measurement.startUtcMs - date) / 1000.0;
        }
    }
    run.identified = options.library != nullptr;
    run.analysis = analyzePeaks(counts, calibration, options);
    return run;
}

} // namespace tarvio
