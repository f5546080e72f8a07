#pragma once
// The peak analysis in words and numbers as every front-end shows it: a value with its
// uncertainty, a half-life, and the nuclides named with their evidence (the lines found and
// where, the strong lines missing).

#include "analysis/PeakAnalysis.h"

#include <string>

namespace tarvio {

// "12.34 +- 0.56": the uncertainty to two significant digits and the value to as many places.
std::string valueWithUncertainty(double value, double uncertainty);
// "432.6 y", "6.0072 h": the half-life in the unit that suits it.
std::string halfLifeText(double seconds);
// "Nuclides, best first:" and per candidate its score line, then one line per line group
// found and per strong line missing, indented; empty without candidates.
std::string candidatesText(const PeakAnalysis& analysis);
// "59.54 keV Am-241 gamma" for a peak (the channel without an energy axis).
std::string peakLabel(const PeakAnalysis& analysis, std::size_t peak);

} // namespace tarvio
