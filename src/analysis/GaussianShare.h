#pragma once
// The unit Gaussian as peak fits need it per channel: its density, and the share of it that
// falls between two points (a channel's edges), so that narrow peaks keep their area.

#include <cmath>

namespace tarvio::gaussian {

constexpr double InvSqrt2 = 0.70710678118654752440;
constexpr double InvSqrt2Pi = 0.39894228040143267794;

inline double density(double u) {
    return InvSqrt2Pi * std::exp(-0.5 * u * u);
}

// Share between lo and hi, accurate far out in either tail too (no difference of two numbers
// close to one).
inline double share(double lo, double hi) {
    if (lo >= 0.0)
        return 0.5 * (std::erfc(lo * InvSqrt2) - std::erfc(hi * InvSqrt2));
    if (hi <= 0.0)
        return 0.5 * (std::erfc(-hi * InvSqrt2) - std::erfc(-lo * InvSqrt2));
    return 0.5 * (std::erf(hi * InvSqrt2) - std::erf(lo * InvSqrt2));
}

} // namespace tarvio::gaussian
