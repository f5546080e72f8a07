#pragma once
// The spectrum as tab-separated text: one line per channel, CR LF after every line, no
// header. Channel/count lines read "<channel>\t<count>", energy/count lines
// "<keV with four decimals>\t<count>", always with a point as decimal separator.

#include "records/EnergyCalibration.h"
#include "records/Spectrum.h"
#include "records/TextFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvio {

// The one writer of the tab-separated text, for the live record and for any file's counts:
// `channels` lines of counts[i], with the channel or, given an axis, its energy.
template <class Counts>
std::string tabSeparatedText(const Counts& counts, std::size_t channels,
                             const EnergyCalibration* axis) {
    std::string text;
    text.reserve(channels * (axis ? 24 : 16));
    for (std::size_t i = 0; i < channels; ++i) {
        if (axis)
            appendFixed(text, axis->energy(static_cast<double>(i)), 4);
        else
            appendDecimal(text, static_cast<std::int64_t>(i));
        text += '\t';
        // Counts are unsigned: never through a signed format.
        text += std::to_string(counts[i]);
        text += "\r\n";
    }
    return text;
}

std::string spectrumText(const Spectrum& spectrum);
// The energies of the given line; the caller has checked that the line is defined.
std::string calibratedSpectrumText(const Spectrum& spectrum, const CalibrationLine& line);
// The energies of a polynomial calibration.
std::string calibratedSpectrumText(const Spectrum& spectrum, const EnergyCalibration& calibration);

} // namespace tarvio
