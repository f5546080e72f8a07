#include "sim/SourcePhysics.h"

#include <algorithm>
#include <cmath>

namespace tarvio {

SourceModel::SourceModel(SimSource source) {
    switch (source) {
    case SimSource::Am241:
        // 59.54 keV gamma and the neptunium L X-rays.
        lines_ = {{59.54, 35.9}, {13.9, 13.1}, {17.8, 18.6}, {20.8, 4.8}, {26.3, 2.4}};
        continuumFraction_ = 0.08;
        break;
    case SimSource::Co57:
        lines_ = {{122.06, 85.6}, {136.47, 10.7}};
        continuumFraction_ = 0.15;
        break;
    case SimSource::Cs137:
        // 661.7 keV gamma and the barium K X-ray; thin detectors see a large Compton share.
        lines_ = {{661.7, 85.1}, {32.0, 7.0}};
        continuumFraction_ = 0.35;
        break;
    }
    for (const auto& line : lines_) {
        totalWeight_ += line.weight;
        continuumHigh_ = std::max(continuumHigh_, line.energyKeV);
    }
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
