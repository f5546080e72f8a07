#pragma once
// IAEA SPE text (.spe), lines ending in CR LF: $SPEC_ID: (title), $SPEC_REM: (remarks),
// $DATE_MEA: (MM/DD/YYYY hh:mm:ss, UTC), $MEAS_TIM: (live real), $DATA: (first last, then one
// count a line), $ENER_FIT: (offset gain) and $MCA_CAL: (three coefficients).

#include "formats/MeasuredSpectrum.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

std::string writeSpe(const MeasuredSpectrum& spectrum);

// Reads the first $DATA block; blocks it does not know are skipped. Throws ParseError
// naming the line when the counts cannot be read.
MeasuredSpectrum readSpe(std::string_view text, std::vector<std::string>& notes);

} // namespace tarvio
