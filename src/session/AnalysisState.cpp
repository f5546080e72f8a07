#include "session/AnalysisState.h"

#include "settings/AnalysisSettings.h"
#include "settings/IniFile.h"

namespace tarvio {

namespace {

constexpr const char* FlatLineText =
    "Calibration undefined: the two calibration energies must be at least one keV apart.";

} // namespace

std::optional<EnergyCalibration>
activeCalibration(const CalibrationPoint& point1, const CalibrationPoint& point2,
                  const std::optional<EnergyCalibration>& fromPeaks) {
    if (fromPeaks)
        return fromPeaks;
    const auto line = CalibrationLine::fromPoints(point1, point2);
    if (!line || line->gain <= 0.0)
        return std::nullopt;
    return EnergyCalibration::fromLine(*line);
}

std::string calibrationProblem(const CalibrationPoint& point1, const CalibrationPoint& point2) {
    const auto line = CalibrationLine::fromPoints(point1, point2);
    if (!line)
        return CalibrationUndefinedText;
    return line->gain > 0.0 ? std::string() : std::string(FlatLineText);
}

void AnalysisState::load(const IniFile& ini) {
    AnalysisSettings s = readAnalysisSettings(ini);
    regions_ = std::move(s.regions);
    fits_.assign(regions_.size(), std::nullopt);
    pairs_ = std::move(s.calibrationPairs);
    model_ = s.calibrationModel;
    fromPeaks_ = s.polynomial;
    changed();
}

void AnalysisState::save(IniFile& ini) const {
    AnalysisSettings s;
    s.regions = regions_;
    s.calibrationPairs = pairs_;
    s.calibrationModel = model_;
    s.polynomial = fromPeaks_;
    writeAnalysisSettings(ini, s);
}

void AnalysisState::setTwoPoints(const CalibrationPoint& point1, const CalibrationPoint& point2) {
    point1_ = point1;
    point2_ = point2;
    fromPeaks_.reset();
    changed();
}

void AnalysisState::loadTwoPoints(const CalibrationPoint& point1, const CalibrationPoint& point2) {
    point1_ = point1;
    point2_ = point2;
    changed();
}

void AnalysisState::setCalibrationFromPeaks(std::vector<CalibrationPoint> pairs,
                                            CalibrationModel model,
                                            std::optional<EnergyCalibration> calibration) {
    pairs_ = std::move(pairs);
    model_ = model;
    fromPeaks_ = calibration;
    changed();
}

std::optional<EnergyCalibration> AnalysisState::activeCalibration() const {
    return tarvio::activeCalibration(point1_, point2_, fromPeaks_);
}

std::string AnalysisState::calibrationProblem() const {
    return fromPeaks_ ? std::string() : tarvio::calibrationProblem(point1_, point2_);
}

bool AnalysisState::addRegion(Region region) {
    if (regions_.size() >= MaxRegions)
        return false;
    regions_.push_back(Region::between(region.first, region.last));
    fits_.emplace_back();
    changed();
    return true;
}

void AnalysisState::deleteRegion(std::size_t index) {
    if (index >= regions_.size())
        return;
    regions_.erase(regions_.begin() + static_cast<std::ptrdiff_t>(index));
    fits_.erase(fits_.begin() + static_cast<std::ptrdiff_t>(index));
    changed();
}

void AnalysisState::deleteAllRegions() {
    regions_.clear();
    fits_.clear();
    changed();
}

void AnalysisState::setRegions(std::vector<Region> regions) {
    regions_ = std::move(regions);
    fits_.assign(regions_.size(), std::nullopt);
    changed();
}

PeakFitResult AnalysisState::fitRegion(std::size_t index, const Spectrum& spectrum) {
    PeakFitResult result = fitGaussianPeak(spectrum, regions_.at(index));
    fits_[index] = result.fit;
    return result;
}

std::vector<RegionFigures> AnalysisState::figures(const Spectrum& spectrum,
                                                  std::optional<double> liveSeconds) const {
    std::vector<RegionFigures> all;
    all.reserve(regions_.size());
    for (const Region& r : regions_)
        all.push_back(regionFigures(spectrum, r, liveSeconds));
    return all;
}

void AnalysisState::changed() {
    for (const Listener& listener : listeners_)
        listener();
}

} // namespace tarvio
