#pragma once
// What the operator has made of the spectrum, apart from any window: the regions of interest
// with their fits, the two calibration points, the pairs and model of the calibration from
// peaks, and the one energy axis in use. The graph, every saved format, the region figures
// and the command line all take activeCalibration(), so they cannot disagree.
//
// Not thread-safe: the front-end's thread owns it. Listeners hear every change (the window
// writes its settings from it, the session keeps the record's calibration from it).

#include "analysis/CalibrationFit.h"
#include "analysis/PeakFit.h"
#include "analysis/Region.h"
#include "analysis/RegionFigures.h"
#include "records/Calibration.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

class IniFile;

// The energy axis: the calibration from peaks when there is one, else the line through the
// two points when it rises. Two points less than a channel apart, or whose energies lie less
// than one keV apart (their whole-keV difference is 0), give no axis at all: a line of zero
// gain would label every channel with the same energy.
std::optional<EnergyCalibration>
activeCalibration(const CalibrationPoint& point1, const CalibrationPoint& point2,
                  const std::optional<EnergyCalibration>& fromPeaks);

// Why activeCalibration() gives no axis for these points (empty when it gives one).
std::string calibrationProblem(const CalibrationPoint& point1, const CalibrationPoint& point2);

class AnalysisState {
public:
    using Listener = std::function<void()>;
    void addListener(Listener listener) { listeners_.push_back(std::move(listener)); }

    // [Regions] and [EnergyCalibration]; the two points come from [Calibration] through
    // setTwoPoints.
    void load(const IniFile& ini);
    void save(IniFile& ini) const;

    // The two-point calibration; it labels the axis again in place of one from peaks.
    void setTwoPoints(const CalibrationPoint& point1, const CalibrationPoint& point2);
    // The points as they stand, without changing which calibration is in use (start-up).
    void loadTwoPoints(const CalibrationPoint& point1, const CalibrationPoint& point2);
    const CalibrationPoint& point1() const { return point1_; }
    const CalibrationPoint& point2() const { return point2_; }

    // A calibration from peaks: the pairs, the model and the fitted polynomial in use.
    void setCalibrationFromPeaks(std::vector<CalibrationPoint> pairs, CalibrationModel model,
                                 std::optional<EnergyCalibration> calibration);
    const std::vector<CalibrationPoint>& calibrationPairs() const { return pairs_; }
    CalibrationModel calibrationModel() const { return model_; }
    const std::optional<EnergyCalibration>& calibrationFromPeaks() const { return fromPeaks_; }

    std::optional<EnergyCalibration> activeCalibration() const;
    // Why there is no axis, for a save that needs one.
    std::string calibrationProblem() const;

    // Regions: at most MaxRegions; returns false when full.
    bool addRegion(Region region);
    void deleteRegion(std::size_t index);
    void deleteAllRegions();
    void setRegions(std::vector<Region> regions);
    const std::vector<Region>& regions() const { return regions_; }
    // Fits the region's peak in `spectrum`; keeps the fit (or none) with the region.
    PeakFitResult fitRegion(std::size_t index, const Spectrum& spectrum);
    const std::optional<PeakFit>& fit(std::size_t index) const { return fits_.at(index); }
    // Forgets every fit: they described a spectrum that is gone (a new measurement).
    void clearFits() { fits_.assign(regions_.size(), std::nullopt); }
    // The figures of every region in `spectrum`.
    std::vector<RegionFigures> figures(const Spectrum& spectrum,
                                       std::optional<double> liveSeconds) const;

private:
    void changed();

    std::vector<Region> regions_;
    std::vector<std::optional<PeakFit>> fits_;
    CalibrationPoint point1_;
    CalibrationPoint point2_;
    std::vector<CalibrationPoint> pairs_;
    CalibrationModel model_ = CalibrationModel::Line;
    std::optional<EnergyCalibration> fromPeaks_;
    std::vector<Listener> listeners_;
};

} // namespace tarvio
