#pragma once
// The figures of one region of interest, read straight off the counts: gross and net
// counts with the net's uncertainty, the net rate, and the centroid, full width at half
// maximum and resolution of the net peak.
//
// Background: a straight line through the mean of the first three and the mean of the last
// three channels of the region (fewer in a region narrower than six channels: half its width,
// at least one). Net counts are what lies above it, channel by channel; they may be negative
// where the line runs above the counts.
//
// Every figure is a finite number or absent, never NaN: an empty region or one whose net
// counts do not add up to a peak has no centroid; a peak whose half maximum is not crossed
// inside the region on both sides, or whose FWHM exceeds half the region (a peak wider than
// the region, whose flanks the line takes for background), has no FWHM. A one-channel
// region is all background: net 0.

#include "analysis/Region.h"
#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"

#include <optional>
#include <string>

namespace tarvio {

struct RegionFigures {
    Region region;
    double gross = 0.0;          // sum of the counts
    double background = 0.0;     // counts under the background line
    double net = 0.0;            // gross - background
    double netUncertainty = 0.0; // one standard deviation, from counting statistics
    // The background line, in counts per channel at the region's first and last channel.
    double backgroundAtFirst = 0.0;
    double backgroundAtLast = 0.0;

    // Net counts per second of live time, when the live time is known and positive.
    std::optional<double> netRate;
    std::optional<double> netRateUncertainty;

    // Mean channel of the net counts, and its one standard deviation.
    std::optional<double> centroid;
    std::optional<double> centroidUncertainty;

    // Where the net counts cross half their maximum, interpolated linearly between channels.
    std::optional<double> halfMaximumLeft;
    std::optional<double> halfMaximumRight;
    std::optional<double> fwhm;              // channels
    std::optional<double> resolutionPercent; // FWHM / centroid x 100

    // Why a figure is absent, for the operator; empty when all are there.
    std::string remark;
};

// liveSeconds: the measurement's live time, for the rate; nullopt when unknown. The region
// is held within the spectrum.
RegionFigures regionFigures(const Spectrum& spectrum, Region region,
                            std::optional<double> liveSeconds = std::nullopt);

// Net counts only: what a preset watches after every pulse, without the rest.
double regionNetCounts(const Spectrum& spectrum, Region region);
double regionGrossCounts(const Spectrum& spectrum, Region region);

// The peak's figures on the energy axis: centroid in keV, FWHM as the energy between the two
// half-maximum crossings, resolution as FWHM / centroid energy.
struct RegionEnergyFigures {
    std::optional<double> centroidKeV;
    std::optional<double> fwhmKeV;
    std::optional<double> resolutionPercent;
};
RegionEnergyFigures regionEnergyFigures(const RegionFigures& figures,
                                        const EnergyCalibration& calibration);

// FWHM / position x 100, absent unless both are finite and the position is above zero.
std::optional<double> resolutionPercent(std::optional<double> fwhm, std::optional<double> position);

} // namespace tarvio
