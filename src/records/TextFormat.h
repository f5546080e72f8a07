#pragma once
// Number-to-text conversions that never depend on the user's locale: the spectrum file and
// the graph labels always use a point as decimal separator.

#include <cstdint>
#include <string>

namespace tarvio {

// Fixed notation with the given number of decimals, as "%.Nf" in the C locale. A value that
// is not finite gives an empty text.
std::string formatFixed(double value, int decimals);
// Appends the same to out; returns false (appending nothing) for a non-finite value.
bool appendFixed(std::string& out, double value, int decimals);
void appendDecimal(std::string& out, std::int64_t value);

} // namespace tarvio
