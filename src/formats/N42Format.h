#pragma once
// ANSI N42.42 XML (.n42): instrument and detector, start date-time in UTC, real and live
// time as durations, the energy calibration as three coefficients, the channel data as
// integers, the operating point in remarks. What this writes validates against the
// standard's 2011 schema.

#include "formats/MeasuredSpectrum.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

inline constexpr const char* N42Namespace = "http://physics.nist.gov/N42/2011/N42";

std::string writeN42(const MeasuredSpectrum& spectrum);
// Several measurements in one file (time slices of one recording, say), each with its own
// start, real and live time and calibration; the instrument is the first one's.
std::string writeN42Measurements(const std::vector<MeasuredSpectrum>& measurements);

// Reads the first spectrum of the first measurement that has one; anything read with a
// caveat (further spectra, a date without time zone, a calibration it cannot use) adds a
// sentence to notes. Throws ParseError naming the element when there are no counts to read.
MeasuredSpectrum readN42(std::string_view text, std::vector<std::string>& notes);

// The first spectrum of every measurement, in file order (one file of several measurements
// read whole, or the one a caller asks for by its place).
std::vector<MeasuredSpectrum> readN42Measurements(std::string_view text,
                                                  std::vector<std::string>& notes);

} // namespace tarvio
