#pragma once
// A spectrum file a command reads, in any format the program reads: its notes on stderr,
// and CommandFailure (InputUnreadable, naming the file and the line or element) when it
// cannot be read.

#include "formats/MeasuredSpectrum.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

namespace tarvio {

// measurement: one (from 1) of an N42 file of several measurements; none: the file's spectrum.
MeasuredSpectrum readSpectrumInput(const std::string& path, std::ostream& err,
                                   std::optional<std::size_t> measurement = std::nullopt);

} // namespace tarvio
