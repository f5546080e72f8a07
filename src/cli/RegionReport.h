#pragma once
// The figures of regions of interest as analyze and acquire print them: per region the
// figures of the window's region table (gross, net with its uncertainty, net rate, centroid,
// FWHM, resolution, and on the energy axis when there is one), and the Gaussian fit when
// asked for. As an aligned table for people or as JSON for scripts.

#include "analysis/PeakFit.h"
#include "analysis/RegionFigures.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct RegionReport {
    RegionFigures figures;
    std::optional<RegionEnergyFigures> energy; // when the spectrum is calibrated
    std::optional<PeakFitResult> fit;          // when asked for
};

std::vector<RegionReport> reportRegions(const Spectrum& spectrum,
                                        const std::vector<Region>& regions,
                                        std::optional<double> liveSeconds,
                                        const std::optional<EnergyCalibration>& calibration,
                                        bool fit);

// One header line, one line per region, and below a region its fit and any remark.
std::string regionTable(const std::vector<RegionReport>& reports);

// An array with one object per region; absent figures are null.
nlohmann::json regionJson(const std::vector<RegionReport>& reports);

} // namespace tarvio
