#pragma once
// The efficiency curve from a spectrum of a source of known activity, as the command line
// and the window make it: the spectrum's own energy axis (or one made with the source's
// lines), its peaks, the source's lines among them, one efficiency per line and the curve.

#include "analysis/Activity.h"
#include "analysis/NuclideLibrary.h"
#include "analysis/SourceRemark.h"
#include "records/EnergyCalibration.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

struct KnownSpectrum {
    std::vector<double> counts;
    std::optional<EnergyCalibration> calibration;
    std::optional<double> liveSeconds;
    std::optional<double> realSeconds;
    std::optional<std::int64_t> startUtcMs;
};

struct KnownSourceEfficiency {
    std::string nuclide;
    double activityBq = 0.0;
    std::vector<EfficiencyPoint> points;
    std::optional<EfficiencyCurve> curve;
    std::string error; // a sentence for the operator when there is no curve
};

KnownSourceEfficiency efficiencyFromKnownSource(const KnownSpectrum& spectrum,
                                                const SourceNote& source,
                                                const NuclideLibrary& library, double sigma);

} // namespace tarvio
