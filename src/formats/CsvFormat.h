#pragma once
// Comma-separated values (.csv) for spreadsheets and scripts: "# Key: value" lines with the
// title, times, calibration and operating point, then the header row
// "channel,energy_keV,counts" and one row per channel (energy empty when uncalibrated).

#include "formats/MeasuredSpectrum.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

std::string writeCsv(const MeasuredSpectrum& spectrum);

// Also reads other programs' tables: comma, semicolon or tab between the columns, a header
// naming a counts column (or two columns: channel and counts), or no header at all. Throws
// ParseError naming the line when a count cannot be read.
MeasuredSpectrum readCsv(std::string_view text, std::vector<std::string>& notes);

} // namespace tarvio
