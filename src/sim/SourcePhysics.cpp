#include "sim/SourcePhysics.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

namespace {

// Energy and photons per 100 decays, as the nuclide library lists them (its X-ray groups
// at the energy of their strongest line), so that an analysis with the library can find
// the simulated truth.
struct Emission {
    double energyKeV;
    double perHundredDecays;
};

} // namespace

SourceModel::SourceModel(SimSource source) {
    std::vector<Emission> emissions;
    switch (source) {
    case SimSource::Am241:
        // 59.54 keV gamma and the neptunium L X-rays.
        emissions = {
            {59.54, 35.92}, {13.944, 13.1}, {17.750, 18.6}, {20.784, 4.8}, {26.3446, 2.31}};
        continuumFraction_ = 0.08;
        break;
    case SimSource::Co57:
        emissions = {{122.06, 85.6}, {136.47, 10.68}, {14.41295, 9.16}};
        continuumFraction_ = 0.15;
        break;
    case SimSource::Cs137:
        // 661.7 keV gamma and the barium K X-ray; thin detectors see a large Compton share.
        emissions = {{661.7, 85.1}, {32.0, 5.63}, {36.378, 1.33}}; // Ba K alpha, K beta
        continuumFraction_ = 0.35;
        break;
    }
    for (const Emission& e : emissions) {
        lines_.push_back({e.energyKeV, e.perHundredDecays * detector::efficiency(e.energyKeV),
                          e.perHundredDecays});
        totalWeight_ += lines_.back().weight;
        continuumHigh_ = std::max(continuumHigh_, e.energyKeV);
    }
}

double SourceModel::activityBq(double photonRate) const {
    // Line photons per decay reaching the detector; the continuum takes its share on top.
    const double linePerDecay = totalWeight_ / 100.0;
    return photonRate * (1.0 - continuumFraction_) / linePerDecay;
}

double SourceModel::drawEnergy(SimRandom& rng) const {
    if (rng.uniform() < continuumFraction_) {
        return ContinuumLowKeV + rng.uniform() * (continuumHigh_ - ContinuumLowKeV);
    }
    double pick = rng.uniform() * totalWeight_;
    for (const auto& line : lines_) {
        if (pick < line.weight) {
            return line.energyKeV;
        }
        pick -= line.weight;
    }
    return lines_.back().energyKeV;
}

namespace detector {

double chargeCollection(std::uint8_t biasCode) {
    if (biasCode == 0) {
        return 0.0;
    }
    // Code 255 is the lowest bias voltage, code 1 the highest.
    const double level = (255.0 - biasCode) / 254.0;
    return 1.0 - 0.15 * std::exp(-4.0 * level);
}

double efficiency(double energyKeV) {
    const double depth =
        std::pow(EfficiencyKneeKeV / std::max(energyKeV, 1e-3), EfficiencyExponent);
    return EfficiencyGeometry * (1.0 - std::exp(-depth));
}

double resolutionSigmaKeV(double energyKeV) {
    const double electronicFwhm = 1.5;
    const double fwhm =
        std::sqrt(electronicFwhm * electronicFwhm + 0.04 * std::max(0.0, energyKeV));
    return fwhm / 2.3548;
}

double thresholdCodes(std::uint16_t dacCode) {
    return dacCode / DacCodesPerVolt * ThresholdCodesPerVolt;
}

double amplitudeCodes(double energyKeV, std::uint8_t biasCode, SimRandom& rng) {
    const double collected = energyKeV * chargeCollection(biasCode);
    const double smeared = collected + resolutionSigmaKeV(collected) * rng.normal();
    return std::max(0.0, smeared * CodesPerKeV);
}

} // namespace detector

} // namespace tarvio
