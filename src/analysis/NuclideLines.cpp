#include "analysis/NuclideLines.h"

#include <array>

namespace tarvio {

namespace {

// Gamma energies: LNHB/DDEP Table of Radionuclides (BIPM-5 monographs and the evaluations
// at www.lnhb.fr/nuclear-data): Am-241 (2010), Co-57 (2014), Cs-137/Ba-137m (2006).
// X-ray energies of the daughters' strongest lines: R. D. Deslattes et al., "X-ray
// transition energies", Rev. Mod. Phys. 75 (2003) 35, as those tables quote them. A
// detector of a few keV resolution sees the L and K groups as one peak each, a little below
// the strongest line where the weaker lines of the group lie lower.
constexpr std::array Lines{
    NuclideLine{"Am-241", "Np L\u2113 X-ray", 11.871},
    NuclideLine{"Am-241", "Np L\u03b1\u2081 X-ray", 13.944},
    NuclideLine{"Am-241", "Np L\u03b2\u2081 X-ray", 17.750},
    NuclideLine{"Am-241", "Np L\u03b3\u2081 X-ray", 20.784},
    NuclideLine{"Am-241", "gamma", 26.3446},
    NuclideLine{"Am-241", "gamma", 59.5409},
    NuclideLine{"Co-57", "Fe K\u03b1\u2081 X-ray", 6.404},
    NuclideLine{"Co-57", "Fe K\u03b2\u2081 X-ray", 7.058},
    NuclideLine{"Co-57", "gamma", 14.41295},
    NuclideLine{"Co-57", "gamma", 122.06079},
    NuclideLine{"Co-57", "gamma", 136.47374},
    NuclideLine{"Cs-137", "Ba K\u03b1\u2082 X-ray", 31.817},
    NuclideLine{"Cs-137", "Ba K\u03b1\u2081 X-ray", 32.194},
    NuclideLine{"Cs-137", "Ba K\u03b2\u2081 X-ray", 36.378},
    NuclideLine{"Cs-137", "gamma", 661.657},
};

} // namespace

std::span<const NuclideLine> nuclideLines() {
    return Lines;
}

} // namespace tarvio
