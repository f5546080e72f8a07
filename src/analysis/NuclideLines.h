#pragma once
// The photon lines of the check sources the simulated interface offers, for picking the
// energy of a calibration pair instead of typing it.

#include <span>

namespace tarvio {

struct NuclideLine {
    const char* nuclide; // "Am-241"
    const char* line;    // "Np L\u03b1\u2081 X-ray", "gamma"
    double energyKeV;
};

// Sorted by nuclide, then energy.
std::span<const NuclideLine> nuclideLines();

} // namespace tarvio
