#include "records/SpectrumExport.h"

#include "records/AtomicFile.h"
#include "records/TextFormat.h"

#include <optional>

namespace tarvio {

namespace {

// Counts are unsigned 32-bit; printing them through a signed format would turn the largest
// into negative numbers.
void appendLine(std::string& out, std::uint32_t count) {
    out += '\t';
    appendDecimal(out, count);
    out += "\r\n";
}

} // namespace

std::string spectrumText(const Spectrum& spectrum) {
    std::string text;
    text.reserve(spectrum.validChannels() * 16);
    for (std::uint32_t i = 0; i < spectrum.validChannels(); ++i) {
        appendDecimal(text, i);
        appendLine(text, spectrum.counts[i]);
    }
    return text;
}

namespace {

template <class Axis>
std::optional<std::string> energyText(const Spectrum& spectrum, const Axis& axis) {
    std::string text;
    text.reserve(spectrum.validChannels() * 24);
    for (std::uint32_t i = 0; i < spectrum.validChannels(); ++i) {
        if (!appendFixed(text, axis.energy(i), 4))
            return std::nullopt;
        appendLine(text, spectrum.counts[i]);
    }
    return text;
}

SaveResult writeEnergies(const std::string& path, const std::optional<std::string>& text) {
    if (!text)
        return SaveResult::failure("Unable to write to " + path +
                                   ": the calibration gives an energy that is not a finite "
                                   "number");
    return writeFileAtomically(path, *text);
}

} // namespace

std::string calibratedSpectrumText(const Spectrum& spectrum, const CalibrationLine& line) {
    return energyText(spectrum, line).value_or(std::string());
}

std::string calibratedSpectrumText(const Spectrum& spectrum, const EnergyCalibration& calibration) {
    return energyText(spectrum, calibration).value_or(std::string());
}

SaveResult Spectrum::saveText(const std::string& path) const {
    return writeFileAtomically(path, spectrumText(*this));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path, const CalibrationPoint& point1,
                                        const CalibrationPoint& point2) const {
    const auto line = CalibrationLine::fromPoints(point1, point2);
    if (!line)
        return SaveResult::failure(CalibrationUndefinedText);
    return writeEnergies(path, energyText(*this, *line));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path,
                                        const EnergyCalibration& calibration) const {
    return writeEnergies(path, energyText(*this, calibration));
}

} // namespace tarvio
