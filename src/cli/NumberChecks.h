#pragma once
// Checks of numeric options that refuse what a range check lets through: "nan" (every
// comparison with it is false), "inf", and whole numbers beyond 64 bits, which a conversion
// would saturate. They stand before the range check, whose message stays as it was; CLI11
// puts the option's name in front of either.

#include <CLI/CLI.hpp>

namespace tarvio {

// A finite number with a point: not "nan", "inf" or beyond the range of a double.
CLI::Validator finiteNumber();
// A finite number above zero.
CLI::Validator finiteAboveZero();
// Digits only, a whole number that fits 64 bits.
CLI::Validator wholeNumber();

} // namespace tarvio
