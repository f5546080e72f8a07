#pragma once
// The tab-separated spectrum text that Save Spectrum writes (.txt): one line per channel,
// "<channel>\t<count>" or "<keV with four decimals>\t<count>", CR LF after every line, no
// header. No times, no operating point; the keV form carries its calibration only as the
// rounded energies.

#include "formats/MeasuredSpectrum.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

// The channel form; with energies (and a calibration to give them) the keV form. Throws
// WriteError when an energy cannot be written.
std::string writeTabText(const MeasuredSpectrum& spectrum, bool energies = false);

// Reads either form (the first line decides); the keV form gets the straight line through
// its energies as calibration when they lie on one. Throws ParseError naming the line.
MeasuredSpectrum readTabText(std::string_view text, std::vector<std::string>& notes);

} // namespace tarvio
