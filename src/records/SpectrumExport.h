#pragma once
// The spectrum as tab-separated text: one line per channel, CR LF after every line, no
// header. Channel/count lines read "<channel>\t<count>", energy/count lines
// "<keV with four decimals>\t<count>", always with a point as decimal separator.

#include "records/Spectrum.h"

#include <string>

namespace tarvio {

std::string spectrumText(const Spectrum& spectrum);
// The energies of the given line; the caller has checked that the line is defined. Empty
// when an energy cannot be written, never a line with an empty field, which could not be
// read back (the saves then fail with the reason).
std::string calibratedSpectrumText(const Spectrum& spectrum, const CalibrationLine& line);
// The energies of a polynomial calibration.
std::string calibratedSpectrumText(const Spectrum& spectrum, const EnergyCalibration& calibration);

} // namespace tarvio
