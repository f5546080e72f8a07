#pragma once
// Source physics and detector response of the simulated interface: which photon energies a
// radioactive source emits, and how the detector and its shaping amplifier turn one photon
// into a pulse amplitude in converter codes (about 5 codes per keV above a baseline of about
// 100 codes, Gaussian resolution, charge collection that grows with the bias voltage, and a
// discriminator threshold set by the interface DAC).

#include "sim/SimRandom.h"
#include "sim/SimulatorConfig.h"

#include <cstdint>
#include <vector>

namespace tarvio {

struct GammaLine {
    double energyKeV;
    double weight;   // relative share of the detected line photons: emission × efficiency
    double emission; // photons per 100 decays
};

// The photons one source delivers to the detector: its lines, each as often as it is emitted
// times the detector's efficiency at its energy, plus a low continuum (Compton scattered and
// degraded photons) spread evenly from ContinuumLowKeV to the strongest line.
class SourceModel {
public:
    explicit SourceModel(SimSource source);

    // The source's activity in becquerel that gives `photonRate` detected photons per second
    // (the simulator's Activity setting): what an activity found from the spectrum must match.
    double activityBq(double photonRate) const;

    const std::vector<GammaLine>& lines() const { return lines_; }
    // Share of detected photons that fall into the continuum instead of a line.
    double continuumFraction() const { return continuumFraction_; }
    double continuumHighKeV() const { return continuumHigh_; }
    // Energy of one detected photon, before the detector's resolution.
    double drawEnergy(SimRandom& rng) const;

    static constexpr double ContinuumLowKeV = 3.0;

private:
    std::vector<GammaLine> lines_;
    double totalWeight_ = 0;
    double continuumFraction_ = 0;
    double continuumHigh_ = 0;
};

// The detector with its amplifier, seen from the scope's converter.
namespace detector {

constexpr double BaselineCode = 100.0;
constexpr double CodesPerKeV = 5.0;
constexpr double SampleNoiseCodes = 2.0; // sigma of the converter noise on every sample
// Discriminator gain: threshold volts to amplitude codes (0.1 V = 50 codes = 10 keV, under
// the lowest Am-241 line).
constexpr double ThresholdCodesPerVolt = 500.0;
// The threshold DAC's conversion, the inverse of the host's volts to code.
constexpr double DacCodesPerVolt = 4096.5 * 0.4;
// Threshold DAC code after power-up and after a reset: 0.1 V.
constexpr std::uint16_t DefaultThresholdDac = 163;

// Fraction of the photon's charge collected at a bias code: 0 with the bias off (code 0),
// 0.85 at code 255 (the lowest voltage) growing toward full collection at code 1 (the
// highest voltage).
double chargeCollection(std::uint8_t biasCode);

// Full-energy detection efficiency for a photon from the source: the solid angle share
// times the chance that a thin sensor absorbs the photon, 1 - exp(-(E_c/E)^k), which stays
// near 1 up to some 60 keV and falls steeply above (photoabsorption falling as E^-2.5).
double efficiency(double energyKeV);
constexpr double EfficiencyGeometry = 0.05;
constexpr double EfficiencyKneeKeV = 100.0;
constexpr double EfficiencyExponent = 2.5;

// Gaussian sigma of the energy resolution at an energy, in keV (electronic noise and charge
// statistics).
double resolutionSigmaKeV(double energyKeV);

// Discriminator level of a threshold DAC code, in amplitude codes above the baseline.
double thresholdCodes(std::uint16_t dacCode);

// Pulse amplitude above the baseline, in codes, for one photon: collected charge with the
// resolution's Gaussian spread, never negative.
double amplitudeCodes(double energyKeV, std::uint8_t biasCode, SimRandom& rng);

} // namespace detector

} // namespace tarvio
