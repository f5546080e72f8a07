#include "records/SpectrumExport.h"

#include "records/AtomicFile.h"

#include <optional>

namespace tarvio {

std::string spectrumText(const Spectrum& spectrum) {
    return *tabSeparatedText(spectrum.counts, spectrum.validChannels(), nullptr);
}

namespace {

SaveResult writeEnergies(const std::string& path, const std::optional<std::string>& text) {
    if (!text)
        return SaveResult::failure("Unable to write to " + path +
                                   ": the calibration gives an energy that is not a finite "
                                   "number");
    return writeFileAtomically(path, *text);
}

} // namespace

std::string calibratedSpectrumText(const Spectrum& spectrum, const CalibrationLine& line) {
    // The same energies as the line's: offset + channel x gain.
    const EnergyCalibration axis = EnergyCalibration::fromLine(line);
    return tabSeparatedText(spectrum.counts, spectrum.validChannels(), &axis).value_or("");
}

std::string calibratedSpectrumText(const Spectrum& spectrum, const EnergyCalibration& calibration) {
    return tabSeparatedText(spectrum.counts, spectrum.validChannels(), &calibration).value_or("");
}

SaveResult Spectrum::saveText(const std::string& path) const {
    return writeFileAtomically(path, spectrumText(*this));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path, const CalibrationPoint& point1,
                                        const CalibrationPoint& point2) const {
    const auto line = CalibrationLine::fromPoints(point1, point2);
    if (!line)
        return SaveResult::failure(CalibrationUndefinedText);
    const EnergyCalibration axis = EnergyCalibration::fromLine(*line);
    return writeEnergies(path, tabSeparatedText(counts, validChannels(), &axis));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path,
                                        const EnergyCalibration& calibration) const {
    return writeEnergies(path, tabSeparatedText(counts, validChannels(), &calibration));
}

} // namespace tarvio
