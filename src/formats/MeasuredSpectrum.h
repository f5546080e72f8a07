#pragma once
// One spectrum as every file format carries it: the counts of any number of channels, what
// it was measured with and for how long, and the energy axis when there is one. Each format
// writes this and reads back into it, so the window, the autosave and programs without a
// window all share one model.

#include "records/EnergyCalibration.h"
#include "records/Measurement.h"
#include "records/Spectrum.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvio {

// The most channels a file may hold: far beyond any analyser, small enough that a hostile
// file cannot make the reader allocate without bound.
inline constexpr std::size_t MaxFileChannels = std::size_t{1} << 20;

struct MeasuredSpectrum {
    std::vector<std::uint64_t> counts;
    MeasurementInfo measurement;
    std::optional<EnergyCalibration> calibration; // nullopt: no energy axis is known
    std::string title;
    std::vector<std::string> remarks; // free text, one remark each

    std::uint64_t totalCounts() const;
};

// The energy axis of coefficients as a file gives them (constant term first). Two make a
// line; terms beyond the third must be zero. No gain at all is how files say "uncalibrated",
// so that and anything not finite give nullopt.
std::optional<EnergyCalibration> calibrationFromFile(std::vector<double> coefficients);
// Readers stop at this many coefficients; calibrationFromFile refuses a list that long.
inline constexpr std::size_t MaxCoefficients = 16;

// The live record's channels, without any times or calibration.
MeasuredSpectrum measuredSpectrum(const Spectrum& spectrum);

// The counts as the live 4096-channel record; nullopt when there are more channels or a
// count beyond what a channel counter holds.
std::optional<Spectrum> toSpectrum(const MeasuredSpectrum& spectrum);

} // namespace tarvio
