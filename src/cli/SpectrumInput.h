#pragma once
// A spectrum file a command reads, in any format the program reads: its notes on stderr,
// and CommandFailure (InputUnreadable, naming the file and the line or element) when it
// cannot be read.

#include "formats/MeasuredSpectrum.h"

#include <ostream>
#include <string>

namespace tarvio {

MeasuredSpectrum readSpectrumInput(const std::string& path, std::ostream& err);

} // namespace tarvio
