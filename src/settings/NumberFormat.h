#pragma once
// Numbers as the operator sees and types them, and as settings.ini keeps them: the general
// number format (up to 15 significant digits, shortest form, no separator for whole numbers,
// scientific only below 0.00001 or beyond 15 integer digits) with the locale's decimal
// separator. Integers are decimal, or hexadecimal after 0x, 0X or $.
//
// The separator comes from the process's locale (the C library's LC_NUMERIC) unless a
// source is set: the window sets its toolkit's locale, so that what it shows and what
// settings.ini keeps always agree.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvio {

using DecimalSeparatorSource = char (*)();
// Replaces where decimalSeparator() looks; nullptr goes back to the process's locale.
void setDecimalSeparatorSource(DecimalSeparatorSource source);

// The locale's decimal separator; '.' when it is not a single ASCII character.
char decimalSeparator();

std::string formatGeneral(double value, char separator);
std::string formatGeneral(double value);

// Blanks around the number are allowed; nothing else. Only finite values parse.
std::optional<double> tryParseFloat(std::string_view text, char separator);
std::optional<double> tryParseFloat(std::string_view text);
// Throws AppError "'<text>' is not a valid floating point value".
double parseFloat(std::string_view text);
// With the locale's separator, or else with a point: for values people write into
// settings.ini by hand.
std::optional<double> tryParseFloatOrPoint(std::string_view text);

// Strips a hexadecimal prefix ("0x", "0X" or "$") and returns the radix it stands for.
int takeRadixPrefix(std::string_view& text);

// Signed 32-bit; decimal, or hexadecimal after 0x, 0X or $ (optionally signed).
std::optional<std::int32_t> tryParseInt(std::string_view text);
// Throws AppError "'<text>' is not a valid integer value".
std::int32_t parseInt(std::string_view text);
// Unsigned 64-bit, no sign; decimal, or hexadecimal after 0x, 0X or $.
std::optional<std::uint64_t> tryParseUInt64(std::string_view text);

// Truncates toward zero, saturating at the 32-bit limits; NaN gives 0. A double outside
// the int range would otherwise be undefined behaviour.
std::int32_t truncToInt(double value);

} // namespace tarvio
