#pragma once
// The simulator's random numbers: a small generator of its own (splitmix64) with its own
// normal and exponential draws, so that a seed gives the same pulses on every compiler and
// standard library (the std distributions are not portable bit for bit).

#include <cmath>
#include <cstdint>

namespace tarvio {

class SimRandom {
public:
    explicit SimRandom(std::uint64_t seed = 1) : state_(seed) {}

    // An independent stream for another purpose, derived from a seed and a stream number.
    static SimRandom stream(std::uint64_t seed, std::uint64_t number) {
        SimRandom r(seed ^ (0x9E3779B97F4A7C15ULL * (number + 1)));
        r.next();
        return r;
    }

    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform in [0, n) for n > 0.
    std::uint32_t below(std::uint32_t n) {
        return static_cast<std::uint32_t>((next() >> 32) * n >> 32);
    }

    // Standard normal (Box-Muller; the second value is dropped to keep the stream simple).
    double normal() {
        const double u1 = 1.0 - uniform(); // (0, 1]
        const double u2 = uniform();
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    }

    // Exponential with the given rate (> 0): waiting time of a Poisson process.
    double exponential(double rate) { return -std::log(1.0 - uniform()) / rate; }

private:
    std::uint64_t state_;
};

} // namespace tarvio
